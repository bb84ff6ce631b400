// The "Create Animation" wizard of the Tessary phone suite.
#include "open_on_start.h"
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
    // A picture named on the command line ("Open with") is opened once the pages exist.
    const std::string picture = PictureFromArguments(argc, argv);
    if (!picture.empty()) {
        options.prepareFrame = [picture](CDlgFrame& frame) {
            frame.m_onAllPages = [&frame, picture] { OpenPictureOnStart(frame, picture); };
        };
    }
    InitInstance(options);
    return 0;
}
