#!/usr/bin/python3
"""The whole wizard, used as a person uses it: the installed-style program runs as
a separate process in a real X11 window and is driven only with X input events
(xdotool: pointer moves, clicks, drags, keys) and read only from the screen
(ImageMagick's `import -window root`).

The walk: start page (open pictures), content page (the animated GIF picked by
clicking its thumbnail), picture editor (a quarter turn right, the selection made
smaller by its handle and dragged down), animation editor (the third frame
deleted, the next one's delay set with the duration slider), save page (a copy
saved through the save dialog: path typed, Enter), transfer page (sent to a
temporary phone storage folder). Then: the file on the phone is byte for byte the
saved copy, and Pillow decodes it to the source's frames less the deleted one,
128 x 128, turned and cut out as the selection on the screen showed, with the
new delay.

Usage: x11_flow_test.py PROGRAM [--shots FOLDER]
Run under an X server (ctest runs it under xvfb-run). Exit 0 passed, 1 failed,
77 skipped (no X display or no xdotool / import). With --shots, a picture of the
window at each step is kept in FOLDER (and the last screen when a step fails).
"""
import argparse
import io
import os
import shutil
import subprocess
import sys
import tempfile
import time

from PIL import Image, ImageSequence

SKIP = 77
HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(os.path.dirname(HERE))
SOURCE_GIF = os.path.join(HERE, "fixtures", "square_walks_eight_frames.gif")

# ---- Where things are, in window pixels (the window is 580 x 411) ----------
# Drawing areas from movies/README.md; buttons from the pages' QML.
LAYOUT = {
    # Every page: next's right end is at x 536 and it is at least 110 wide,
    # y 362..398; the spot is right of its text, on the button's face.
    "next": (481, 379),
    "next_face": (530, 379),
    "exit": (562, 13),
    # Start page: a click on the welcome skips it; below the phone, nothing
    # else answers there once the choices show.
    "skip_welcome": (60, 330),
    # The choice cards: "Open pictures" at (190, 212) 350 x 54, "New
    # animation" 62 below; the spots are inside the cards right of their texts.
    "choice_open": (365, 239),
    "choice_open_face": (520, 250),
    "choice_new_face": (520, 301),
    "choices": (190, 72, 350, 280),
    # Content page: the thumbnail list.
    "thumbnails": (302, 140, 250, 190),
    # Picture editor: the picture box (the picture is drawn at its top left),
    # and "turn right", the second of the turn buttons at (230 + 42, 121) 36 x 36.
    "picture_box": (33, 109, 182, 182),
    "rotate_right": (290, 139),
    # Animation editor: the selected frame's square, "next frame" (the fourth
    # button of the row centred on x 198 at y 222), "delete" (the last of the
    # row at y 302) and the duration track: x 133 + position, 0..120, at y 275.
    "selected_frame": (166, 127, 64, 64),
    "frame_next": (254, 240),
    "delete": (310, 320),
    "track_left": 133,
    "track_length": 120,
    "track_y": 275,
    # Save page: "save a copy" (centred on x 290 at y 300, 34 high) and the
    # orange square on the computer's screen in the illustration.
    "save_copy": (290, 317),
    "save_art": (142, 144),
    # Transfer page: the result badge at (200, 100) 44 x 44, left of its glyph.
    "result_badge": (204, 122),
}

WINDOW_SIZE = (580, 411)

# Colours of the movie's theme and of the pictures.
ACCENT = (255, 106, 61)
SELECT_SOFT = (227, 238, 251)
CARD = (255, 255, 255)
OK_GREEN = (46, 157, 91)
DANGER_RED = (216, 67, 59)
BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
# The selection frame is drawn inverted: over the blue of the first frame it
# shows this colour, over the white square black.
INVERTED_BLUE = (215, 165, 55)

# The source: eight 128 x 128 frames, frame k with the background below and
# lasting (k + 1) x 10 hundredths of a second.
SOURCE_FRAMES = 8
SOURCE_DELAYS = [(k + 1) * 10 for k in range(SOURCE_FRAMES)]


def background(k):
    return (40 + 20 * k, 90, 200 - 20 * k)


# The phone's delay limits for a full-screen animation (the default settings).
MIN_DELAY, MAX_DELAY = 10, 500

failures = []


