#include "dlg_wiz5.h"

#include "movie_ctrl.h"

CDlgWiz5::CDlgWiz5(CDlgFrame* pFrame) : CWizPage(pFrame, 4) {}

bool CDlgWiz5::OnInitDialog()
{
    CWizPage::OnInitDialog();
    FitToFrame(this);
    FitToFrame(m_movie);
    LoadMovie("Plendix.swf?frm=6");
    CreateToolTip();
    return true;
}

void CDlgWiz5::OnFSCommand(const std::string& command, const std::string& args)
{
    if (command == "ChangeStep" && args == "4")
        GoPrevious();
    else if (command == "ChangeStep" && args == "6")
        GoNext();
    else if (command == "exit")
        ExitWizard();
    else if (command == "reduce")
        Reduce();
}

void CDlgWiz5::OnDefaultAction()
{
    if (isVisible())
        OnFSCommand("ChangeStep", "6");
}
