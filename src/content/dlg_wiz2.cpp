#include "dlg_wiz2.h"

#include "message_box.h"
#include "messages.h"
#include "movie_ctrl.h"

CDlgWiz2::CDlgWiz2(CDlgFrame* pFrame) : CWizPage(pFrame, 1) {}

bool CDlgWiz2::OnInitDialog()
{
    CWizPage::OnInitDialog();
    FitToFrame(this);
    FitToFrame(m_movie);
    if (m_movie->FlashVersion() < 0x50000) {
        // This page has always named the image wizard in this box.
        platform::ShowMessageBox(this, Messages().MsgFlashMissing, Messages().TitleCustomizeImage,
                                 platform::BoxIcon::Error, platform::BoxButtons::Ok);
    }
    LoadMovie("Plendix.swf?frm=2");
    CreateToolTip();
    m_bDirty = false;
    return true;
}

void CDlgWiz2::OnFSCommand(const std::string& command, const std::string& args)
{
    if (command == "ChangeStep" && args == "3") {
        m_movie->TGotoFrame("next", 0);
        GoNext();
    } else if (command == "ChangeStep" && args == "1") {
        m_movie->TGotoFrame("next", 0);
        GoPrevious();
    } else if (command == "exit") {
        ExitWizard();
    } else if (command == "reduce") {
        Reduce();
    }
}

void CDlgWiz2::OnDefaultAction()
{
    if (isVisible() && m_movie->TCurrentFrame("next") == 1)
        OnFSCommand("ChangeStep", "3");
}
