// The program's start: the language, the sibling wizards of the suite, the single
// instance, then the frame until it ends.
#pragma once

#include "dlg_frame.h"

#include <functional>
#include <string>

struct WizardMessages;

// Name of the marker that tells a running instance of the suite's wizards.
inline constexpr const char* kSuiteLockName = "DrovenSuiteLock";

// Looks for the sibling wizards (sound, image, stamp, photos, in that order),
// shows each one found in its normal state and, when any was found, reports the
// last one in the information box. Returns true when a sibling was found.
bool CheckSiblingWizards(const WizardMessages& texts);

// The sibling message: "%1%" becomes this wizard's title, "%2%" the sibling's
// title cut to 31 bytes without splitting a character.
std::string SiblingMessage(const WizardMessages& texts, const std::string& siblingTitle);

struct StartUpOptions {
    // Makes the pages (the wizard program hands its page factory).
    CDlgFrame::PageFactory pageFactory;
    // Prepares the frame before it runs (the program hands work for its pages).
    std::function<void(CDlgFrame&)> prepareFrame;
    // Runs the frame (null: DoModal). Tests may look at the frame instead.
    std::function<int(CDlgFrame&)> runFrame;
};

// The first start of a user without a settings store, in an installed program:
// runs the installed init-settings (`script`, relative to `programFolder`),
// which writes that user's defaults from the installed table (`table`, relative
// too), before anything reads the store. Does nothing when the store exists or
// no such script is installed (beside a build, scripts/run writes the store).
// Returns true when the script ran and the store is there now.
bool WriteFirstStartSettings(const std::string& programFolder, const std::string& script, const std::string& table);

// The whole start-up (the first start's settings, then the rest). Returns false when the program must end at once (a sibling
// runs, or a running instance was restored), true once the frame has ended.
bool InitInstance(const StartUpOptions& options = {});

// Routes the boxes of the picture library and of the loading rules to the
// wizard's message boxes, owned by the frame window.
void InstallWizardBoxHooks();

// Lets go of the instance marker (the process end does the same).
void ReleaseInstanceLock();
