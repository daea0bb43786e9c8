"""A long play under random real input: held left clicks all over the window,
skill casts, the function keys, the free camera with the arrows and the right
mouse button, window resizes down to 1 x 1 and back, minimise and restore;
then an orderly close. It holds when the game exits 0 with no sanitizer report
and no error record and, with --check-memory, when its resident memory in the
last minute stays within 10 % of the second minute's."""

import argparse
import os
import random
import re
import subprocess
import sys
import threading
import time

import driver_leaks
import harness
from harness import check

SANITIZER_REPORT = re.compile(r"ERROR: (AddressSanitizer|LeakSanitizer)|runtime error:|SUMMARY: \w+Sanitizer")
FUNCTION_KEYS = ("F1", "F2", "F3", "F4", "F8", "F9")
SKILL_KEYS = ("q", "w", "e", "r")
ARROWS = ("Up", "Down", "Left", "Right")


def arguments():
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", required=True)
    parser.add_argument("--closer", required=True)
    parser.add_argument("--window-state", required=True, help="the minimise / restore helper")
    parser.add_argument("--source", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--seconds", type=float, default=1800.0)
    parser.add_argument("--seed", type=int, default=None)
    parser.add_argument("--label", default="soak")
    parser.add_argument("--check-memory", action="store_true",
                        help="hold the resident memory of the last minute to the second minute's (normal builds)")
    return parser.parse_args()


def resident_kib(pid):
    try:
        with open(f"/proc/{pid}/status") as status:
            for line in status:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


class MemoryWatch(threading.Thread):
    """Samples the game's resident set size once a second."""

    def __init__(self, pid):
        super().__init__(daemon=True)
        self.pid = pid
        self.start_time = time.time()
        self.samples = []
        self.stopped = threading.Event()

    def run(self):
        while not self.stopped.wait(1.0):
            rss = resident_kib(self.pid)
            if rss is not None:
                self.samples.append((time.time() - self.start_time, rss))

    def window(self, begin, end):
        return [rss for t, rss in self.samples if begin <= t < end]


class Player:
    """Random input of every kind a player gives, with the window's size kept
    track of so that the cursor stays inside it."""

    def __init__(self, game, window_state, rng):
        self.game = game
        self.window_state = window_state
        self.rng = rng
        self.width, self.height = harness.WIDTH, harness.HEIGHT
        self.actions = 0

    def window(self):
        return self.game.window_id()

    def point(self):
        return str(self.rng.randrange(max(self.width, 1))), str(self.rng.randrange(max(self.height, 1)))

    def move_cursor(self):
        self.game.xdotool("mousemove", "--window", self.window(), *self.point())

    def hold_left(self):
        self.move_cursor()
        self.game.xdotool("mousedown", "1")
        time.sleep(self.rng.uniform(0.05, 0.6))
        self.game.xdotool("mouseup", "1")

    def cast(self):
        self.move_cursor()
        self.game.key(self.rng.choice(SKILL_KEYS))
        # Past the wind-up, so that the cast is released rather than replaced.
        time.sleep(self.rng.uniform(0.3, 0.7))

    def function_key(self):
        self.game.key(self.rng.choice(FUNCTION_KEYS))
        time.sleep(self.rng.uniform(0.05, 0.5))

    def free_camera(self):
        self.game.key("0")
        for _ in range(self.rng.randint(1, 4)):
            if self.rng.random() < 0.5:
                arrow = self.rng.choice(ARROWS)
                self.game.xdotool("keydown", "--window", self.window(), arrow)
                time.sleep(self.rng.uniform(0.1, 1.0))
                self.game.xdotool("keyup", "--window", self.window(), arrow)
            else:
                self.move_cursor()
                self.game.xdotool("mousedown", "3")
                for _ in range(self.rng.randint(1, 5)):
                    time.sleep(0.05)
                    self.move_cursor()
                self.game.xdotool("mouseup", "3")
        if self.rng.random() < 0.7:
            self.game.key("0")

    def resize(self):
        self.width, self.height = self.rng.choice(((1, 1), (1, 1), (2, 3), (64, 48),
                                                   (self.rng.randint(1, 1920), self.rng.randint(1, 1080))))
        self.game.xdotool("windowsize", self.window(), str(self.width), str(self.height))
        time.sleep(self.rng.uniform(0.1, 1.5))
        if self.rng.random() < 0.2:
            self.hold_left()
        self.restore_size()

    def restore_size(self):
        self.width, self.height = harness.WIDTH, harness.HEIGHT
        self.game.xdotool("windowsize", self.window(), str(self.width), str(self.height))

    def minimise(self):
        subprocess.run([self.window_state, self.window(), "minimise"], env=self.game.display.env(), check=True)
        time.sleep(self.rng.uniform(0.2, 2.0))
        if self.rng.random() < 0.3:
            self.game.key(self.rng.choice(SKILL_KEYS + FUNCTION_KEYS))
        subprocess.run([self.window_state, self.window(), "restore"], env=self.game.display.env(), check=True)

    def act(self):
        action = self.rng.choices(
            (self.hold_left, self.cast, self.function_key, self.free_camera, self.resize, self.minimise),
            weights=(30, 22, 10, 18, 12, 8))[0]
        action()
        self.actions += 1


def mebibytes(kib):
    return f"{kib / 1024:.1f} MiB"


def soak(args, display):
    seed = args.seed if args.seed is not None else int(time.time())
    print(f"{args.label}: {args.seconds:.0f} s of random input, seed {seed}", flush=True)
    rng = random.Random(seed)
    work = harness.prepare_tree(args, args.label)
    game = harness.Game(args, display, work)
    try:
        game.window_id()
        watch = MemoryWatch(game.process.pid)
        watch.start()
        player = Player(game, args.window_state, rng)
        begin = time.time()
        while time.time() - begin < args.seconds:
            if game.process.poll() is not None:
                raise harness.Failure(f"game exited with {game.process.returncode} during the soak:\n"
                                      + game.log()[-6000:])
            player.act()
        player.restore_size()
        elapsed = time.time() - begin
        watch.stopped.set()
        watch.join()
        code = game.close(timeout=300)
        log = game.log()
        reported = SANITIZER_REPORT.search(log) is not None
        check(not reported or driver_leaks.only_driver_leaks(log), "sanitizer reports:\n" + log[-8000:])
        check(code == 0, f"exit code {code} after closing the window:\n" + log[-6000:])
        for severity in ("error", "fatal"):
            lines = harness.record_lines(log, severity)
            check(not lines, f"{severity} records during the soak:\n" + "\n".join(lines[:40]))
        warnings = harness.record_lines(log, "warning")
        frames = 1000 * len(re.findall(r"Statistics for last 1000 frames: ", log))

        # The second minute against the last one; a soak shorter than three
        # minutes compares its middle third with its last third instead.
        length = watch.samples[-1][0] if watch.samples else 0.0
        if length >= 180:
            reference, reference_name = watch.window(60, 120), "minute 2"
        else:
            reference, reference_name = watch.window(length / 3, 2 * length / 3), "middle third"
        last = watch.window(length - min(60, length / 3), length + 1)
        check(reference and last, "too few memory samples")
        reference_peak, last_peak = max(reference), max(last)
        growth = last_peak / reference_peak
        print(f"{args.label}: {elapsed:.0f} s, {player.actions} input actions, at least {frames} frames, "
              f"{len(warnings)} warning records, exit {code}, "
              + ("only the graphics driver's leaks" if reported else "no sanitizer report"), flush=True)
        print(f"{args.label}: resident memory peak at {reference_name} {mebibytes(reference_peak)}, "
              f"in the last minute {mebibytes(last_peak)}, at the end {mebibytes(watch.samples[-1][1])} "
              f"({100 * (growth - 1):+.1f} %)", flush=True)
        for line in warnings[:10]:
            print(f"{args.label}: warning: {line}", flush=True)
        if args.check_memory:
            check(abs(growth - 1) <= 0.10,
                  f"resident memory of the last minute {mebibytes(last_peak)} is not within 10 % of "
                  f"{reference_name}'s {mebibytes(reference_peak)}")
    finally:
        game.kill()


def main():
    args = arguments()
    os.makedirs(args.work, exist_ok=True)
    display = harness.Display()
    try:
        soak(args, display)
    except harness.Failure as failure:
        print(f"{args.label}: FAILED:", failure, flush=True)
        sys.exit(1)
    finally:
        display.stop()
    print(f"{args.label}: passed", flush=True)


if __name__ == "__main__":
    main()
