// CFolderView: the content page's folder tree. The whole file system from "/"
// down, folders only, hidden folders left out; the user's home is selected
// when the view is set up. The page works with it only through the members
// below and the FolderChanged signal.
#pragma once

#include <QTreeView>
#include <string>

class QFileSystemModel;

class CFolderView : public QTreeView {
    Q_OBJECT
public:
    explicit CFolderView(QWidget* parent);

    // Sets the tree up, rooted at "/", and selects the user's home folder
    // without announcing it. Called once, before the first SelectPath.
    void InitView();
    // Selects the folder at `path` (a trailing '/' is allowed), opening the
    // folders above it and scrolling it into view. A folder that does not
    // exist, or cannot be shown (it is hidden), selects its nearest ancestor
    // that can. True when `path` itself was selected. `flags` is unused and
    // `expand` opens the selected folder too.
    bool SelectPath(const std::string& path, int flags = 0, bool expand = true);
    // The path of the selected folder, without a trailing '/' ("/" for the
    // root); empty when nothing is selected.
    std::string GetSelectedFolder() const;
    // Selects the parent of the selected folder; nothing happens at "/".
    void GoUp();
    // Reads the selected folder again: when it is gone, its nearest existing
    // ancestor is selected.
    void RefreshView();

signals:
    // The selected folder changed (by the user or by the members above).
    void FolderChanged(const QString& path);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString PathOf(const QModelIndex& index) const;
    // Scrolls the selection into view once the events now queued are handled.
    void KeepSelectionInView();

    QFileSystemModel* m_model;
    // The folders above a folder selected by SelectPath are read in the
    // background and push it down as they fill in: until the user takes the
    // tree in hand, each one read scrolls the selection back into view.
    bool m_bKeepInView = false;
    bool m_bScrollPosted = false;
};
