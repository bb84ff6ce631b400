#include "transfer_text.h"

#include <algorithm>

std::string EscapeRichText(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string FillPlaceholdersOnce(const std::string& text,
                                 const std::vector<std::pair<std::string, std::string>>& values)
{
    std::string out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        bool replaced = false;
        for (const auto& [placeholder, value] : values) {
            if (!placeholder.empty() && text.compare(pos, placeholder.size(), placeholder) == 0) {
                out += value;
                pos += placeholder.size();
                replaced = true;
                break;
            }
        }
        if (!replaced)
            out += text[pos++];
    }
    return out;
}

std::string SavePageText(const std::string& movieTemplate, const std::string& animName, uint64_t bytes)
{
    return FillPlaceholdersOnce(movieTemplate,
                                {{"%1%", EscapeRichText(animName + ".gif")}, {"%2%", std::to_string(bytes)}});
}

std::string TransferFailureText(const std::string& title, const std::string& reason, const std::string& hint)
{
    return "<B>" + EscapeRichText(title) + "</B>\n\n" + EscapeRichText(reason) + "\n\n" + EscapeRichText(hint);
}

std::string TransferSuccessText(const std::string& movieSentence, const std::string& animName)
{
    return FillPlaceholdersOnce(movieSentence, {{"%1%", EscapeRichText(animName + ".gif")}});
}

int ProgressBarFrame(uintptr_t wParam)
{
    // The parameter carries a signed 32-bit percentage.
    const int64_t percent = static_cast<int32_t>(static_cast<uint32_t>(wParam));
    return static_cast<int>(std::clamp<int64_t>(percent, 0, 100) / 4 + 1);
}

std::string SaveDialogFilter(const std::string& extension)
{
    return extension + "|*." + extension + "||";
}

bool HasFileExtension(const std::string& path)
{
    const std::size_t slash = path.find_last_of("/\\");
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    return dot != std::string::npos && dot > 0 && dot + 1 < name.size();
}

std::string FolderOfSavedPath(const std::string& path)
{
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}
