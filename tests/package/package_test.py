#!/usr/bin/python3
"""Builds the Debian package, unpacks it with `dpkg -x` into a temporary root and
runs what it installed from there, as a user on a fresh account would.

Usage: package_test.py BUILD_DIR SOURCE_DIR
Exit 0 passed, 1 failed, 77 skipped (no dpkg-deb, or no X server tools for the
wizard's part). The screenshot of the installed wizard's start page is kept in
BUILD_DIR/test-artifacts/package-start-page.png.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

from PIL import Image

SKIP = 77
failures = []


def check(ok, what):
    print(("ok      " if ok else "FAILED  ") + what)
    if not ok:
        failures.append(what)
    return ok


def run(cmd, **kw):
    return subprocess.run(cmd, capture_output=True, text=True, **kw)


def build_package(build, work):
    made = run(["cpack", "--config", os.path.join(build, "CPackConfig.cmake"), "-B", work])
    debs = [f for f in os.listdir(work) if f.endswith(".deb")]
    if made.returncode != 0 or len(debs) != 1:
        sys.exit(f"cpack failed:\n{made.stdout}\n{made.stderr}")
    return os.path.join(work, debs[0])


# What the package must hold: path below the root, and whether it must be executable.
LAYOUT = [
    ("usr/bin/tessary-create-animation", True),
    ("usr/bin/tessary-anim", True),
    ("usr/bin/tessary-link", True),
    ("usr/libexec/tessary/init-settings", True),
    ("usr/share/tessary/default_settings.tsv", False),
    ("usr/share/tessary/movies/common/Movie.qml", False),
    ("usr/share/applications/tessary-create-animation.desktop", False),
    ("usr/share/icons/hicolor/16x16/apps/tessary-create-animation.png", False),
    ("usr/share/icons/hicolor/48x48/apps/tessary-create-animation.png", False),
    ("usr/share/icons/hicolor/256x256/apps/tessary-create-animation.png", False),
    ("usr/share/man/man1/tessary-anim.1.gz", False),
    ("usr/share/man/man1/tessary-create-animation.1.gz", False),
    ("usr/share/man/man1/tessary-link.1.gz", False),
    ("usr/share/doc/tessary/copyright", False),
    ("usr/share/doc/tessary/changelog.gz", False),
] + [(f"usr/share/tessary/movies/{code}/Plendix.qml", False)
     for code in ("EN", "FR", "DE", "SP", "IT", "PT", "NL", "PL", "CZ", "RU", "CHS", "CHT")]


def check_package(deb, root):
    fields = run(["dpkg-deb", "--field", deb, "Package", "Version", "Architecture", "Depends"]).stdout
    check("Package: tessary" in fields, "the package is called tessary")
    # dpkg-shlibdeps named the libraries; the modules and fonts are named by hand.
    for dependency in ("libqt6quickwidgets6", "libpng16-16", "qml6-module-qtquick-shapes", "fonts-noto-cjk",
                       "python3"):
        check(dependency in fields, f"it depends on {dependency}")
    for path, executable in LAYOUT:
        full = os.path.join(root, path)
        check(os.path.isfile(full) and (not executable or os.access(full, os.X_OK)),
              f"it installs {path}" + (" (executable)" if executable else ""))
    for size in (16, 48, 256):
        icon = os.path.join(root, f"usr/share/icons/hicolor/{size}x{size}/apps/tessary-create-animation.png")
        if os.path.isfile(icon):
            check(Image.open(icon).size == (size, size), f"the {size} px icon is {size} x {size}")
    desktop = os.path.join(root, "usr/share/applications/tessary-create-animation.desktop")
    if os.path.isfile(desktop):
        entry = open(desktop, encoding="utf-8").read().splitlines()
        for line in ("Exec=tessary-create-animation %f", "Icon=tessary-create-animation", "Categories=Graphics;",
                     "MimeType=image/gif;image/png;image/jpeg;image/bmp;"):
            check(line in entry, f"the desktop entry has {line}")
    if shutil.which("lintian"):
        report = run(["lintian", "--tag-display-limit", "0", deb])
        errors = [line for line in report.stdout.splitlines() if line.startswith("E: ")]
        check(not errors, "lintian finds no error" + ("".join("\n    " + e for e in errors)))
    else:
        print("note    lintian is not installed: the package was not linted")


def check_batch_tool(root, source):
    sample = os.path.join(source, "resources", "samples", "bouncing-ball.gif")
    with tempfile.TemporaryDirectory() as out:
        target = os.path.join(out, "phone.gif")
        made = run([os.path.join(root, "usr/bin/tessary-anim"), "make", sample, "-o", target, "--size", "64"])
        check(made.returncode == 0, "the installed tessary-anim makes a phone animation of the sample "
              + made.stderr.strip())
        if os.path.isfile(target):
            with Image.open(target) as gif, Image.open(sample) as original:
                check(gif.format == "GIF" and gif.size == (64, 64), f"it is a 64 x 64 GIF (have {gif.size})")
                check(getattr(gif, "n_frames", 1) == getattr(original, "n_frames", 1),
                      "it has every frame of the sample")


def window_of(pid, timeout):
    """Geometry (x, y, width, height) of the process's first visible window, or None."""
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        for window in run(["xdotool", "search", "--onlyvisible", "--pid", str(pid)]).stdout.split():
            shell = run(["xdotool", "getwindowgeometry", "--shell", window]).stdout
            values = dict(line.split("=", 1) for line in shell.split() if "=" in line)
            if "WIDTH" in values:
                return tuple(int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))
        time.sleep(0.1)
    return None


