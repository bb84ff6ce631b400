#include "dlg_wiz2.h"

#include "dlg_frame.h"
#include "drawing_surface.h"
#include "edit_picture.h"
#include "folder_view.h"
#include "message_box.h"
#include "messages.h"
#include "movie_ctrl.h"
#include "movie_tooltip.h"
#include "settings.h"
#include "wizard_globals.h"

#include <QListWidget>
#include <QListWidgetItem>
#include <QPixmap>
#include <cstring>

namespace {

// The file name as the file system has it (any bytes), kept beside the
// item's text, which shows it as UTF-8.
constexpr int kNameRole = Qt::UserRole;

} // namespace

CDlgWiz2::CDlgWiz2(CDlgFrame* pFrame) : CWizPage(pFrame, 1) {}

CDlgWiz2::~CDlgWiz2()
{
    // The worker reports to this page: it ends before any of the page goes.
    m_worker.reset();
}

bool CDlgWiz2::OnInitDialog()
{
    CWizPage::OnInitDialog();

    m_folders = new CFolderView(this);
    m_folders->setGeometry(kTreeX, kTreeY, kTreeWidth, kTreeHeight);
    connect(m_folders, &CFolderView::FolderChanged, this, [this] { OnFolderChanged(); });

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("thumbnails"));
    m_list->setGeometry(kListX, kListY, kListWidth, kListHeight);
    m_list->setViewMode(QListView::IconMode);
    m_list->setIconSize(QSize(kThumbnailSide, kThumbnailSide));
    m_list->setGridSize(QSize(kThumbnailSide + 12, kThumbnailSide + 24)); // three across
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setMovement(QListView::Static);
    m_list->setResizeMode(QListView::Adjust);
    m_list->setUniformItemSizes(true);
    m_list->setWordWrap(false);
    m_list->setTextElideMode(Qt::ElideMiddle);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(m_list, &QListWidget::itemSelectionChanged, this, [this] {
        const QList<QListWidgetItem*> selected = m_list->selectedItems();
        OnItemChanged(selected.isEmpty() ? -1 : m_list->row(selected.front()));
    });
    // Double-click only: "activated" may also come from a single click or
    // Enter, and Enter has its own rule.
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this] { OnDefaultAction(); });

    if (m_movie->FlashVersion() < 0x50000) {
        // This page has always named the image wizard in this box.
        platform::ShowMessageBox(m_pFrame, Messages().MsgFlashMissing, Messages().TitleCustomizeImage,
                                 platform::BoxIcon::Error, platform::BoxButtons::Ok);
    }
    SetUpPage("Plendix.swf?frm=2");
    m_toolTip->AddTool(m_folders);
    // The tree and the list lie over the movie, under the drawing surface.
    m_folders->raise();
    m_list->raise();
    m_surface->raise();

    m_worker = std::make_unique<CThumbnailWorker>(static_cast<ThumbnailListener&>(*this));
    m_bFirstShow = true;
    m_bDirty = false;
    return true;
}

void CDlgWiz2::EnableNext(bool bEnable)
{
    m_movie->TGotoFrame("next", bEnable ? 1 : 0);
}

void CDlgWiz2::OnFSCommand(const std::string& command, const std::string& args)
{
    if (OnWindowButton(command))
        return;
    if (command == "ChangeStep" && args == "3") {
        ChangeStepNext();
    } else if (command == "ChangeStep" && args == "1") {
        EnableNext(false);
        GoPrevious();
    } else if (command == "MyContent") {
        ShowStartFolder(false);
    } else if (command == "ParentDir") {
        m_folders->GoUp();
    }
}

void CDlgWiz2::OnDefaultAction()
{
    if (isVisible() && m_movie->TCurrentFrame("next") == 1)
        OnFSCommand("ChangeStep", "3");
}

void CDlgWiz2::OnShowWindow(bool bShow)
{
    if (!bShow) {
        if (m_nSelItem != -1) {
            if (QListWidgetItem* item = m_list->item(m_nSelItem))
                item->setSelected(false);
        }
        return;
    }
    if (m_bFirstShow) {
        m_folders->InitView();
        ShowStartFolder(true);
        m_bFirstShow = false;
    }
    EnableNext(false);
    // A return to the page shows the list as it was; only the first showing
    // (or one whose folder was never scanned) starts a scan.
    if (m_strFolder.empty()) {
        m_strFolder = FolderWithSlash(m_folders->GetSelectedFolder());
        m_strSelection = m_strFolder;
        RestartScan();
    }
}

bool CDlgWiz2::OnWindowMessage(uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    // Back from another program: the folder may have gone meanwhile.
    if (message == WM_WIZ_ACTIVATED && isVisible() && m_folders)
        m_folders->RefreshView();
    return CWizPage::OnWindowMessage(message, wParam, lParam);
}

