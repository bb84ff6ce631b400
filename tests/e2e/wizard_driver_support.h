// Drives the whole wizard the way a user does: the real frame, the real pages and
// the language's own movie, clicked through its own buttons.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <string>

class CDlgFrame;
class CWizPage;
class QQuickItem;

namespace e2e {

// Creates the QApplication once (platform from the environment) with a settings
// store and a suite registry of its own in a temporary folder.
void EnsureApp();

// Runs events for `ms` milliseconds.
void Wait(int ms);

class WizardDriver {
public:
    // Builds the texts for `language` and starts the frame with all six pages.
    explicit WizardDriver(const std::string& language);
    ~WizardDriver();

    CDlgFrame& Frame() { return *m_frame; }
    int CurrentPage() const;
    CWizPage* Page(int index) const;

    // The visible movie element of the shown page with this object name.
    QQuickItem* Item(const QString& objectName) const;
    // Clicks the middle of that element; false when it is not there.
    bool Click(const QString& objectName);
    // Presses a key on the shown page.
    void Key(int key);
    // Object names of the visible elements of the shown page's movie (for messages).
    QStringList VisibleNames() const;

private:
    std::unique_ptr<CDlgFrame> m_frame;
};

// An animation of the walk-throughs' fixture folder, tests/e2e/fixtures.
std::string FixturePath(const std::string& name);
// Loads `path` into the animation document as the content page does once the
// user picks it (the delay limits of the chosen screen size from the store,
// every frame built) and names the animation after the file as the picture
// editor does. False when the file gives no frame.
bool LoadAnimation(const std::string& path);

} // namespace e2e
