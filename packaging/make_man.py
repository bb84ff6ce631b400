#!/usr/bin/python3
"""Writes the manual page of the batch tool from its own --help texts.

Usage: make_man.py TOOL VERSION DATE OUT.1
Runs `TOOL --help` and `TOOL COMMAND --help` for every command that the first
lists, and lays them out as a section 1 page: the texts are the tool's, so the
page never lags behind the tool.
"""
import re
import subprocess
import sys


def help_text(tool, *args):
    run = subprocess.run([tool, *args, "--help"], capture_output=True, text=True, timeout=60)
    text = run.stdout or run.stderr
    if not text.strip():
        sys.exit(f"make_man.py: {tool} {' '.join(args)} --help printed nothing")
    return text.rstrip("\n")


def roff(text):
    """Plain text as roff lines shown as they are (inside .nf): escapes and no leading control characters."""
    lines = []
    for line in text.split("\n"):
        line = line.replace("\\", "\\e").replace("-", "\\-")
        if line.startswith((".", "'")):
            line = "\\&" + line
        lines.append(line)
    return "\n".join(lines)


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    tool, version, date, out = sys.argv[1:]
    overview = help_text(tool)
    commands = re.findall(r"^  ([a-z][a-z0-9-]*)\s{2,}(.*)$", overview.split("commands:", 1)[-1], re.M)
    if not commands:
        sys.exit("make_man.py: no commands found in the tool's --help")

    page = [
        f'.TH TESSARY-ANIM 1 "{date}" "tessary {version}" "User Commands"',
        ".SH NAME",
        "tessary-anim \\- make phone animations and convert pictures from the command line",
        ".SH SYNOPSIS",
        ".B tessary-anim",
        ".I COMMAND",
        "[\\fIARGS\\fR...]",
        ".br",
        ".B tessary-anim",
        ".I COMMAND",
        ".B \\-\\-help",
        ".SH DESCRIPTION",
        "The batch tool of the Create Animation wizard",
        "(\\fBtessary\\-create\\-animation\\fR(1)) does the wizard's main job without",
        "a window, through the same code, and gives access to its picture library.",
        "It reads no settings store. A bad source gives a message on standard error",
        "that starts with \\fBtessary\\-anim:\\fR and a non-zero exit status; output is",
        "written under a temporary name and renamed, so a failure never leaves a",
        "half-written file.",
        ".SH COMMANDS",
    ]
    for name, summary in commands:
        page += [f".SS {name}", roff(summary.strip()[:1].upper() + summary.strip()[1:]) + ".", ".PP", ".nf", roff(help_text(tool, name)), ".fi"]
    page += [
        ".SH EXAMPLES",
        ".nf",
        roff("tessary-anim make holiday.gif -o phone.gif\n"
             "tessary-anim make photo.jpg --size 64 --fit -o small.gif\n"
             "tessary-anim info anim.gif --json"),
        ".fi",
        ".SH SEE ALSO",
        "\\fBtessary\\-create\\-animation\\fR(1)",
    ]
    with open(out, "w", encoding="utf-8") as page_file:
        page_file.write("\n".join(page) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
