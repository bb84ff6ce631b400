#!/usr/bin/python3
"""CPU that the wizard uses while it waits for the user, in a real X11 window.

Usage: idle_cpu.py [BUILD_OR_ROOT] [--settle S] [--seconds S] [--language CODE]
                   [--click X,Y ...] [--name NAME]
       idle_cpu.py [BUILD] --page start|content|picture|animation|save|transfer [--settle S] [--seconds S]

Starts the wizard of BUILD_OR_ROOT (a build folder with bin/, or an installed
root with usr/bin/; default build/) with a fresh settings store, waits for its
window, clicks the given points of the window in order (half a second apart;
window coordinates, e.g. 520,379 is Next and 60,379 Back) to reach a page, waits
`--settle` seconds (default 5: the start page's welcome moves on after 3.6 s),
then measures for `--seconds` seconds (default 10) the CPU time of the wizard
and of the X server. Prints them in percent of one core; the X server's share is
the peer figure: what the screen costs beside the program that draws it. The
wizard's wake-ups a second (context switches of all its threads) tell whether
anything still ticks, however little CPU each tick takes.

With --page it measures the build's idle_page instead: the same frame, pages and
English movie, brought to that page through the movie's own buttons on the open
route (a fixture animation picked by its thumbnail on the content page), and the
pages passed on the way hidden behind it (what a hidden page still costs shows there).

Without $DISPLAY it runs itself under xvfb-run. Examples:
  bench/idle_cpu.py                          # the start page
  bench/idle_cpu.py --click 520,379 --name start-choices-next
  bench/idle_cpu.py --page transfer          # start, content... hidden behind it
"""
import argparse
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import xwizard  # noqa: E402


def main():
    xwizard.ensure_display()
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("build", nargs="?", default=os.path.join(xwizard.TOP, "build"))
    parser.add_argument("--settle", type=float, default=5.0)
    parser.add_argument("--seconds", type=float, default=10.0)
    parser.add_argument("--language", default="EN")
    parser.add_argument("--click", action="append", default=[], help="X,Y in the window, in order")
    parser.add_argument("--name", default="start page", help="what the figures are called in the output")
    parser.add_argument("--page", choices=("start", "content", "picture", "animation", "save", "transfer"),
                        help="measure the build's idle_page on this page")
    args = parser.parse_args()

    program = xwizard.find_program(args.build) if not args.page else os.path.join(args.build, "bin", "idle_page")
    if args.page and not os.access(program, os.X_OK):
        sys.exit(f"no {program}: build the target idle_page first")
    server = xwizard.server_pid()
    screen = xwizard.Screen()
    with xwizard.Wizard(program, args.language) as wizard:
        if args.page:
            args.name = args.page + " page"
            wizard.process = subprocess.Popen([program, args.page], env=wizard.env, stdout=subprocess.PIPE,
                                              stderr=subprocess.DEVNULL, text=True)
            if wizard.process.stdout.readline().split() != ["ready", args.page]:
                sys.exit(f"idle_page did not reach the {args.page} page")
        else:
            wizard.start()
            origin = xwizard.window_origin(wizard.process.pid)
            if origin is None:
                sys.exit("the wizard's window did not appear")
            for point in args.click:
                x, y = (int(v) for v in point.split(","))
                time.sleep(0.5)
                screen.click(origin[0] + x, origin[1] + y)
        time.sleep(args.settle)
        if wizard.process.poll() is not None:
            sys.exit(f"the wizard ended (exit {wizard.process.returncode}) before the measurement")
        pid = wizard.process.pid
        own0 = xwizard.cpu_seconds(pid)
        woke0 = xwizard.wakeups(pid)
        srv0 = xwizard.cpu_seconds(server) if server else 0.0
        t0 = time.monotonic()
        time.sleep(args.seconds)
        elapsed = time.monotonic() - t0
        own = (xwizard.cpu_seconds(pid) - own0) / elapsed * 100
        woke = (xwizard.wakeups(pid) - woke0) / elapsed
        srv = ((xwizard.cpu_seconds(server) - srv0) / elapsed * 100) if server else float("nan")
    print(f"idle CPU, {args.name} ({args.language}), {elapsed:.1f} s after {args.settle:.0f} s settling: "
          f"wizard {own:.1f} % of a core ({woke:.0f} wake-ups a second), X server {srv:.1f} %")
    return 0


if __name__ == "__main__":
    sys.exit(main())
