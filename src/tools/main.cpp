// tessary-anim: runs the wizard's picture work without a window.
#include <csignal>
#include <cstdio>
#include <cstring>

#include "tool_command.h"
#include "tool_support.h"

static void PrintUsage(FILE* out)
{
    std::fprintf(out, "usage: tessary-anim COMMAND [ARGS...]\n\ncommands:\n");
    for (const ToolCommand* c = kToolCommands; c->name; ++c)
        std::fprintf(out, "  %-9s %s\n", c->name, c->summary);
    std::fprintf(out, "\n'tessary-anim COMMAND --help' describes one command.\n");
}

int main(int argc, char** argv)
{
    if (argc < 2)
        return Fail("no command given (see tessary-anim --help)");
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
        std::strcmp(argv[1], "help") == 0) {
        PrintUsage(stdout);
        return 0;
    }
    InstallConsoleBoxes();
    // Past a file-size limit (ulimit -f) a write must fail with EFBIG, so the
    // command can report it and remove its partial output, instead of the
    // process being killed with the file half written.
    std::signal(SIGXFSZ, SIG_IGN);
    for (const ToolCommand* c = kToolCommands; c->name; ++c) {
        if (std::strcmp(argv[1], c->name) == 0)
            return c->run(argc - 2, argv + 2);
    }
    return Fail(std::string("unknown command '") + argv[1] + "' (see tessary-anim --help)");
}
