// The texts the program shows itself (message boxes, titles, menu items, texts
// pushed into the movies): one record of 26 strings per language, chosen once
// at start-up from the "Language" setting.
#pragma once

#include <array>
#include <string>

#include "utf8_text.h"

struct WizardMessages {
    static constexpr int kCount = 26;

    std::string MsgMidiTooBig;           // 0
    std::string TextAbout;               // 1
    std::string MsgFlashMissing;         // 2
    std::string MsgAnimationTooBig;      // 3
    std::string TextTransferInProgress;  // 4
    std::string MsgFileTypeNotSupported; // 5
    std::string MsgAlreadyRunning;       // 6
    std::string TextAddFrame;            // 7
    std::string MsgInvalidPicture;       // 8
    std::string MsgInstallationError;    // 9
    std::string TitleCustomizeImage;     // 10
    std::string MsgConfirmExit;          // 11
    std::string MsgTransferError;        // 12
    std::string MsgPressPrevious;        // 13
    std::string MsgSoundReady;           // 14
    std::string MsgAnimationReady;       // 15
    std::string MsgStampReady;           // 16
    std::string TextCreateNewFolder;     // 17
    std::string TitleCreateAnimation;    // 18
    std::string TitleRetrievePhotos;     // 19
    std::string TitleCustomizeSound;     // 20
    std::string TitleCreateStamp;        // 21
    std::string TextReduce;              // 22
    std::string TextOk;                  // 23
    std::string TextBytes;               // 24
    std::string TextCancel;              // 25

    // Entry by its record position, 0 to kCount - 1.
    std::string& operator[](int index);
    const std::string& operator[](int index) const;
};

// The twelve language codes in the order they are matched.
extern const std::array<const char*, 12> kLanguageCodes;

// Upper-cases `code` (UTF-8 aware), stores it in g_languageCode and returns the
// texts of that language. A code that names no language gives the English texts.
WizardMessages BuildMessages(std::string code);

// Replaces every occurrence of `placeholder` ("%1%", "%2%") in `text` with
// `value`, scanning left to right without overlap; returns how many were replaced.
int FillPlaceholder(std::string& text, const char* placeholder, const std::string& value);

// A filled copy of `text`: every "%1%" becomes `first`, then every "%2%" becomes `second`.
std::string FillMessage(std::string text, const std::string& first, const std::string& second = {});

extern WizardMessages g_messages;
extern std::string g_languageCode;
