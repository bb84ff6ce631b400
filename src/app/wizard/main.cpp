// The "Create Animation" wizard of the Tessary phone suite.
#include "page_factory.h"
#include "startup.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tessary-create-animation"));
    QApplication::setQuitOnLastWindowClosed(false);
    InstallWizardBoxHooks();
    // A refused start (a sibling wizard runs, or this wizard was already running)
    // ends at once, as does the end of the wizard.
    StartUpOptions options;
    options.pageFactory = &CreateWizardPage;
    InitInstance(options);
    return 0;
}
