// tessary-anim send FILE [--folder PHONEFOLDER]
//
// Sends a file to the phone through the same link client and link program as
// the wizard's transfer page.

#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>

#include "link_client.h"
#include "progress_bar.h"
#include "registry_store.h"
#include "settings_defaults.h"
#include "tool_command.h"
#include "tool_support.h"

namespace {

const char kSendHelp[] =
    "usage: tessary-anim send FILE [--folder PHONEFOLDER]\n"
    "\n"
    "Sends FILE to the phone through the phone link, as the wizard's last page\n"
    "does. A file that is already on the phone with other content is not\n"
    "replaced: the phone gets NAME-2.EXT instead.\n"
    "\n"
    "  --folder PHONEFOLDER   the folder on the phone (default: the PhoneImageFolder\n"
    "                         setting, or the installer's default without a store)\n"
    "\n"
    "Progress is drawn on a terminal, nothing when the output is piped.\n"
    "Environment: TESSARY_LINK (the link program; default: tessary-link beside\n"
    "this program), TESSARY_PHONE_STORAGE (the phone's storage folder; default:\n"
    "the link's StorageFolder setting, else the one phone connected),\n"
    "TESSARY_LINK_TIMEOUT_MS (how long the link may stay silent), TESSARY_REGISTRY.\n"
    "\n"
    "Exit status: 0 sent, 1 not sent (the reason on stderr).\n";

// The phone folder the wizard would use.
std::string PhoneFolderSetting()
{
    std::string bytes;
    const long status = platform::RegistryQueryValue("SOFTWARE\\Quenlor\\Tessary\\Customization Wizards",
                                                     "PhoneImageFolder", 520, bytes);
    if (status == platform::kRegOk)
        return bytes.substr(0, bytes.find('\0'));
    struct stat st {};
    if (::stat(platform::RegistryStorePath().c_str(), &st) == 0)
        Warn("the settings store has no readable PhoneImageFolder (status " + std::to_string(status) +
             "); using " + DefaultPhoneImageFolder());
    return DefaultPhoneImageFolder();
}

} // namespace

int RunSendCommand(int argc, char** argv)
{
    if (WantsHelp(argc, argv)) {
        std::fputs(kSendHelp, stdout);
        return 0;
    }
    std::string file;
    std::string folder;
    bool folderGiven = false;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--folder") {
            if (i + 1 >= argc)
                return Fail("--folder needs the folder on the phone");
            folder = argv[++i];
            folderGiven = true;
        } else if (arg.rfind("--folder=", 0) == 0) {
            folder = arg.substr(9);
            folderGiven = true;
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            return Fail("unknown option '" + arg + "' (see tessary-anim send --help)");
        } else if (file.empty()) {
            file = arg;
        } else {
            return Fail("send takes one file (see tessary-anim send --help)");
        }
    }
    if (file.empty())
        return Fail("no file given (see tessary-anim send --help)");
    if (!folderGiven)
        folder = PhoneFolderSetting();

    CLinkClient link(DefaultLinkClientSettings(RunningProgramFolder()));
    CProgressBar bar;
    link.SetEventHandler([&bar](const LinkEvent& event) { bar.Percent(event.p3, event.text); });
    link.SetSettingReader([&folder](const std::string&) { return folder; });
    const std::string failure = link.SendToPhone(file, "PhoneImageFolder");
    bar.Finish();
    if (!failure.empty())
        return Fail(failure);
    const std::string& said = link.LastResult().text;
    std::printf("%s\n", said.empty() ? "Sent." : said.c_str());
    return 0;
}
