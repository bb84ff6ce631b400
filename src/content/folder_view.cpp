#include "folder_view.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QSignalBlocker>
#include <QTimer>

CFolderView::CFolderView(QWidget* parent) : QTreeView(parent), m_model(new QFileSystemModel(this))
{
    setObjectName(QStringLiteral("folders"));
    // Folders only; without QDir::Hidden the hidden ones stay out of sight.
    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    m_model->setReadOnly(true);
    // A selected folder that vanishes (or a folder above it) hands the
    // selection to the nearest folder that stays, not to a sibling. Connected
    // before the view and its selection take the model, so this runs first.
    connect(m_model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex& parent, int first, int last) {
                for (QModelIndex at = currentIndex(); at.isValid(); at = at.parent()) {
                    if (at.parent() == parent && at.row() >= first && at.row() <= last) {
                        if (parent.isValid())
                            setCurrentIndex(parent);
                        return;
                    }
                }
            });
    setModel(m_model);
    for (int column = 1; column < m_model->columnCount(); ++column)
        hideColumn(column);
    header()->hide();
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformRowHeights(true);
    setAnimated(false);
    setAutoScroll(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    // Rows arrive, and are sorted, after a folder is read: the view scrolls
    // once they are in place.
    connect(m_model, &QFileSystemModel::directoryLoaded, this, [this] { KeepSelectionInView(); });
    connect(m_model, &QAbstractItemModel::rowsInserted, this, [this] { KeepSelectionInView(); });
    connect(m_model, &QAbstractItemModel::layoutChanged, this, [this] { KeepSelectionInView(); });
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current, const QModelIndex&) {
                if (current.isValid())
                    emit FolderChanged(PathOf(current));
            });
}

void CFolderView::InitView()
{
    m_model->setRootPath(QStringLiteral("/"));
    const QSignalBlocker quiet(selectionModel());
    SelectPath(QDir::homePath().toStdString(), 0, true);
}

void CFolderView::KeepSelectionInView()
{
    if (!m_bKeepInView || m_bScrollPosted)
        return;
    m_bScrollPosted = true;
    QTimer::singleShot(0, this, [this] {
        m_bScrollPosted = false;
        if (m_bKeepInView && currentIndex().isValid())
            scrollTo(currentIndex(), QAbstractItemView::PositionAtCenter);
    });
}

QString CFolderView::PathOf(const QModelIndex& index) const
{
    return index.isValid() ? m_model->filePath(index) : QString();
}

bool CFolderView::SelectPath(const std::string& path, int, bool expand)
{
    QString wanted = QDir::cleanPath(QString::fromStdString(path));
    if (!wanted.startsWith(QLatin1Char('/')))
        wanted = QDir::cleanPath(QDir::rootPath() + wanted);
    bool exact = true;
    QModelIndex index;
    for (QString at = wanted;; at = QFileInfo(at).path()) {
        if (QFileInfo(at).isDir()) {
            index = m_model->index(at);
            if (index.isValid())
                break;
        }
        exact = false;
        if (at == QLatin1String("/"))
            break;
    }
    if (!index.isValid())
        return false;
    for (QModelIndex above = index.parent(); above.isValid(); above = above.parent())
        QTreeView::expand(above);
    if (expand)
        QTreeView::expand(index);
    setCurrentIndex(index);
    scrollTo(index, QAbstractItemView::PositionAtCenter);
    m_bKeepInView = true;
    return exact;
}

std::string CFolderView::GetSelectedFolder() const
{
    return PathOf(currentIndex()).toStdString();
}

void CFolderView::GoUp()
{
    const QModelIndex parent = currentIndex().parent();
    if (parent.isValid()) {
        setCurrentIndex(parent);
        scrollTo(parent);
    }
}

void CFolderView::RefreshView()
{
    const QString path = PathOf(currentIndex());
    if (path.isEmpty() || QFileInfo(path).isDir())
        return;
    SelectPath(path.toStdString(), 0, false);
}

void CFolderView::mousePressEvent(QMouseEvent* event)
{
    m_bKeepInView = false;
    QTreeView::mousePressEvent(event);
}

void CFolderView::wheelEvent(QWheelEvent* event)
{
    m_bKeepInView = false;
    QTreeView::wheelEvent(event);
}

void CFolderView::keyPressEvent(QKeyEvent* event)
{
    m_bKeepInView = false;
    QTreeView::keyPressEvent(event);
}
