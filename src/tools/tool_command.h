// The subcommands of tessary-anim. Each one is a function that gets the
// arguments after its name and returns the process exit code: 0 done, 1 bad
// input or failure (after a message on stderr).
#pragma once

struct ToolCommand {
    const char* name;    // as typed after "tessary-anim"
    const char* summary; // one line for the overall --help
    int (*run)(int argc, char** argv);
};

// The table, ended by an entry whose name is null (command_table.cpp).
extern const ToolCommand kToolCommands[];

int RunInfoCommand(int argc, char** argv);
int RunDecodeCommand(int argc, char** argv);
int RunConvertCommand(int argc, char** argv);
int RunGifCommand(int argc, char** argv);
int RunMakeCommand(int argc, char** argv);
int RunSendCommand(int argc, char** argv);
int RunThumbsCommand(int argc, char** argv);
