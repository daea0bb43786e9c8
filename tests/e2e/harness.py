"""Drives the real flagstorm binary the way a player would: its own Xvfb
display, a working directory with data/ and resources/, xdotool input,
screenshots and a WM_DELETE_WINDOW close."""

import argparse
import os
import re
import shutil
import subprocess
import sys
import time

import driver_leaks

WIDTH, HEIGHT = 1280, 720
# A sanitizer build runs several times slower: every wait stretches with it.
# FLAGSTORM_E2E_SLOWDOWN stretches them further on a loaded machine.
SLOWDOWN = (5.0 if "ASAN_OPTIONS" in os.environ else 1.0) * float(os.environ.get("FLAGSTORM_E2E_SLOWDOWN", "1"))


def arguments():
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", required=True)
    parser.add_argument("--closer", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--work", required=True)
    return parser.parse_args()


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


class Display:
    """A private Xvfb server, started on the first free display number."""

    def __init__(self):
        read_fd, write_fd = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", f"{WIDTH}x{HEIGHT}x24", "-nolisten", "tcp"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        number = b""
        with os.fdopen(read_fd, "rb") as pipe:
            while not number.endswith(b"\n"):
                chunk = pipe.read(1)
                if not chunk:
                    break
                number += chunk
        check(number.strip(), "Xvfb did not start")
        self.name = ":" + number.decode().strip()

    def env(self):
        env = dict(os.environ)
        env["DISPLAY"] = self.name
        return env

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=10)


def prepare_tree(args, name, data_overrides=None, drop_files=()):
    """Copies data/ and resources/ into a fresh directory; data_overrides maps
    a key to a new value text, written in a file read before the others would
    not be reliable, so the key is replaced in place in the file defining it."""
    work = os.path.join(args.work, name)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    for tree in ("data", "resources"):
        source = os.path.join(args.source, tree)
        if os.path.isdir(source):
            shutil.copytree(source, os.path.join(work, tree))
    for key, value in (data_overrides or {}).items():
        replaced = False
        for root, _, files in os.walk(os.path.join(work, "data")):
            for file in files:
                if not file.endswith(".dat"):
                    continue
                path = os.path.join(root, file)
                text = open(path, encoding="latin-1").read()
                pattern = re.compile(r"(^|\s)(" + re.escape(key) + r")(\s*=\s*)(\S+)", re.M)
                new_text, count = pattern.subn(lambda m: m.group(1) + m.group(2) + m.group(3) + value, text)
                if count:
                    open(path, "w", encoding="latin-1").write(new_text)
                    replaced = True
        check(replaced, f"key {key} not found in data/")
    for relative in drop_files:
        os.remove(os.path.join(work, relative))
    return work


class Game:
    def __init__(self, args, display, work):
        self.args = args
        self.display = display
        self.work = work
        self.log_path = os.path.join(work, "game.log")
        self.log_file = open(self.log_path, "wb")
        self.process = subprocess.Popen([os.path.abspath(args.binary)], cwd=work,
                                        env=driver_leaks.own_status_environment(display.env()),
                                        stdout=self.log_file, stderr=subprocess.STDOUT)
        self.window = None

    def log(self):
        with open(self.log_path, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def wait_for(self, pattern, timeout=300.0, count=1):
        """Waits until the log holds `count` matches of the regular expression."""
        deadline = time.time() + timeout * SLOWDOWN
        while time.time() < deadline:
            if len(re.findall(pattern, self.log())) >= count:
                return
            if self.process.poll() is not None:
                raise Failure(f"game exited with {self.process.returncode} while waiting for {pattern!r}\n"
                              + self.log()[-4000:])
            time.sleep(0.2)
        raise Failure(f"timed out waiting for {pattern!r}\n" + self.log()[-4000:])

    def window_id(self):
        if self.window is None:
            deadline = time.time() + 60
            while time.time() < deadline:
                result = subprocess.run(["xdotool", "search", "--name", "Flagstorm"], env=self.display.env(),
                                        capture_output=True, text=True)
                ids = result.stdout.split()
                if ids:
                    self.window = ids[0]
                    break
                time.sleep(0.3)
            check(self.window is not None, "no game window found")
        return self.window

    def xdotool(self, *command):
        subprocess.run(["xdotool", *command], env=self.display.env(), check=True)

    def key(self, name):
        self.xdotool("key", "--window", self.window_id(), name)

    def screenshot(self, name):
        path = os.path.join(self.work, name + ".png")
        subprocess.run(["import", "-window", "root", path], env=self.display.env(), check=True)
        return path

    def close(self, timeout=60):
        subprocess.run([self.args.closer, self.window_id()], env=self.display.env(), check=True)
        return self.wait_exit(timeout)

    def wait_exit(self, timeout=60):
        """The exit status, with the graphics driver's own leaks forgiven in
        sanitizer builds."""
        try:
            code = self.process.wait(timeout=timeout * SLOWDOWN)
        finally:
            self.log_file.close()
        return driver_leaks.judged(code, self.log())

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()


def pixels(path):
    """Reads a screenshot as rows of (r, g, b) through ImageMagick's PPM output."""
    data = subprocess.run(["convert", path, "ppm:-"], capture_output=True, check=True).stdout
    parts = data.split(maxsplit=4)
    width, height = int(parts[1]), int(parts[2])
    raw = parts[4]
    return width, height, raw


def pixel(image, x, y):
    width, _, raw = image
    offset = (y * width + x) * 3
    return raw[offset], raw[offset + 1], raw[offset + 2]


def flag_notifications(log):
    """The flag-event notifications the HUD showed, in order: the game logs
    each at info as "Flag event: " followed by the text on screen."""
    return re.findall(r"Flag event: ([^\r\n]*)", log)


def check_flag_notifications(log, expected):
    """Checks that the flag notifications include the expected texts in that
    order (others may come between them)."""
    shown = flag_notifications(log)
    position = 0
    for text in expected:
        try:
            position = shown.index(text, position) + 1
        except ValueError:
            raise Failure(f"flag notification {text!r} missing or out of order; shown: {shown}")


def record_lines(log, severity):
    """Log lines of one severity as printed by Boost.Log's default sink."""
    return [line for line in log.splitlines() if f"[{severity}]" in line]


def run(test):
    args = arguments()
    os.makedirs(args.work, exist_ok=True)
    display = Display()
    try:
        test(args, display)
    except Failure as failure:
        print("FAILED:", failure)
        sys.exit(1)
    finally:
        display.stop()
    print("passed")
