#include "dlg_frame.h"

#include "dlg_about.h"
#include "drawing_surface.h"
#include "frame_region.h"
#include "messages.h"
#include "wiz_page.h"
#include "wizard_globals.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QScreen>
#include <QTimer>
#include <QTimerEvent>

namespace {

CDlgFrame::MenuTracker& Tracker()
{
    static CDlgFrame::MenuTracker tracker;
    return tracker;
}

// The wait cursor of the page switch, taken back once the switch is handled.
void ShowWaitCursor()
{
    if (QGuiApplication::overrideCursor())
        return;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    QTimer::singleShot(0, [] {
        while (QGuiApplication::overrideCursor())
            QGuiApplication::restoreOverrideCursor();
    });
}

} // namespace

CDlgFrame::CDlgFrame(PageFactory factory, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint), m_pMessages(&g_messages),
      m_hIcon(QStringLiteral(":/tessary/app_icon.png")), m_factory(std::move(factory))
{
    setObjectName(QStringLiteral("frame"));
    setModal(true);
    setFixedSize(kFrameWidth, kFrameHeight);
    setAcceptDrops(false);
}

CDlgFrame::~CDlgFrame()
{
    if (g_pFrame == this)
        g_pFrame = nullptr;
}

void CDlgFrame::SetMenuTracker(MenuTracker tracker)
{
    Tracker() = std::move(tracker);
}

bool CDlgFrame::OnInitDialog()
{
    const std::string title = m_pMessages->TitleCreateAnimation;
    setWindowTitle(QString::fromStdString(title));
    // Running wizards of the suite find this one by its title.
    m_endpoint.Register(title, platform::SuiteWindowEndpoint::ForWidget(this));

    setMask(LoadFrameRegion());
    resize(kFrameWidth, kFrameHeight);
    if (QScreen* where = screen())
        move(where->availableGeometry().center() - QPoint(kFrameWidth / 2, kFrameHeight / 2));
    setWindowIcon(m_hIcon);

    ShowWaitCursor();
    AddNextPage();
    m_current = 0;
    m_previous = kNoPage;
    ShowCurrentPage();
    m_nPageTimer = startTimer(kPageTimerMs);
    return true;
}

int CDlgFrame::DoModal()
{
    OnInitDialog();
    return exec();
}

void CDlgFrame::AddNextPage()
{
    if (m_pageCount == kPageCount)
        return;
    const int k = m_pageCount;
    m_pageCount = k + 1;
    CWizPage* page = m_factory ? m_factory(k, this) : nullptr;
    if (!page)
        return;
    page->hide();
    page->setGeometry(rect());
    page->setWindowTitle(QStringLiteral("Wiz #%1").arg(m_pageCount));
    page->OnInitDialog();
    page->raise();
    m_pages.push_back(page);
}

CWizPage* CDlgFrame::Page(int nIndex) const
{
    if (nIndex < 0 || nIndex >= static_cast<int>(m_pages.size()))
        return nullptr;
    return m_pages[static_cast<std::size_t>(nIndex)];
}

CWizPage* CDlgFrame::CurrentPage() const
{
    return Page(m_current);
}

void CDlgFrame::ShowCurrentPage()
{
    ShowWaitCursor();
    if (CWizPage* previous = Page(m_previous)) {
        previous->hide();
        previous->OnShowWindow(false);
    }
    if (CWizPage* current = Page(m_current)) {
        // What the page drew before it was hidden must not show again: it draws
        // anew in its paint hook, right after it is shown.
        current->m_surface->Clear();
        current->show();
        current->OnShowWindow(true);
        current->OnPaint();
        current->m_surface->Flush();
        current->repaint();
        current->TakeFocus();
    }
}

void CDlgFrame::Route(int target)
{
    m_current = target;
    ShowCurrentPage();
}

void CDlgFrame::OnWindowMessage(uint32_t message, uintptr_t wParam, intptr_t)
{
    RouteFlags flags{g_createNew, g_pageRoute};
    switch (message) {
    case WM_WIZ_NEXT:
        m_previous = m_current;
        Route(RouteNext(m_current, flags));
        break;
    case WM_WIZ_PREVIOUS:
        m_previous = m_current;
        Route(RoutePrevious(m_current, flags));
        break;
    case WM_WIZ_INSERT:
        m_previous = m_current;
        Route(RouteInsert(flags));
        break;
    case WM_WIZ_MODIFY:
        m_previous = m_current;
        Route(RouteModify(flags));
        break;
    case WM_WIZ_EXIT:
        done(QDialog::Accepted);
        return;
    case WM_WIZ_REDUCE:
        showMinimized();
        return;
    case WM_SYSCOMMAND:
        OnSysCommand(static_cast<uint32_t>(wParam));
        return;
    default:
        return;
    }
    g_pageRoute = flags.pageRoute;
}

bool CDlgFrame::event(QEvent* event)
{
    if (event->type() == platform::WindowMessageEvent::EventType()) {
        auto* message = static_cast<platform::WindowMessageEvent*>(event);
        OnWindowMessage(message->Message(), message->WParam(), message->LParam());
        return true;
    }
    return QDialog::event(event);
}

void CDlgFrame::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_nPageTimer) {
        QDialog::timerEvent(event);
        return;
    }
    for (int i = 0; i < 5; ++i)
        AddNextPage();
    killTimer(m_nPageTimer);
    m_nPageTimer = 0;
    if (m_onAllPages) {
        auto onAllPages = std::move(m_onAllPages);
        m_onAllPages = nullptr;
        onAllPages();
    }
}

void CDlgFrame::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        platform::SendMessageToDescendants(this, WM_WIZ_ACTIVATED, 1, 0);
}

void CDlgFrame::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter) {
        event->accept(); // Enter in the frame itself does nothing
        return;
    }
    if (event->key() == Qt::Key_Space && (event->modifiers() & Qt::AltModifier)) {
        // The window manager's menu key opens the frame menu, as the corner click does.
        ShowFrameMenu();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CDlgFrame::OnSysCommand(uint32_t nId)
{
    const uint32_t command = nId & 0xFFF0u;
    if (command == SC_MOUSEMENU)
        ShowFrameMenu();
    if (command == IDM_ABOUTBOX) {
        RunAboutBox();
    } else if (command == SC_MINIMIZE) {
        showMinimized();
    } else if (command == SC_CLOSE) {
        reject();
    }
}

void CDlgFrame::ShowFrameMenu()
{
    const std::vector<std::pair<int, std::string>> items = {
        {kMenuAbout, m_pMessages->TextAbout},
        {static_cast<int>(SC_MINIMIZE), m_pMessages->TextReduce},
    };
    const QPoint at = frameGeometry().topLeft() + QPoint(10, 25);
    int chosen = 0;
    if (Tracker()) {
        chosen = Tracker()(items, at);
    } else {
        QMenu menu(this);
        for (const auto& [id, text] : items)
            menu.addAction(QString::fromStdString(text))->setData(id);
        if (QAction* action = menu.exec(at))
            chosen = action->data().toInt();
    }
    if (chosen == kMenuAbout)
        RunAboutBox();
    else if (chosen == static_cast<int>(SC_MINIMIZE))
        showMinimized();
}

void CDlgFrame::RunAboutBox()
{
    CDlgAbout about(this);
    about.exec();
}
