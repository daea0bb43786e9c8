"""The installed game, as a user meets it: installs the Debian package, checks
the menu entry, icon and font link, starts the menu entry's command from an
empty directory under Xvfb, waits for the frame statistics, closes the window
as a window manager does and expects exit 0; then removes the package and
checks that none of its files is left. Needs root; runs outside ctest."""

import argparse
import os
import subprocess
import sys
import tempfile
import types

import harness
from harness import check

PACKAGE = "flagstorm"
LAUNCHER = "/usr/games/flagstorm"
DESKTOP_ENTRY = "/usr/share/applications/flagstorm.desktop"
ICON = "/usr/share/icons/hicolor/256x256/apps/flagstorm.png"
FONT = "/usr/share/games/flagstorm/resources/fonts/DroidSans-Bold.ttf"


def installed():
    result = subprocess.run(["dpkg-query", "-W", "-f=${Status}", PACKAGE], capture_output=True, text=True)
    return "install ok installed" in result.stdout


def package_paths(deb):
    """Every path the package holds, from its archive listing."""
    listing = subprocess.run(["dpkg-deb", "--fsys-tarfile", deb], capture_output=True, check=True).stdout
    names = subprocess.run(["tar", "-t"], input=listing, capture_output=True, check=True).stdout.decode()
    return ["/" + name.lstrip("./").rstrip("/") for name in names.splitlines() if name.strip("./")]


def desktop_entry():
    entry = {}
    with open(DESKTOP_ENTRY, encoding="utf-8") as f:
        for line in f:
            key, _, value = line.strip().partition("=")
            if value:
                entry[key] = value
    return entry


def play(closer, work):
    entry = desktop_entry()
    check("Game" in entry.get("Categories", "").split(";"), f"the menu entry is not in Game: {entry}")
    check(entry.get("Exec") == LAUNCHER, f"the menu entry starts {entry.get('Exec')!r}")
    check(entry.get("Icon") == "flagstorm", f"the menu entry's icon is {entry.get('Icon')!r}")
    size = subprocess.run(["identify", "-format", "%w %h %m", ICON], capture_output=True, text=True, check=True)
    check(size.stdout == "256 256 PNG", f"the icon is {size.stdout!r}")
    check(os.path.islink(FONT) and os.path.isfile(FONT), "the font is not a working link")

    display = harness.Display()
    game = harness.Game(types.SimpleNamespace(binary=entry["Exec"], closer=closer), display, work)
    try:
        game.wait_for(r"Statistics for last 1000 frames: ", timeout=600)
        code = game.close()
        log = game.log()
        check(code == 0, f"exit code {code} after closing the window:\n" + log[-3000:])
        for severity in ("warning", "error", "fatal"):
            check(not harness.record_lines(log, severity), f"{severity} records in an installed run:\n" + log[-3000:])
        check(os.listdir(work) == ["game.log"], f"files written in the working directory: {os.listdir(work)}")
    finally:
        game.kill()
        display.stop()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--deb", required=True)
    parser.add_argument("--closer-source", required=True)
    args = parser.parse_args()
    try:
        check(os.geteuid() == 0, "installing the package needs root")
        with tempfile.TemporaryDirectory(prefix="flagstorm-package-") as scratch:
            closer = os.path.join(scratch, "close_window")
            subprocess.run(["cc", "-o", closer, args.closer_source, "-lX11"], check=True)
            if installed():
                subprocess.run(["dpkg", "-r", PACKAGE], check=True, stdout=subprocess.DEVNULL)
            paths = package_paths(args.deb)
            subprocess.run(["dpkg", "-i", args.deb], check=True, stdout=subprocess.DEVNULL)
            try:
                work = os.path.join(scratch, "empty")
                os.mkdir(work)
                play(closer, work)
            finally:
                subprocess.run(["dpkg", "-r", PACKAGE], check=True, stdout=subprocess.DEVNULL)
            check(not installed(), "the package is still installed")
            # Shared directories (/usr/games, /usr/share/applications) stay;
            # every file, link and directory of the package's own must go.
            left = [path for path in paths if os.path.lexists(path)
                    and (not os.path.isdir(path) or os.path.islink(path) or PACKAGE in os.path.basename(path))]
            check(not left, "left after removal: " + ", ".join(left))
    except (harness.Failure, subprocess.CalledProcessError) as failure:
        print("FAILED:", failure)
        sys.exit(1)
    print("passed")


if __name__ == "__main__":
    main()
