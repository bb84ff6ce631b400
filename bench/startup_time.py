#!/usr/bin/python3
"""How long the wizard takes to show its first page, and to switch pages, on a real X11 screen.

Usage: startup_time.py [BUILD_OR_ROOT] [--runs N] [--switches K] [--language CODE]

Starts the wizard of BUILD_OR_ROOT (a build folder with bin/, or an installed
root with usr/bin/; default build/) N times (default 7), each time with a fresh
settings store, and reads the screen every millisecond:

  first page: from just before the process is started until the title strip of
              the start page shows on the screen;
  switch:     from the click on Next (start page -> content page) or Back
              (content page -> start page) until the new page's title shows.

A calibration run first records what the title strip looks like on each page.
Prints the median and the range of each figure. The peer figure is the time
from the start until the window's place on the screen shows anything at all
(what the X server and Qt cost before the page itself can be drawn). Without $DISPLAY it runs itself under
xvfb-run.
"""
import argparse
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import xwizard  # noqa: E402

NEXT = (520, 379)
BACK = (60, 379)
# Points of the title strip that no page's title covers.
STRIP = [(300, 6), (450, 8), (250, 56), (560, 40)]
# Where the page titles are drawn: the pages are told apart there.
TITLES = [(x, y) for x in range(32, 400, 3) for y in range(30, 52, 3)]


def absolute(origin, points):
    return [(origin[0] + x, origin[1] + y) for x, y in points]


def settle(screen, points, seconds=0.6, timeout=10.0):
    """The colours at `points` once they have not changed for `seconds`."""
    last = screen.pixels(points)
    since = time.monotonic()
    end = since + timeout
    while time.monotonic() < end:
        time.sleep(0.05)
        now = screen.pixels(points)
        if now != last:
            last, since = now, time.monotonic()
        elif time.monotonic() - since >= seconds:
            return now
    sys.exit("the screen did not settle")


def calibrate(program, language, screen):
    """Origin of the window and the colours of the strip and of the titles on each page."""
    with xwizard.Wizard(program, language) as wizard:
        wizard.start()
        origin = xwizard.window_origin(wizard.process.pid)
        if origin is None:
            sys.exit("the wizard's window did not appear")
        time.sleep(5)  # past the welcome
        strip = settle(screen, absolute(origin, STRIP))
        titles_start = settle(screen, absolute(origin, TITLES))
        screen.click(*absolute(origin, [NEXT])[0])
        time.sleep(1)
        titles_content = settle(screen, absolute(origin, TITLES))
    differ = [i for i in range(len(TITLES)) if titles_start[i] != titles_content[i]]
    if len(differ) < 4:
        sys.exit("Next did not change the page title: the start page and the content page look the same")
    step = max(1, len(differ) // 16)
    chosen = differ[::step]
    points = [TITLES[i] for i in chosen]
    return origin, strip, points, [titles_start[i] for i in chosen], [titles_content[i] for i in chosen]


def median_text(values):
    if not values:
        return "none"
    ms = [v * 1000 for v in values]
    return f"median {statistics.median(ms):.0f} ms (min {min(ms):.0f}, max {max(ms):.0f}, {len(ms)} samples)"


def main():
    xwizard.ensure_display()
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("build", nargs="?", default=os.path.join(xwizard.TOP, "build"))
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--switches", type=int, default=3, help="Next and Back pairs per run")
    parser.add_argument("--language", default="EN")
    args = parser.parse_args()

    program = xwizard.find_program(args.build)
    screen = xwizard.Screen()
    origin, strip, points, start_titles, content_titles = calibrate(program, args.language, screen)
    strip_points = absolute(origin, STRIP)
    title_points = absolute(origin, points)
    next_point = absolute(origin, [NEXT])[0]
    back_point = absolute(origin, [BACK])[0]

    mapped, first, forward, backward = [], [], [], []
    for run in range(args.runs):
        with xwizard.Wizard(program, args.language) as wizard:
            before = screen.pixels(strip_points)
            started = wizard.start()
            anything, shown = watch_start(screen, strip_points, before, strip)
            if shown is None:
                sys.exit(f"run {run + 1}: the start page never showed")
            first.append(shown - started)
            mapped.append(anything - started)
            found = xwizard.window_origin(wizard.process.pid, timeout=5)
            if found != origin:
                sys.exit(f"run {run + 1}: the window moved from {origin} to {found}")
            time.sleep(5)  # past the welcome, on the choices
            for _ in range(args.switches):
                clicked = time.monotonic()
                screen.click(*next_point)
                arrived = screen.wait_for(title_points, content_titles, timeout=10)
                if arrived is None:
                    sys.exit(f"run {run + 1}: Next did not show the content page")
                forward.append(arrived - clicked)
                time.sleep(0.5)
                clicked = time.monotonic()
                screen.click(*back_point)
                arrived = screen.wait_for(title_points, start_titles, timeout=10)
                if arrived is None:
                    sys.exit(f"run {run + 1}: Back did not show the start page")
                backward.append(arrived - clicked)
                time.sleep(0.5)

    print(f"{program} ({args.language}), {args.runs} runs under {os.environ.get('DISPLAY')}")
    print(f"  start to first page shown:   {median_text(first)}")
    print(f"  start to first pixels shown: {median_text(mapped)}")
    print(f"  Next, start -> content page: {median_text(forward)}")
    print(f"  Back, content -> start page: {median_text(backward)}")
    print(f"  ratio first page / first pixels: {statistics.median(first) / statistics.median(mapped):.2f}")
    return 0


def watch_start(screen, points, before, page, timeout=30.0):
    """Times (monotonic) when the points first changed at all, and when they show `page`."""
    anything = None
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        now = screen.pixels(points)
        if anything is None and now != before:
            anything = time.monotonic()
        if now == page:
            return anything, time.monotonic()
        time.sleep(0.001)
    return anything, None


if __name__ == "__main__":
    sys.exit(main())
