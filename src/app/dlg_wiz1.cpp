#include "dlg_wiz1.h"

#include "message_box.h"
#include "messages.h"
#include "movie_ctrl.h"
#include "wizard_globals.h"

#include <QString>

namespace {

bool EqualsNoCase(const std::string& a, const char* b)
{
    return QString::fromStdString(a).compare(QString::fromUtf8(b), Qt::CaseInsensitive) == 0;
}

} // namespace

CDlgWiz1::CDlgWiz1(CDlgFrame* pFrame) : CWizPage(pFrame, 0) {}

int32_t CDlgWiz1::ImageSizeFromMovie(const std::string& value)
{
    return EqualsNoCase(value, "FullScreen") ? 128 : 64;
}

int32_t CDlgWiz1::CreateNewFromMovie(const std::string& action)
{
    return EqualsNoCase(action, "Open") ? 0 : 1;
}

bool CDlgWiz1::OnInitDialog()
{
    CWizPage::OnInitDialog();
    if (m_movie->FlashVersion() < 0x50000) {
        platform::ShowMessageBox(this, Messages().MsgFlashMissing, Messages().TitleCreateAnimation,
                                 platform::BoxIcon::Error, platform::BoxButtons::Ok);
    }
    SetUpPage("Plendix.swf?frm=1");
    m_bDirty = false;
    return true;
}

void CDlgWiz1::ChangeStepNext()
{
    g_imageSize = ImageSizeFromMovie(m_movie->GetVariable("ImageSize"));
    const int32_t createNew = CreateNewFromMovie(m_movie->GetVariable("Action"));
    g_createNew = createNew;
    g_pageRoute = createNew;
    GoNext();
}

void CDlgWiz1::OnFSCommand(const std::string& command, const std::string& args)
{
    if (command == "ChangeStep" && args == "2")
        ChangeStepNext();
    else if (!OnWindowButton(command))
        TakeFocus();
}

void CDlgWiz1::OnDefaultAction()
{
    if (m_movie->TCurrentFrame("MainIntro") == 1)
        OnFSCommand("ChangeStep", "2");
    else
        m_movie->TGotoFrame("MainIntro", 1);
}