def check(ok, what):
    print(("ok      " if ok else "FAILED  ") + what, flush=True)
    if not ok:
        failures.append(what)
    return ok


class StepFailed(Exception):
    pass


def near(colour, reference, tolerance):
    return max(abs(a - b) for a, b in zip(colour, reference)) <= tolerance


def slider_delay(position):
    """The delay a duration slider position stands for: the limits spread over the track."""
    return MIN_DELAY + (MAX_DELAY - MIN_DELAY) * position // LAYOUT["track_length"]


# ---- The screen and the input ----------------------------------------------

class Desktop:
    """The wizard's window on the X screen: pictures of it and X input events into it."""

    def __init__(self, process, shots):
        self.process = process
        self.pid = process.pid
        self.shots = shots
        self.origin = None
        self.shot_number = 0

    def find_window(self, timeout=60.0):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            self.still_running()
            for window, x, y, width, height in self.windows():
                if (width, height) == WINDOW_SIZE:
                    self.origin = (x, y)
                    return
            time.sleep(0.1)
        raise StepFailed("the wizard's 580 x 411 window never showed")

    def still_running(self):
        if self.process.poll() is not None:
            raise StepFailed(f"the wizard ended early, status {self.process.returncode}")

    def windows(self):
        """(id, x, y, width, height) of every visible window of the process."""
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(self.pid)],
                               capture_output=True, text=True).stdout.split()
        result = []
        for window in found:
            shell = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window],
                                   capture_output=True, text=True).stdout
            values = dict(line.split("=", 1) for line in shell.split() if "=" in line)
            try:
                result.append((window, int(values["X"]), int(values["Y"]), int(values["WIDTH"]),
                               int(values["HEIGHT"])))
            except (KeyError, ValueError):
                pass
        return result

    def grab(self, area=None):
        """The window as the screen shows it (RGB, window pixels), or `area` (x, y, width, height)
        of the screen."""
        x, y, width, height = area or (*self.origin, *WINDOW_SIZE)
        ppm = subprocess.run(["import", "-window", "root", "-crop", f"{width}x{height}+{x}+{y}", "-depth", "8",
                              "ppm:-"], capture_output=True).stdout
        return Image.open(io.BytesIO(ppm)).convert("RGB")

    def wait_for(self, what, state, timeout=30.0, still=None):
        """Polls the screen until `state(picture)` holds; returns that picture.

        With `still` (left, top, width, height), that part of the window must
        also show the same on two pictures in a row: a fade has ended."""
        end = time.monotonic() + timeout
        picture = last = None
        while time.monotonic() < end:
            self.still_running()
            picture = self.grab()
            if state(picture):
                if still is None:
                    return picture
                left, top, width, height = still
                area = picture.crop((left, top, left + width, top + height)).tobytes()
                if area == last:
                    return picture
                last = area
            else:
                last = None
            time.sleep(0.1)
        if picture is not None:
            self.keep(picture, "failed-" + what.replace(" ", "-"))
        raise StepFailed(f"the screen never showed {what} within {timeout:.0f} s")

    def keep(self, picture, name):
        if self.shots:
            self.shot_number += 1
            picture.save(os.path.join(self.shots, f"{self.shot_number:02d}-{name}.png"))

    def screen_point(self, point):
        return self.origin[0] + point[0], self.origin[1] + point[1]

    def move(self, point):
        x, y = self.screen_point(point)
        subprocess.run(["xdotool", "mousemove", str(x), str(y)], check=True)

    def click(self, point):
        self.move(point)
        subprocess.run(["xdotool", "click", "1"], check=True)

    def drag(self, start, end, steps=8):
        """Presses at `start`, moves to `end` in steps, releases there."""
        self.move(start)
        subprocess.run(["xdotool", "mousedown", "1"], check=True)
        for k in range(1, steps + 1):
            time.sleep(0.03)
            self.move((start[0] + (end[0] - start[0]) * k // steps, start[1] + (end[1] - start[1]) * k // steps))
        time.sleep(0.05)
        subprocess.run(["xdotool", "mouseup", "1"], check=True)

    def keys(self, *names):
        subprocess.run(["xdotool", "key", *names], check=True)

    def type(self, text):
        subprocess.run(["xdotool", "type", "--delay", "15", text], check=True)


# ---- What the screen shows ---------------------------------------------------

def pixel(picture, point):
    return picture.getpixel(point)


def next_enabled(picture):
    # Enabled: the accent colour (darker under the pointer); disabled it is faded.
    return pixel(picture, LAYOUT["next_face"])[1] < 120


def in_rect(rect):
    left, top, width, height = rect
    return [(x, y) for y in range(top, top + height) for x in range(left, left + width)]


def find_colour(picture, rect, colour, tolerance):
    """Bounding box (left, top, right, bottom; exclusive) of the pixels of `colour` in `rect`, and their count."""
    points = [p for p in in_rect(rect) if near(picture.getpixel(p), colour, tolerance)]
    if not points:
        return None, 0
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    return (min(xs), min(ys), max(xs) + 1, max(ys) + 1), len(points)


def shown_picture(picture):
    """The rectangle of the picture box that the picture covers (the box is black around it)."""
    box = LAYOUT["picture_box"]
    points = [p for p in in_rect(box) if picture.getpixel(p) != BLACK]
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    return min(xs), min(ys), max(xs) + 1, max(ys) + 1


def selection_on_screen(picture, shown):
    """The selection (left, top, right, bottom; exclusive) read from its inverted frame.

    Inside the picture the frame's dashes and handles are the only inverted
    pixels: blue turned to INVERTED_BLUE, white turned black. The handles reach a
    pixel past the corners, the dashes lie exactly on the edges, so the edges are
    read away from the corners."""
    left, top, right, bottom = shown
    points = [(x, y) for y in range(top, bottom) for x in range(left, right)
              if near(picture.getpixel((x, y)), INVERTED_BLUE, 30) or near(picture.getpixel((x, y)), BLACK, 30)]
    if not points:
        return None
    box_left = min(p[0] for p in points)
    box_right = max(p[0] for p in points)
    box_top = min(p[1] for p in points)
    box_bottom = max(p[1] for p in points)
    rows = [p for p in points if box_top + 12 <= p[1] <= box_bottom - 12]
    columns = [p for p in points if box_left + 12 <= p[0] <= box_right - 12]
    if not rows or not columns:
        return None
    return (min(p[0] for p in rows), min(p[1] for p in columns), max(p[0] for p in rows) + 1,
            max(p[1] for p in columns) + 1)


def knob_at(picture, position):
    """The duration cursor's round knob (white inside) sits at `position` of the track."""
    return near(pixel(picture, (LAYOUT["track_left"] + position, LAYOUT["track_y"])), CARD, 4)


def selected_frame_shows(k):
    left, top, width, height = LAYOUT["selected_frame"]
    # Bottom left of the square: the frame's background in every frame of the walk.
    return lambda picture: near(pixel(picture, (left + 4, top + height - 5)), background(k), 6)


# ---- The expected animation ---------------------------------------------------

def expected_frames(kept, crop):
    """The source frames `kept`, turned a quarter right, cut to `crop` (source pixels), 128 x 128."""
    source = [frame.convert("RGB") for frame in ImageSequence.Iterator(Image.open(SOURCE_GIF))]
    return [source[k].transpose(Image.Transpose.ROTATE_270).crop(crop).resize((128, 128), Image.Resampling.NEAREST)
            for k in kept]


def mismatch(a, b):
    """Share of the pixels of two pictures that differ by more than 12 in a channel.

    Consecutive source frames differ by 20 in their background, so a wrong
    frame (or a lighter one) differs almost everywhere; a frame not turned or
    not cut out differs on a fifth or more; the same frame cut a pixel off, or
    scaled with another filter, differs along the square's edges only (0.3 %
    and 2 % of the picture)."""
    pa, pb = a.load(), b.load()
    bad = sum(1 for y in range(a.height) for x in range(a.width) if not near(pa[x, y], pb[x, y], 12))
    return bad / (a.width * a.height)


def decode(path):
    """Frames (RGB) and their delays in hundredths, as Pillow reads the file."""
    image = Image.open(path)
    frames, delays = [], []
    for frame in ImageSequence.Iterator(image):
        frames.append(frame.convert("RGB"))
        delays.append(frame.info.get("duration", 0) // 10)
    return image.size, frames, delays


# ---- The walk -------------------------------------------------------------------

def make_fixture_folder(folder):
    """The animated GIF among a few still pictures, so that the right thumbnail must be found."""
    os.makedirs(folder)
    shutil.copy(SOURCE_GIF, folder)
    Image.new("RGB", (200, 150), (200, 60, 40)).save(os.path.join(folder, "apple.png"))
    Image.new("RGB", (150, 200), (60, 160, 60)).save(os.path.join(folder, "leaf.jpg"))
    Image.new("RGB", (100, 100), (230, 200, 40)).save(os.path.join(folder, "sun.bmp"))


def walk(desk, saved_copy):
    """Drives the wizard from its start to the sent animation; returns what the screen showed of the edit."""
    seen = {}
    # ---- Start page: the welcome, then the choices; open pictures.
    desk.find_window()
    desk.click(LAYOUT["skip_welcome"])
    shot = desk.wait_for("the start page's choices", lambda p: near(pixel(p, LAYOUT["choice_new_face"]), CARD, 3)
                         and near(pixel(p, LAYOUT["choice_open_face"]), SELECT_SOFT, 3), still=LAYOUT["choices"])
    desk.click(LAYOUT["choice_open"])
    desk.keep(shot, "start")
    desk.click(LAYOUT["next"])

    # ---- Content page: the GIF's thumbnail, found by its first frame's blue.
    def thumbnail(p):
        box, count = find_colour(p, LAYOUT["thumbnails"], background(0), 8)
        return box if count > 0.6 * 64 * 64 else None
    shot = desk.wait_for("the animated GIF's thumbnail", thumbnail)
    left, top, right, bottom = thumbnail(shot)
    desk.click(((left + right) // 2, (top + bottom) // 2))
    shot = desk.wait_for("next enabled for the picked GIF", next_enabled)
    desk.keep(shot, "content")
    desk.click(LAYOUT["next"])

    # ---- Picture editor: the first frame in the box; turn it right.
    box_left, box_top = LAYOUT["picture_box"][:2]
    # The white square: x 4..36, y 48..80 of the first frame; turned right, y 4..36, x 48..80.
    square_before = (box_left + 20, box_top + 64)
    square_turned = (box_left + 64, box_top + 20)
    def square_at(white, blue):
        return lambda p: near(pixel(p, white), WHITE, 8) and near(pixel(p, blue), background(0), 8)
    desk.wait_for("the first frame in the picture editor", square_at(square_before, square_turned))
    desk.click(LAYOUT["rotate_right"])
    shot = desk.wait_for("the picture turned right", square_at(square_turned, square_before))
    shown = shown_picture(shot)
    full = selection_on_screen(shot, shown)
    if full is None:
        raise StepFailed("no selection frame on the turned picture")

    # The bottom-right handle (4 pixels inside the corner) pulled 40 up and
    # left, then the smaller selection dragged 20 down by its middle.
    handle = (full[2] - 4, full[3] - 4)
    desk.drag(handle, (handle[0] - 40, handle[1] - 40))
    shot = desk.wait_for("a smaller selection",
                         lambda p: (selection_on_screen(p, shown) or full)[2] < full[2] - 20)
    smaller = selection_on_screen(shot, shown)
    middle = ((smaller[0] + smaller[2]) // 2, (smaller[1] + smaller[3]) // 2)
    desk.drag(middle, (middle[0], middle[1] + 20))
    shot = desk.wait_for("the selection dragged down",
                         lambda p: (selection_on_screen(p, shown) or smaller)[1] > smaller[1] + 10,
                         still=LAYOUT["picture_box"])
    selection = selection_on_screen(shot, shown)
    desk.keep(shot, "picture-editor")
    seen["selection"] = selection
    seen["shown"] = shown
    check(shown[2] - shown[0] == shown[3] - shown[1], f"the picture shows square on the screen: {shown}")
    check(smaller[2] - smaller[0] < full[2] - full[0] and selection[1] > full[1],
          f"the selection shrank and moved down: {full} -> {smaller} -> {selection}")
    desk.click(LAYOUT["next"])

    # ---- Animation editor: third frame selected and deleted; its follower's delay from the slider.
    desk.wait_for("the animation editor on the first frame", selected_frame_shows(0))
    desk.click(LAYOUT["frame_next"])
    desk.wait_for("the second frame selected", selected_frame_shows(1))
    desk.click(LAYOUT["frame_next"])
    desk.wait_for("the third frame selected", selected_frame_shows(2))
    desk.click(LAYOUT["delete"])
    desk.wait_for("the fourth frame selected in the third's place", selected_frame_shows(3))
    # The knob stands for the fourth frame's delay; dragged past the track's end
    # it stops at the end, then a click on the track puts it at 60.
    track_left, track_y, length = LAYOUT["track_left"], LAYOUT["track_y"], LAYOUT["track_length"]
    start = round((SOURCE_DELAYS[3] - MIN_DELAY) * length / (MAX_DELAY - MIN_DELAY))
    desk.drag((track_left + start, track_y), (track_left + length + 40, track_y))
    desk.wait_for("the duration knob at the track's end", lambda p: knob_at(p, length))
    seen["position"] = 60
    desk.click((track_left + seen["position"], track_y))
    shot = desk.wait_for("the duration knob at 60",
                         lambda p: knob_at(p, seen["position"]) and not knob_at(p, length))
    desk.keep(shot, "animation-editor")
    desk.click(LAYOUT["next"])

    # ---- Save page: a copy through the save dialog, its path typed.
    shot = desk.wait_for("the save page", lambda p: near(pixel(p, LAYOUT["save_art"]), ACCENT, 8))
    desk.keep(shot, "save")
    desk.click(LAYOUT["save_copy"])
    dialog = None
    end = time.monotonic() + 30
    while dialog is None and time.monotonic() < end:
        dialog = next((w for w in desk.windows() if (w[3], w[4]) != WINDOW_SIZE), None)
        time.sleep(0.1)
    if dialog is None:
        raise StepFailed("no save dialog")
    # Typed once the dialog shows the same twice in a row: drawn and ready. Keys
    # go to the window under the pointer when no window manager gives focus.
    area = dialog[1:]
    subprocess.run(["xdotool", "mousemove", str(area[0] + area[2] // 2), str(area[1] + area[3] // 2)], check=True)
    last = None
    end = time.monotonic() + 30
    while time.monotonic() < end:
        picture = desk.grab(area).tobytes()
        if picture == last and picture.count(0) < len(picture) // 2:
            break
        last = picture
        time.sleep(0.1)
    desk.keys("ctrl+a")
    desk.type(saved_copy)
    desk.keys("Return")
    # The copy is made once the dialog has closed; done when its size stays put.
    sizes = []
    end = time.monotonic() + 30
    while time.monotonic() < end and not (len(sizes) >= 2 and sizes[-1] == sizes[-2] > 0):
        dialog_open = any((w[3], w[4]) != WINDOW_SIZE for w in desk.windows())
        sizes.append(-1 if dialog_open or not os.path.isfile(saved_copy) else os.path.getsize(saved_copy))
        time.sleep(0.1)
    if not os.path.isfile(saved_copy):
        raise StepFailed(f"the save dialog did not save {saved_copy}")

    # ---- Transfer page: sent; the badge turns green (red on a failure).
    desk.click(LAYOUT["next"])
    shot = desk.wait_for("the transfer's result", lambda p: near(pixel(p, LAYOUT["result_badge"]), OK_GREEN, 10)
                         or near(pixel(p, LAYOUT["result_badge"]), DANGER_RED, 10), timeout=60)
    desk.keep(shot, "transfer")
    check(near(pixel(shot, LAYOUT["result_badge"]), OK_GREEN, 10), "the transfer page reports success")
    return seen


def check_result(phone, saved_copy, seen):
    sent = [os.path.join(root, name) for root, _, names in os.walk(phone) for name in names]
    if not check(len(sent) == 1 and sent[0].endswith(".gif") and not os.path.basename(sent[0]).startswith("."),
                 f"one GIF on the phone: {sent}"):
        return
    with open(sent[0], "rb") as a, open(saved_copy, "rb") as b:
        check(a.read() == b.read(), f"{sent[0]} is byte for byte the saved copy")

    size, frames, delays = decode(sent[0])
    deleted = 2
    kept = [k for k in range(SOURCE_FRAMES) if k != deleted]
    delay = slider_delay(seen["position"])
    wanted = [delay if k == deleted + 1 else SOURCE_DELAYS[k] for k in kept]
    check(size == (128, 128), f"size: have {size}, want (128, 128)")
    check(delays == wanted, f"delays: have {delays}, want {wanted}")
    # The selection in source pixels: the picture is shown unscaled or scaled
    # to the box; the turn keeps the source's 128 x 128.
    left, top, right, bottom = seen["selection"]
    s_left, s_top, s_right, _ = seen["shown"]
    scale = 128 / (s_right - s_left)
    crop = tuple(round(v) for v in ((left - s_left) * scale, (top - s_top) * scale,
                                    (right - s_left) * scale, (bottom - s_top) * scale))
    if len(frames) == len(kept):
        shares = [mismatch(got, want) for got, want in zip(frames, expected_frames(kept, crop))]
        check(max(shares) < 0.05, "every frame turned and cut to " + str(crop) + ": differing shares "
              + " ".join(f"{s:.3f}" for s in shares))
    else:
        check(False, f"frames: have {len(frames)}, want {len(kept)}")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("program")
    parser.add_argument("--shots")
    args = parser.parse_args()
    if not os.environ.get("DISPLAY"):
        print("skipped: no X display (run under xvfb-run)")
        return SKIP
    for tool in ("xdotool", "import"):
        if not shutil.which(tool):
            print(f"skipped: {tool} is missing (scripts/bootstrap installs it)")
            return SKIP
    if args.shots:
        shutil.rmtree(args.shots, ignore_errors=True)
        os.makedirs(args.shots)

    work = tempfile.mkdtemp(prefix="tessary-x11-flow-")
    home = os.path.join(work, "home")
    pictures = os.path.join(work, "pictures")
    phone = os.path.join(work, "phone")
    saved_copy = os.path.join(work, "saved", "walk copy.gif")
    os.makedirs(os.path.join(work, "saved"))
    os.makedirs(phone)
    os.makedirs(os.path.join(work, "runtime"), mode=0o700)
    make_fixture_folder(pictures)
    env = {k: v for k, v in os.environ.items() if not k.startswith("TESSARY_")}
    env.update({
        "HOME": home,
        "XDG_CONFIG_HOME": os.path.join(home, "config"),
        "XDG_DATA_HOME": os.path.join(home, "data"),
        "XDG_RUNTIME_DIR": os.path.join(work, "runtime"),
        "TESSARY_REGISTRY": os.path.join(work, "registry.reg"),
        "TESSARY_RUNTIME_DIR": os.path.join(work, "runtime"),
        "TESSARY_PHONE_STORAGE": phone,
        "QT_QPA_PLATFORM": "xcb",
        "QT_QUICK_BACKEND": "software",
    })
    # The settings store of a fresh user whose pictures folder is the fixtures:
    # browsing starts there ("BrowseAnim").
    subprocess.run(["/usr/bin/python3", os.path.join(TOP, "scripts", "init-settings"), "--language", "EN",
                    "--pictures-dir", pictures], env=env, check=True, stdout=subprocess.DEVNULL)

    started = time.monotonic()
    log = open(os.path.join(work, "wizard.log"), "w")
    wizard = subprocess.Popen([args.program], env=env, stdout=log, stderr=subprocess.STDOUT)
    desk = Desktop(wizard, args.shots)
    try:
        seen = walk(desk, saved_copy)
        check_result(phone, saved_copy, seen)
        # The exit button ends the program.
        desk.click(LAYOUT["exit"])
        try:
            check(wizard.wait(timeout=15) == 0, "the exit button ends the wizard with status 0")
        except subprocess.TimeoutExpired:
            check(False, "the exit button ends the wizard")
    except StepFailed as failure:
        check(False, str(failure))
    finally:
        if wizard.poll() is None:
            wizard.terminate()
            try:
                wizard.wait(timeout=10)
            except subprocess.TimeoutExpired:
                wizard.kill()
                wizard.wait()
        log.close()
        with open(os.path.join(work, "wizard.log")) as text:
            output = text.read().strip()
        if output and failures:
            print("the wizard's output:\n" + output)
    print(f"walk took {time.monotonic() - started:.1f} s; {len(failures)} failed checks")
    if not failures:
        shutil.rmtree(work, ignore_errors=True)
    else:
        print(f"kept {work}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
