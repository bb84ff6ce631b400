#include "dlg_wiz4.h"

#include "movie_ctrl.h"

CDlgWiz4::CDlgWiz4(CDlgFrame* pFrame) : CWizPage(pFrame, 3) {}

bool CDlgWiz4::OnInitDialog()
{
    CWizPage::OnInitDialog();
    FitToFrame(this);
    FitToFrame(m_movie);
    LoadMovie("Plendix.swf?frm=5");
    CreateToolTip();
    return true;
}

void CDlgWiz4::OnFSCommand(const std::string& command, const std::string& args)
{
    if (command == "ChangeStep" && (args == "4" || args == "2")) {
        // Frames 5 then 6 put the movie back in its resting state for the next visit.
        m_movie->GotoFrame(5);
        m_movie->GotoFrame(6);
        if (args == "4")
            GoNext();
        else
            GoPrevious();
    } else if (command == "exit") {
        ExitWizard();
    } else if (command == "reduce") {
        Reduce();
    }
}

void CDlgWiz4::OnDefaultAction()
{
    if (isVisible())
        OnFSCommand("ChangeStep", "4");
}
