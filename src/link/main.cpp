// tessary-link: sends files to the phone for the wizard and tessary-anim.
// It speaks one JSON object per line on stdin and stdout (link_protocol.h) and
// ends when its input ends.
#include "folder_backend.h"
#include "link_server.h"
#include "link_settings.h"

#include <unistd.h>

int main()
{
    InstallPartFileCleanup();
    CLinkServer server(STDIN_FILENO, STDOUT_FILENO, [](std::string* error) {
        return MakeBackend(ReadLinkSettings(), error);
    });
    return server.Run();
}
