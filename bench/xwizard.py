"""Runs the wizard in a real X11 window for the benchmarks.

The wizard gets a settings store, a data folder and a suite registry of its own
in a temporary folder. The screen is read and clicked through Xlib (ctypes, no
Python module beyond the standard library), so that a benchmark sees what a
person would see: pixels that the X server shows, clicks that the X server
delivers. Run under Xvfb: a script that finds no $DISPLAY starts itself again
under xvfb-run (`ensure_display`).
"""
import ctypes
import ctypes.util
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(HERE)
SCREEN = "1024x768x24"


def ensure_display():
    """Re-runs the calling script under xvfb-run when there is no X display."""
    if os.environ.get("DISPLAY"):
        return
    if not shutil.which("xvfb-run"):
        sys.exit("needs an X display or xvfb-run (Debian package xvfb)")
    os.execvp("xvfb-run", ["xvfb-run", "-a", "-s", f"-screen 0 {SCREEN}", sys.executable] + sys.argv)


def find_program(build):
    """The wizard of an installed root (usr/bin) or of a build folder (bin)."""
    for candidate in (os.path.join(build, "bin", "tessary-create-animation"),
                      os.path.join(build, "usr", "bin", "tessary-create-animation")):
        if os.access(candidate, os.X_OK):
            return candidate
    sys.exit(f"no tessary-create-animation in {build}/bin or {build}/usr/bin: build it first")


def server_pid():
    """Process id of the X server of $DISPLAY (from its lock file), or None."""
    display = os.environ.get("DISPLAY", "")
    number = display.split(":")[-1].split(".")[0]
    try:
        with open(f"/tmp/.X{number}-lock") as lock:
            return int(lock.read().strip())
    except (OSError, ValueError):
        return None


def cpu_seconds(pid):
    """User + system CPU time of a process so far, in seconds."""
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    # Fields 14 and 15 of the line; the split above starts at field 3.
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def wakeups(pid):
    """Context switches of all threads of a process so far: how often it woke up."""
    total = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{task}/status") as status:
                for line in status:
                    if line.startswith(("voluntary_ctxt_switches", "nonvoluntary_ctxt_switches")):
                        total += int(line.split()[1])
        except OSError:
            pass  # a thread that ended meanwhile
    return total


class Screen:
    """The root window of $DISPLAY: pixels and synthetic mouse clicks."""

    def __init__(self):
        self.x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
        self.xtst = ctypes.CDLL(ctypes.util.find_library("Xtst"))
        x11 = self.x11
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XDefaultRootWindow.restype = ctypes.c_ulong
        x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x11.XGetImage.restype = ctypes.c_void_p
        x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                  ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        x11.XGetPixel.restype = ctypes.c_ulong
        x11.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
        x11.XFlush.argtypes = [ctypes.c_void_p]
        x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x11.XFree.argtypes = [ctypes.c_void_p]
        self.xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int,
                                                   ctypes.c_ulong]
        self.xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        self.display = x11.XOpenDisplay(None)
        if not self.display:
            sys.exit("cannot open the X display " + os.environ.get("DISPLAY", ""))
        self.root = x11.XDefaultRootWindow(self.display)

    def pixels(self, points):
        """Colours (0xRRGGBB) at screen points, read in one request of their bounding box."""
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        left, top = min(xs), min(ys)
        width, height = max(xs) - left + 1, max(ys) - top + 1
        image = self.x11.XGetImage(self.display, self.root, left, top, width, height, 0xFFFFFFFF, 2)
        if not image:
            return [None] * len(points)
        try:
            return [self.x11.XGetPixel(image, x - left, y - top) & 0xFFFFFF for x, y in points]
        finally:
            # XDestroyImage is a macro; the data and the structure are freed one by one.
            data = ctypes.cast(image + 16, ctypes.POINTER(ctypes.c_void_p))[0]
            self.x11.XFree(data)
            self.x11.XFree(image)

    def click(self, x, y):
        self.xtst.XTestFakeMotionEvent(self.display, -1, x, y, 0)
        self.xtst.XTestFakeButtonEvent(self.display, 1, 1, 0)
        self.xtst.XTestFakeButtonEvent(self.display, 1, 0, 0)
        self.x11.XFlush(self.display)

    def wait_for(self, points, colours, timeout, interval=0.001):
        """Seconds (monotonic clock) when every point shows its colour, or None after `timeout`."""
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            if self.pixels(points) == colours:
                return time.monotonic()
            time.sleep(interval)
        return None


def window_origin(pid, timeout=30.0):
    """Top-left corner on the screen of the visible 580 x 411 window of process `pid`, or None."""
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid)],
                               capture_output=True, text=True)
        for window in found.stdout.split():
            geometry = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window],
                                      capture_output=True, text=True).stdout
            values = dict(line.split("=", 1) for line in geometry.split() if "=" in line)
            if values.get("WIDTH") == "580" and values.get("HEIGHT") == "411":
                return int(values["X"]), int(values["Y"])
        time.sleep(0.05)
    return None


class Wizard:
    """One run of the wizard with a fresh settings store (language `language`)."""

    def __init__(self, program, language="EN"):
        self.program = program
        self.home = tempfile.mkdtemp(prefix="tessary-bench-")
        self.env = dict(os.environ)
        self.env.update({
            "HOME": self.home,
            "XDG_CONFIG_HOME": os.path.join(self.home, "config"),
            "XDG_DATA_HOME": os.path.join(self.home, "data"),
            "XDG_RUNTIME_DIR": os.path.join(self.home, "runtime"),
            "QT_QPA_PLATFORM": "xcb",
            "QT_QUICK_BACKEND": "software",
        })
        self.env.pop("TESSARY_REGISTRY", None)
        os.makedirs(self.env["XDG_RUNTIME_DIR"], mode=0o700)
        init = os.path.join(TOP, "scripts", "init-settings")
        subprocess.run(["/usr/bin/python3", init, "--language", language, "--pictures-dir",
                        os.path.join(self.home, "Pictures")],
                       env=self.env, check=True, stdout=subprocess.DEVNULL)
        self.process = None
        self.started = None

    def start(self):
        self.started = time.monotonic()
        self.process = subprocess.Popen([self.program], env=self.env, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        return self.started

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        shutil.rmtree(self.home, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()
