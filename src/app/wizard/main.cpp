// The "Create Animation" wizard of the Tessary phone suite.
#include "message_box.h"
#include "startup.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tessary-create-animation"));
    QApplication::setQuitOnLastWindowClosed(false);
    platform::InstallRasterMessageHandler();
    // A refused start (a sibling wizard runs, or this wizard was already running)
    // ends at once, as does the end of the wizard.
    InitInstance();
    return 0;
}
