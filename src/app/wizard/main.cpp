// The "Create Animation" wizard of the Tessary phone suite.
#include "message_box.h"
#include "messages.h"
#include "picture_holder.h"
#include "startup.h"

#include <QApplication>

namespace {

// The loading rules refuse a picture with a box owned by the page that asked;
// the caption is the program's title, as for every box the wizard shows.
void ShowPictureBoxInWindow(void* owner, const char* text)
{
    platform::ShowMessageBox(static_cast<QWidget*>(owner), text ? text : "", g_messages.TitleCreateAnimation,
                             platform::BoxIcon::None, platform::BoxButtons::Ok);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tessary-create-animation"));
    QApplication::setQuitOnLastWindowClosed(false);
    platform::InstallRasterMessageHandler();
    SetPictureBoxHook(ShowPictureBoxInWindow);
    // A refused start (a sibling wizard runs, or this wizard was already running)
    // ends at once, as does the end of the wizard.
    InitInstance();
    return 0;
}
