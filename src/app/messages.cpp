#include "messages.h"

#include <QString>

#include <cstddef>

WizardMessages g_messages;
std::string g_languageCode;

const std::array<const char*, 12> kLanguageCodes = {"EN", "FR", "DE", "SP", "IT", "PT",
                                                    "NL", "PL", "CZ", "RU", "CHS", "CHT"};

namespace {

using Texts = std::array<const char*, WizardMessages::kCount>;

// Record order: see the comments on the members of WizardMessages.
const Texts kEnglish = {
    "Midi file size (%1% bytes) exceeds the phone capability (%2% bytes maximum).\nPlease reduce its length.",
    "About",
    "The Flash 5 module must be installed on your computer.\nPlease check the installation of the software.",
    "Animation size (%1% bytes) exceeds the phone capability (%2% bytes maximum).\nPlease delete some images to reduce the size.",
    "Transfer in progress...",
    "This file type is not supported",
    "It is not possible to start the %1% wizard because the %2% wizard is already running.\nPlease close the %2% wizard.",
    "Add a frame",
    "Invalid picture :",
    "Installation error",
    "Customize Image",
    "All your changes will be lost.\nAre you sure you want to exit ?",
    "Transfer error.",
    "Press \"Previous\" to try again.",
    "Your sound %1% (%2%) is ready to be transferred",
    "Your animation %1% (%2% bytes) is ready to be transferred",
    "Your stamp %1% (%2% bytes) is ready to be transferred",
    "Create new folder",
    "Create Animation",
    "Retrieve Photos",
    "Customize Sound",
    "Create Stamp",
    "Reduce",
    "OK",
    "bytes",
    "Cancel",
};

const Texts* const kLanguages[] = {&kEnglish};

std::string* Slot(WizardMessages& m, int index)
{
    std::string* const entries[WizardMessages::kCount] = {
        &m.MsgMidiTooBig, &m.TextAbout, &m.MsgFlashMissing, &m.MsgAnimationTooBig,
        &m.TextTransferInProgress, &m.MsgFileTypeNotSupported, &m.MsgAlreadyRunning,
        &m.TextAddFrame, &m.MsgInvalidPicture, &m.MsgInstallationError, &m.TitleCustomizeImage,
        &m.MsgConfirmExit, &m.MsgTransferError, &m.MsgPressPrevious, &m.MsgSoundReady,
        &m.MsgAnimationReady, &m.MsgStampReady, &m.TextCreateNewFolder, &m.TitleCreateAnimation,
        &m.TitleRetrievePhotos, &m.TitleCustomizeSound, &m.TitleCreateStamp, &m.TextReduce,
        &m.TextOk, &m.TextBytes, &m.TextCancel};
    return (index >= 0 && index < WizardMessages::kCount) ? entries[index] : nullptr;
}

} // namespace

std::string& WizardMessages::operator[](int index)
{
    std::string* slot = Slot(*this, index);
    return slot ? *slot : MsgMidiTooBig;
}

const std::string& WizardMessages::operator[](int index) const
{
    return const_cast<WizardMessages&>(*this)[index];
}

std::string UpperCaseUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toUpper().toStdString();
}

WizardMessages BuildMessages(std::string code)
{
    code = UpperCaseUtf8(code);
    g_languageCode = code;

    std::size_t language = 0; // a code that names no language gets the English texts
    for (std::size_t i = 0; i < kLanguageCodes.size() && i < std::size(kLanguages); ++i) {
        if (code == kLanguageCodes[i]) {
            language = i;
            break;
        }
    }

    WizardMessages messages;
    for (int i = 0; i < WizardMessages::kCount; ++i)
        messages[i] = (*kLanguages[language])[static_cast<std::size_t>(i)];
    return messages;
}

int FillPlaceholder(std::string& text, const char* placeholder, const std::string& value)
{
    const std::string key = placeholder ? placeholder : "";
    if (key.empty())
        return 0;
    int count = 0;
    std::string result;
    std::size_t from = 0;
    for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, from)) {
        result.append(text, from, at - from);
        result += value;
        from = at + key.size();
        ++count;
    }
    if (count > 0) {
        result.append(text, from, std::string::npos);
        text = std::move(result);
    }
    return count;
}

std::string FillMessage(std::string text, const std::string& first, const std::string& second)
{
    FillPlaceholder(text, "%1%", first);
    FillPlaceholder(text, "%2%", second);
    return text;
}
