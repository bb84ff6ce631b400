#include "dlg_wiz3.h"

#include "dlg_frame.h"
#include "movie_ctrl.h"
#include "wizard_globals.h"

CDlgWiz3::CDlgWiz3(CDlgFrame* pFrame) : CWizPage(pFrame, 2)
{
    g_nCurrentFrame = 0;
}

bool CDlgWiz3::OnInitDialog()
{
    CWizPage::OnInitDialog();
    FitToFrame(this);
    FitToFrame(m_movie);
    LoadMovie("Plendix.swf?frm=3");
    CreateToolTip();
    return true;
}

void CDlgWiz3::OnFSCommand(const std::string& command, const std::string& args)
{
    if (command == "ChangeStep" && args == "4") {
        GoNext();
    } else if (command == "ChangeStep" && args == "2") {
        GoPrevious();
    } else if (command == "exit") {
        ExitWizard();
    } else if (command == "reduce") {
        Reduce();
    } else if (command == "ButtonInsert") {
        g_pageRoute = 1;
        platform::PostWindowMessage(m_pFrame, WM_WIZ_INSERT);
    } else if (command == "ButtonModify") {
        platform::PostWindowMessage(m_pFrame, WM_WIZ_MODIFY);
    }
}

void CDlgWiz3::OnDefaultAction()
{
    if (isVisible())
        OnFSCommand("ChangeStep", "4");
}
