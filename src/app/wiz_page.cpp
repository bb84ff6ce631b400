#include "wiz_page.h"

#include "dlg_frame.h"
#include "drawing_surface.h"
#include "message_box.h"
#include "messages.h"
#include "movie_ctrl.h"
#include "movie_text.h"
#include "movie_tooltip.h"
#include "shell_file_op.h"
#include "wizard_globals.h"

#include <QKeyEvent>

CWizPage::CWizPage(CDlgFrame* pFrame, int nIndex) : QWidget(pFrame), m_pFrame(pFrame), m_nIndex(nIndex)
{
    if (!g_pFrame)
        g_pFrame = pFrame;
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFocusPolicy(Qt::StrongFocus);
    m_movie = new CMovieCtrl(this);
    m_movie->setObjectName(QStringLiteral("movie"));
    m_surface = new platform::DrawingSurface(this);
    m_surface->raise();
    connect(m_movie, &CMovieCtrl::FSCommand, this,
            [this](const QString& command, const QString& args) {
                OnFSCommand(command.toStdString(), args.toStdString());
            });
}

CWizPage::~CWizPage() = default;

bool CWizPage::OnInitDialog()
{
    return true;
}

void CWizPage::OnDefaultAction()
{
    GoNext();
}

void CWizPage::OnFSCommand(const std::string&, const std::string&) {}

void CWizPage::OnShowWindow(bool) {}

void CWizPage::OnPaint() {}

void CWizPage::Invalidate()
{
    if (m_bPaintPending)
        return;
    m_bPaintPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_bPaintPending = false;
            if (!isVisible())
                return;
            OnPaint();
            m_surface->Flush();
        },
        Qt::QueuedConnection);
}

bool CWizPage::OnWindowMessage(uint32_t, uintptr_t, intptr_t)
{
    return false;
}

void CWizPage::GoNext()
{
    platform::PostWindowMessage(m_pFrame, WM_WIZ_NEXT);
}

void CWizPage::GoPrevious()
{
    platform::PostWindowMessage(m_pFrame, WM_WIZ_PREVIOUS);
}

void CWizPage::Reduce()
{
    platform::PostWindowMessage(m_pFrame, WM_WIZ_REDUCE);
}

void CWizPage::ExitWizard()
{
    if (m_bDirty) {
        const WizardMessages& texts = Messages();
        const platform::BoxResult answer =
            platform::ShowMessageBox(this, texts.MsgConfirmExit, texts.TitleCreateAnimation,
                                     platform::BoxIcon::Question, platform::BoxButtons::OkCancel);
        if (answer != platform::BoxResult::Ok)
            return;
    }
    DeleteTempFile(g_tempGifPath);
    platform::PostWindowMessage(m_pFrame, WM_WIZ_EXIT);
}

void CWizPage::FitToFrame(QWidget* window)
{
    if (!window || !m_pFrame)
        return;
    const QRect client = m_pFrame->rect();
    window->setGeometry(0, 0, client.width(), client.height());
}

const WizardMessages& CWizPage::Messages() const
{
    return (m_pFrame && m_pFrame->m_pMessages) ? *m_pFrame->m_pMessages : g_messages;
}

void CWizPage::TakeFocus()
{
    m_movie->setFocus(Qt::OtherFocusReason);
}

void CWizPage::SetUpPage(const std::string& name)
{
    FitToFrame(this);
    FitToFrame(m_movie);
    LoadMovie(name);
    CreateToolTip();
}

bool CWizPage::OnWindowButton(const std::string& command)
{
    if (command == "exit")
        ExitWizard();
    else if (command == "reduce")
        Reduce();
    else
        return false;
    return true;
}

void CWizPage::LoadMovie(const std::string& name)
{
    m_movie->Movie(MovieUrl(name));
}

void CWizPage::CreateToolTip()
{
    if (m_toolTip)
        return;
    m_toolTip = new CMovieToolTip(this, [this](QWidget*) { return m_movie->GetVariable("tt"); });
    m_toolTip->AddTool(m_movie);
}

bool CWizPage::event(QEvent* event)
{
    if (event->type() == platform::WindowMessageEvent::EventType()) {
        auto* message = static_cast<platform::WindowMessageEvent*>(event);
        OnWindowMessage(message->Message(), message->WParam(), message->LParam());
        return true;
    }
    return QWidget::event(event);
}

void CWizPage::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (event->modifiers() & ~Qt::KeypadModifier)
            break;
        OnDefaultAction();
        event->accept();
        return;
    case Qt::Key_Escape:
        // Escape does nothing on a page; in particular it never ends the wizard.
        event->accept();
        return;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

void CWizPage::resizeEvent(QResizeEvent* event)
{
    // The drawing surface always covers the whole page, above the movie.
    m_surface->setGeometry(rect());
    QWidget::resizeEvent(event);
}
