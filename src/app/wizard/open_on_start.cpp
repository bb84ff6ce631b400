#include "open_on_start.h"

#include "dlg_frame.h"
#include "dlg_wiz2.h"
#include "route_tables.h"
#include "wizard_globals.h"

#include <filesystem>

bool OpenPictureOnStart(CDlgFrame& frame, const std::string& path)
{
    auto* content = dynamic_cast<CDlgWiz2*>(frame.Page(kPageContent));
    if (path.empty() || !content)
        return false;
    // What the start page's defaults choose: a full-screen animation from
    // existing pictures.
    g_imageSize = 128;
    g_createNew = 0;
    g_pageRoute = 0;
    frame.m_previous = frame.m_current;
    frame.m_current = kPageContent;
    frame.ShowCurrentPage();
    const bool opened = content->PickFile(path);
    if (!opened) {
        // The box has said why; the user starts over from the first page.
        frame.m_previous = frame.m_current;
        frame.m_current = kPageStart;
        frame.ShowCurrentPage();
    }
    return opened;
}

std::string PictureFromArguments(int argc, const char* const* argv)
{
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i] ? argv[i] : "";
        if (options && arg == "--") {
            options = false;
            continue;
        }
        if (arg.empty() || (options && arg[0] == '-'))
            continue;
        std::error_code error;
        const std::filesystem::path absolute = std::filesystem::absolute(arg, error);
        return error ? arg : absolute.lexically_normal().string();
    }
    return std::string();
}
