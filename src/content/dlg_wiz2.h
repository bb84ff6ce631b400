// The content page (page 1): the user browses folders in a folder tree, sees
// the picture files of the folder as 64 x 64 thumbnails appearing one by one,
// picks one and goes on. On the open path the file becomes the animation; on
// the insert path it is loaded as the one picture to insert.
//
// The thumbnails come from a CThumbnailWorker owned by the page. It reports
// on its own thread; the page turns each thumbnail into a QImage there and
// hands it to the list by a queued call, which the UI thread drops when it
// belongs to an older scan than the one the list shows.
#pragma once

#include "thumbnail_worker.h"
#include "wiz_page.h"

#include <cstdint>
#include <memory>
#include <string>

class CFolderView;
class QListWidget;

class CDlgWiz2 : public CWizPage, private ThumbnailListener {
    Q_OBJECT
public:
    // Client rectangles of the folder tree and the list.
    static constexpr int kTreeX = 37, kTreeY = 140, kTreeWidth = 255, kTreeHeight = 190;
    static constexpr int kListX = 302, kListY = 140, kListWidth = 250, kListHeight = 190;

    explicit CDlgWiz2(CDlgFrame* pFrame);
    // Stops the thumbnail worker and waits for it before anything it reports to goes.
    ~CDlgWiz2() override;

    bool OnInitDialog() override;
    // Enter: goes on while the page is shown and "next" is enabled.
    void OnDefaultAction() override;
    void OnFSCommand(const std::string& command, const std::string& args) override;
    void OnShowWindow(bool bShow) override;
    bool OnWindowMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

    // Selects the folder of the last pick ("BrowseAnim") or, for "My Content",
    // the suite's content folder ("home").
    void ShowStartFolder(bool bUserFolder);
    // The folder tree selected another folder: the list shows that one.
    void OnFolderChanged();
    // The list's selection changed to item `nItem` (-1: none).
    void OnItemChanged(int nItem);
    // Empties the list at once and has the worker scan m_strFolder.
    void RestartScan();
    // "ChangeStep" "3": loads the picked file for the route and goes on;
    // false when it could not (the user was told why).
    bool ChangeStepNext();
    // Picks `path` as if the user had chosen it in its folder, then goes on as
    // "ChangeStep" "3" does (the program was started to open that file).
    bool PickFile(const std::string& path);

    CFolderView* m_folders = nullptr;
    QListWidget* m_list = nullptr;
    int m_nSelItem = -1;
    bool m_bFirstShow = true;
    // The folder the list shows (with a final '/'), apart from the tree's
    // selection, which may already be the next folder while this one is shown.
    std::string m_strFolder;
    // The picked file, m_strFolder + its name; m_strFolder while none is picked.
    std::string m_strSelection;
    uint64_t m_nScan = 0;     // the scan whose thumbnails the list shows
    uint64_t m_nScanDone = 0; // the last scan known to have ended complete
    std::unique_ptr<CThumbnailWorker> m_worker;

signals:
    // The list holds every thumbnail of scan `scan`.
    void ThumbnailsDone(quint64 scan);

private:
    // Enables (frame 1) or disables (frame 0) the movie's "next" clip.
    void EnableNext(bool bEnable);

    // ThumbnailListener, on the worker's thread.
    void OnScanStarted(uint64_t scan, const std::string& folder) override;
    void OnThumbnail(const ThumbnailItem& item) override;
    void OnScanEnded(uint64_t scan, bool complete) override;
};