void CDlgWiz2::ShowStartFolder(bool bUserFolder)
{
    std::string path = bUserFolder ? ReadSettingString("BrowseAnim", nullptr, kSubKeyWizardsUser)
                                   : ReadSettingString("home", nullptr, kSubKeyContentManager);
    if (path.empty() || path.back() != '/')
        path += '/';
    m_folders->SelectPath(path, 0, true);
}

void CDlgWiz2::OnFolderChanged()
{
    if (!m_folders)
        return;
    m_strFolder = FolderWithSlash(m_folders->GetSelectedFolder());
    m_strSelection = m_strFolder;
    RestartScan();
    EnableNext(false);
}

void CDlgWiz2::RestartScan()
{
    // What the list shows from here on belongs to the new scan only.
    m_nSelItem = -1;
    m_list->clear();
    if (m_worker)
        m_nScan = m_worker->RestartScan(m_strFolder);
}

void CDlgWiz2::OnItemChanged(int nItem)
{
    m_nSelItem = nItem;
    QListWidgetItem* item = nItem == -1 ? nullptr : m_list->item(nItem);
    if (!item) {
        EnableNext(false);
        return;
    }
    // The file is named from the folder the list shows, never from the
    // tree's selection, which may already be another folder.
    m_strSelection = m_strFolder + item->data(kNameRole).toByteArray().toStdString();
    EnableNext(true);
}

bool CDlgWiz2::ChangeStepNext()
{
    EnableNext(false);
    const std::string path = m_strSelection;
    bool loaded = false;
    bool wentOn = false;
    if (g_pageRoute == 0) {
        g_strSourcePath = path;
        const bool half = g_imageSize == 64;
        const uint32_t defaultDelay =
            ReadWizardDword(half ? "HalfScreenAnimDefaultDelay" : "FullScreenAnimDefaultDelay");
        const uint32_t maxDelay = ReadWizardDword(half ? "HalfScreenAnimMaxDelay" : "FullScreenAnimMaxDelay");
        const uint32_t minDelay = ReadWizardDword(half ? "HalfScreenAnimMinDelay" : "FullScreenAnimMinDelay");
        g_animDoc.SetDelayLimits(minDelay, maxDelay, defaultDelay);
        loaded = g_animDoc.Load(g_strSourcePath, kAllowAll, 0);
        if (loaded && g_animDoc.BuildFrames()) {
            g_nCurrentFrame = 0;
            if (g_createNew == 1)
                g_createNew = 0;
            GoNext();
            wentOn = true;
        }
    } else {
        g_strInsertPath = path;
        loaded = g_picture.Load(g_strInsertPath, kAllowAll, 0);
        if (loaded) {
            // The picture editor inserts GIF frames: anything else gets a GIF palette.
            g_picture.EnsureGifPalette();
            GoNext();
            wentOn = true;
        }
    }
    if (!loaded) {
        platform::ShowMessageBox(m_pFrame, Messages().MsgInvalidPicture + path, Messages().TitleCreateAnimation,
                                 platform::BoxIcon::None, platform::BoxButtons::Ok);
    }

    // The next run starts in this folder, unless its path is longer than the
    // store can give back: then the last folder that fits stays.
    const std::string folder = m_folders->GetSelectedFolder();
    if (folder.size() + 1 <= kSettingStringBuffer)
        WriteSettingString("BrowseAnim", folder, kSubKeyWizardsUser);
    return wentOn;
}

bool CDlgWiz2::PickFile(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
    m_folders->SelectPath(folder, 0, true);
    m_strFolder = folder;
    m_strSelection = path;
    return ChangeStepNext();
}

void CDlgWiz2::OnScanStarted(uint64_t, const std::string&) {}

void CDlgWiz2::OnThumbnail(const ThumbnailItem& item)
{
    QImage image(kThumbnailSide, kThumbnailSide, QImage::Format_ARGB32);
    if (item.pixels.size() == size_t(kThumbnailSide) * kThumbnailSide) {
        for (int row = 0; row < kThumbnailSide; ++row)
            std::memcpy(image.scanLine(row), item.pixels.data() + size_t(row) * kThumbnailSide,
                        sizeof(uint32_t) * kThumbnailSide);
    } else {
        image.fill(Qt::transparent);
    }
    const quint64 scan = item.scan;
    const QByteArray name = QByteArray::fromStdString(item.name);
    QMetaObject::invokeMethod(
        this,
        [this, scan, name, image] {
            if (scan != m_nScan)
                return; // an older scan's last thumbnail, after the list moved on
            auto* entry = new QListWidgetItem(QIcon(QPixmap::fromImage(image)), QString::fromUtf8(name));
            entry->setData(kNameRole, name);
            entry->setToolTip(QString::fromUtf8(name));
            m_list->addItem(entry);
        },
        Qt::QueuedConnection);
}

void CDlgWiz2::OnScanEnded(uint64_t scan, bool complete)
{
    if (!complete)
        return;
    QMetaObject::invokeMethod(
        this,
        [this, scan] {
            if (scan != m_nScan)
                return;
            m_nScanDone = scan;
            emit ThumbnailsDone(scan);
        },
        Qt::QueuedConnection);
}
