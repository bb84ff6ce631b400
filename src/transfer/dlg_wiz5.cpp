#include "dlg_wiz5.h"

#include "dlg_frame.h"

#include "message_box.h"
#include "messages.h"
#include "movie_ctrl.h"
#include "save_file_dialog.h"
#include "settings.h"
#include "shell_file_op.h"
#include "transfer_text.h"
#include "wizard_globals.h"

#include <sys/stat.h>

CDlgWiz5::CDlgWiz5(CDlgFrame* pFrame) : CWizPage(pFrame, 4) {}

bool CDlgWiz5::OnInitDialog()
{
    CWizPage::OnInitDialog();
    SetUpPage("Plendix.swf?frm=6");
    return true;
}

void CDlgWiz5::OnShowWindow(bool bShow)
{
    if (!bShow)
        return;
    m_movie->SetVariable("CurrentLink", ReadSettingString("Current Link", nullptr, std::string()));

    // The animation editor wrote the file just before; without it there is
    // nothing to save or send, and "0 bytes" would hide that.
    struct stat st {};
    if (g_tempGifPath.empty() || ::stat(g_tempGifPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        const WizardMessages& texts = Messages();
        platform::ShowMessageBox(m_pFrame, texts.MsgInvalidPicture + " " + g_tempGifPath, texts.TitleCreateAnimation,
                                 platform::BoxIcon::Error, platform::BoxButtons::Ok);
        GoPrevious();
        return;
    }
    if (m_transferTemplate.empty())
        m_transferTemplate = m_movie->GetVariable("TxtPrepTr");
    m_movie->SetVariable("TxtPrepTr",
                         SavePageText(m_transferTemplate, g_strAnimName, static_cast<uint64_t>(st.st_size)));
    m_movie->TCallFrame("IllTr", 0);
}

void CDlgWiz5::SaveOnComputer(const std::string& source, const std::string& name, const std::string& extension,
                              const std::string& kind)
{
    const std::string setting = "Path" + kind;
    platform::SaveFileRequest request;
    request.owner = m_pFrame;
    request.defaultSuffix = extension;
    request.initialName = name;
    request.filter = SaveDialogFilter(extension);
    request.initialFolder = ReadSettingString(setting, nullptr, kSubKeyWizardsUser);

    const platform::SaveFileAnswer answer = platform::ShowSaveFileDialog(request);
    if (!answer.accepted) {
        if (answer.errorCode != 0)
            platform::ShowMessageBox(m_pFrame, "CFileDialog error : " + std::to_string(answer.errorCode),
                                     Messages().TitleCreateAnimation, platform::BoxIcon::Error,
                                     platform::BoxButtons::Ok);
        return;
    }
    if (!answer.path.empty() && HasFileExtension(answer.path)) {
        // The copy asks before it replaces a file, and reports its own failures.
        CShellFileOp copy;
        copy.SetOperation(FO_COPY, m_pFrame, FOF_FILESONLY | FOF_LITERALNAMES);
        copy.AddSource(source);
        copy.AddDestination(answer.path);
        copy.Go();
    }
    WriteSettingString(setting, FolderOfSavedPath(answer.path), kSubKeyWizardsUser);
}

void CDlgWiz5::OnFSCommand(const std::string& command, const std::string& args)
{
    if (OnWindowButton(command))
        return;
    if (command == "ChangeStep" && args == "4")
        GoPrevious();
    else if (command == "ChangeStep" && args == "6")
        GoNext();
    else if (command == "SaveOnComp")
        SaveOnComputer(g_tempGifPath, g_strAnimName, "gif", "Anim");
}

void CDlgWiz5::OnDefaultAction()
{
    if (isVisible())
        OnFSCommand("ChangeStep", "6");
}
