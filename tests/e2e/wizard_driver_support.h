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

// ---- Save and transfer -------------------------------------------------------
// The folder of the driver's settings store and installation ("<folder>/install/").
std::string WorkFolder();
// Fills g_animDoc with a few frames and writes them, as the animation editor
// does before the save page, to the temporary GIF of `name` (g_tempGifPath,
// g_strAnimName). Returns the file's bytes. The driver writes one for
// "holiday" when it starts, so the save page has its animation.
std::string WriteTemporaryAnimation(const std::string& name);

// --- The content page ---
// A folder of real pictures for the content page, made once in the driver's
// temporary folder: "bounce.gif" (an animation of 4 frames), "forest.png"
// (with transparent corners), "mono.bmp" and "sunset.jpg".
QString ContentFixtureFolder();
// On the content page: shows `folder` in the folder tree (as choosing it
// there does), waits for its thumbnails and clicks the one named `name` in the
// list. True when the click picked it (the movie's "next" is enabled).
bool PickContentFile(WizardDriver& wizard, const QString& name, const QString& folder = ContentFixtureFolder());


// An animation of the walk-throughs' fixture folder, tests/e2e/fixtures.
std::string FixturePath(const std::string& name);
// That folder.
QString FixtureFolder();
// Loads `path` into the animation document as the content page does once the
// user picks it (the delay limits of the chosen screen size from the store,
// every frame built) and names the animation after the file as the picture
// editor does. False when the file gives no frame.
bool LoadAnimation(const std::string& path);

} // namespace e2e
