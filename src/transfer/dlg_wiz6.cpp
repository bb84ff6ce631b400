#include "dlg_wiz6.h"

#include "movie_ctrl.h"
#include "shell_file_op.h"
#include "wizard_globals.h"

CDlgWiz6::CDlgWiz6(CDlgFrame* pFrame) : CWizPage(pFrame, 5) {}

bool CDlgWiz6::OnInitDialog()
{
    CWizPage::OnInitDialog();
    FitToFrame(this);
    FitToFrame(m_movie);
    LoadMovie("Plendix.swf");
    CreateToolTip();
    m_bDirty = false;
    return true;
}

void CDlgWiz6::OnFSCommand(const std::string& command, const std::string& args)
{
    if (command == "ChangeStep" && args == "2") {
        DeleteTempFile(g_tempGifPath);
        GoNext();
    } else if (command == "ChangeStep" && args == "5") {
        GoPrevious();
    } else if (command == "exit") {
        ExitWizard();
    } else if (command == "reduce") {
        Reduce();
    }
}

void CDlgWiz6::OnDefaultAction()
{
    if (isVisible())
        OnFSCommand("ChangeStep", "2");
}
