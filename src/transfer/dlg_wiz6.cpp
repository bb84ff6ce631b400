#include "dlg_wiz6.h"

#include "dlg_frame.h"

#include "link_client.h"
#include "link_event_sink.h"
#include "messages.h"
#include "movie_ctrl.h"
#include "movie_text.h"
#include "settings.h"
#include "shell_file_op.h"
#include "transfer_text.h"
#include "wizard_globals.h"

#include <QCoreApplication>

CDlgWiz6::CDlgWiz6(CDlgFrame* pFrame) : CWizPage(pFrame, 5) {}

CDlgWiz6::~CDlgWiz6() = default;

bool CDlgWiz6::OnInitDialog()
{
    CWizPage::OnInitDialog();
    SetUpPage("Plendix.swf");
    m_bDirty = false;
    return true;
}

void CDlgWiz6::OnShowWindow(bool bShow)
{
    if (!bShow)
        return;
    m_movie->SetVariable("_txt", MovieHtml(EscapeRichText(Messages().TextTransferInProgress), true, true));
    const std::string link = ReadSettingString("Current Link", nullptr, std::string());
    if (link != "None") {
        m_movie->GotoFrame(8);
        m_movie->TGotoFrame("/next", 0);
        m_movie->TGotoFrame("/barre", 0);
        m_movie->TPlay("/barre");
    } else {
        m_movie->SetVariable("CurrentLink", "None");
        m_movie->GotoFrame(6);
        m_movie->GotoFrame(9);
    }
}

bool CDlgWiz6::OnWindowMessage(uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    if (message == WM_LINK_EVENT && isVisible()) {
        m_movie->SetVariable("_txt", g_linkStatusText);
        m_movie->TGotoFrame("barre", 1);
        m_movie->TGotoFrame("barre", ProgressBarFrame(wParam));
    }
    return CWizPage::OnWindowMessage(message, wParam, lParam);
}

void CDlgWiz6::RunTransfer()
{
    if (m_bTransferring)
        return;
    m_bTransferring = true;
    m_bExitAfterTransfer = false;
    if (!m_pLink) {
        m_pLink = std::make_unique<CLinkClient>(
            DefaultLinkClientSettings(QCoreApplication::applicationDirPath().toStdString()));
        m_pLink->SetSettingReader([](const std::string& name) { return ReadWizardString(name); });
        m_pLink->SetEventHandler([this](const LinkEvent& event) { DeliverLinkEvent(m_pFrame, event); });
        // The wizard stays alive while the link works: the progress moves and
        // the window repaints. The guards above keep the page in place.
        m_pLink->SetPump([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 5); });
    }
    m_strResult = m_pLink->SendToPhone(g_tempGifPath, "PhoneImageFolder");
    m_bTransferring = false;

    if (m_bExitAfterTransfer) {
        ExitWizard();
        return;
    }
    const WizardMessages& texts = Messages();
    if (!m_strResult.empty()) {
        const std::string text = TransferFailureText(texts.MsgTransferError, m_strResult, texts.MsgPressPrevious);
        m_movie->SetVariable("_ErrTxt", MovieHtml(text, false, false));
    } else {
        m_strResult = TransferSuccessText(m_movie->GetVariable("_OkTxt"), g_strAnimName);
        m_movie->SetVariable("_ErrTxt", MovieHtml(m_strResult, false, false));
    }
    m_movie->GotoFrame(m_movie->FrameNum() + 1);
    m_movie->TCallFrame("ErrTxt", 0);
}

void CDlgWiz6::OnFSCommand(const std::string& command, const std::string& args)
{
    if (m_bTransferring) {
        // The link still reads the temporary file: leaving now would delete it
        // under the link's feet. Exit stops the transfer first.
        if (command == "exit") {
            m_bExitAfterTransfer = true;
            m_pLink->RequestCancel();
        } else if (command == "reduce") {
            Reduce();
        }
        return;
    }
    if (OnWindowButton(command))
        return;
    if (command == "ChangeStep" && args == "2") {
        DeleteTempFile(g_tempGifPath);
        GoNext();
    } else if (command == "ChangeStep" && args == "5") {
        GoPrevious();
    } else if (command == "TransfertStarted") {
        RunTransfer();
    }
}

void CDlgWiz6::OnDefaultAction()
{
    if (isVisible())
        OnFSCommand("ChangeStep", "2");
}