def near(colour, want, tolerance=16):
    return all(abs(a - b) <= tolerance for a, b in zip(colour, want))


def check_wizard(root, artifacts):
    """The installed wizard on a fresh account: it writes the store, plays its movie, exits on "exit"."""
    home = tempfile.mkdtemp(prefix="tessary-package-home-")
    env = {k: v for k, v in os.environ.items() if not k.startswith("TESSARY_")}
    env.update({"HOME": home, "XDG_CONFIG_HOME": os.path.join(home, "config"),
                "XDG_DATA_HOME": os.path.join(home, "data"), "XDG_RUNTIME_DIR": os.path.join(home, "runtime"),
                "QT_QPA_PLATFORM": "xcb", "QT_QUICK_BACKEND": "software"})
    os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700)
    program = os.path.join(root, "usr/bin/tessary-create-animation")
    wizard = subprocess.Popen([program], env=env, cwd=home, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              text=True)
    try:
        geometry = window_of(wizard.pid, 30)
        if not check(geometry is not None and geometry[2:] == (580, 411), "the wizard shows its 580 x 411 frame"):
            return
        store = os.path.join(env["XDG_CONFIG_HOME"], "tessary", "registry.reg")
        check(os.path.isfile(store) and '"Language"="EN"' in open(store, encoding="utf-8").read(),
              "the first start wrote the user's settings store from the installed table")
        check(os.path.isdir(os.path.join(env["XDG_DATA_HOME"], "tessary", "temp")),
              "and the user's installation folder with its temp folder")
        time.sleep(5)  # past the welcome
        shot = os.path.join(artifacts, "package-start-page.png")
        x, y, width, height = geometry
        run(["import", "-window", "root", "-crop", f"{width}x{height}+{x}+{y}", "+repage", shot])
        with Image.open(shot) as picture:
            page = picture.convert("RGB")
            # The English movie draws the title strip's gradient and the page's ground.
            check(near(page.getpixel((300, 6)), (0x23, 0x5e, 0xb1)), "the movie's title strip shows "
                  f"(have {page.getpixel((300, 6))})")
            check(near(page.getpixel((20, 300)), (0xf2, 0xf5, 0xfa), 4), "the movie's page ground shows "
                  f"(have {page.getpixel((20, 300))})")
        run(["xdotool", "mousemove", str(x + 562), str(y + 13), "click", "1"])
        try:
            code = wizard.wait(timeout=15)
            check(code == 0, f"the movie's exit button ends the wizard with status 0 (have {code})")
        except subprocess.TimeoutExpired:
            check(False, "the movie's exit button ends the wizard")
    finally:
        if wizard.poll() is None:
            wizard.kill()
        out, err = wizard.communicate()
        check("movie " not in err and "registry error" not in (out + err).lower(),
              "the wizard reports no missing movie and no registry error" + ("\n" + err.strip() if err else ""))
        shutil.rmtree(home, ignore_errors=True)


def main():
    build, source = sys.argv[1:3]
    if not shutil.which("dpkg-deb") or not shutil.which("cpack"):
        print("skipped: dpkg-deb or cpack is missing, the Debian package cannot be built here")
        return SKIP
    with tempfile.TemporaryDirectory(prefix="tessary-package-") as work:
        deb = build_package(build, work)
        root = os.path.join(work, "root")
        subprocess.run(["dpkg", "-x", deb, root], check=True)
        check_package(deb, root)
        check_batch_tool(root, source)
        if os.environ.get("DISPLAY") and shutil.which("xdotool") and shutil.which("import"):
            artifacts = os.path.join(build, "test-artifacts")
            os.makedirs(artifacts, exist_ok=True)
            check_wizard(root, artifacts)
        else:
            print("note    no X display (run under xvfb-run) or no xdotool/import: the installed wizard was not run")
    print(f"package: {len(failures)} failed checks" + "".join("\n    " + f for f in failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
