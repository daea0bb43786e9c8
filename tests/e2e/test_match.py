"""A match played through the real window with the shipped tuning: a skilled
player strikes the Red guard from outside its watch radius, takes the flag
while the guard is down and runs home to score; Q casts a visible fireball; a
naive raider who walks straight onto the Red flag is shot down by the guard
and respawns; an unattended run keeps a steady frame rate and a clean log."""

import math
import os
import re
import time

import harness
from harness import check

CAMERA_OFFSET = (0.0, 32.0, 24.0)  # data/view.dat
TAN_HALF_FOV = math.tan(math.radians(22.5))
ASPECT = harness.WIDTH / harness.HEIGHT
PLAYER_START = (-45.0, -5.0)  # first Blue spawn, game x and z
BLUE_FLAG = (-40.0, 0.0)
RED_FLAG = (40.0, 0.0)
SPEED = 8.0


def sub(a, b):
    return tuple(x - y for x, y in zip(a, b))


def dot(a, b):
    return sum(x * y for x, y in zip(a, b))


def cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])


def normalize(a):
    length = math.sqrt(dot(a, a))
    return tuple(x / length for x in a)


def screen_of(offset_x, offset_z):
    """Window pixel of the ground point (offset_x, 0, offset_z) from the
    player, once the camera has settled behind the player and looks at it."""
    eye = CAMERA_OFFSET
    forward = normalize(tuple(-c for c in eye))
    right = normalize(cross(forward, (0.0, 1.0, 0.0)))
    up = cross(right, forward)
    v = sub((offset_x, 0.0, offset_z), eye)
    depth = dot(v, forward)
    ndc_x = dot(v, right) / (depth * TAN_HALF_FOV * ASPECT)
    ndc_y = dot(v, up) / (depth * TAN_HALF_FOV)
    x = (ndc_x + 1.0) / 2.0 * harness.WIDTH
    y = (1.0 - ndc_y) / 2.0 * harness.HEIGHT
    check(20 <= x <= harness.WIDTH - 20 and 20 <= y <= harness.HEIGHT - 20,
          f"ground offset ({offset_x}, {offset_z}) is off screen at ({x:.0f}, {y:.0f})")
    return int(round(x)), int(round(y))


FOLLOW_FACTOR = 0.12  # InputProcessor::kFollowFactor: share of the way per frame


class Player:
    """Walks the player with held left clicks, keeping track of where it is.
    While it walks, the follow camera trails it by a steady distance; clicks
    made then allow for it."""

    def __init__(self, game):
        self.game = game
        self.position = PLAYER_START
        self.heading = None  # unit direction of the walk under way, if any

    def camera_lag(self):
        """How far the screen centre trails a walking player, from the
        game's last reported frame duration."""
        if self.heading is None:
            return (0.0, 0.0)
        durations = average_frame_durations(self.game.log())
        frame = durations[-1] if durations else 1.0 / 50.0
        lag = SPEED * frame * (1.0 - FOLLOW_FACTOR) / FOLLOW_FACTOR
        return (self.heading[0] * lag, self.heading[1] * lag)

    def point_at(self, target):
        """Moves the cursor onto the ground point target."""
        lag = self.camera_lag()
        x, y = screen_of(target[0] - self.position[0] + lag[0], target[1] - self.position[1] + lag[1])
        self.game.xdotool("mousemove", "--window", self.game.window_id(), str(x), str(y))
        return x, y

    def walk_to(self, target, hurry=False):
        """Holds the left button on target and waits for the walk there; in a
        hurry the next order follows as soon as the way is walked (the
        camera has no time to settle, so keep such legs short and straight)."""
        self.point_at(target)
        self.game.xdotool("mousedown", "1")
        time.sleep(0.15)
        self.game.xdotool("mouseup", "1")
        distance = math.dist(self.position, target)
        self.heading = tuple(c / distance for c in sub(target, self.position)) if hurry and distance else None
        time.sleep(distance / SPEED * 1.05 + 0.1 if hurry else distance / SPEED * 1.6 + 1.5)
        self.position = target

    def walk(self, route, hurry=False):
        for target in route:
            self.walk_to(target, hurry)

    def cast(self, key, target, windup):
        """Casts the skill on key at target, then waits for the wind-up to
        release it (a new cast would replace it)."""
        self.point_at(target)
        self.game.key(key)
        time.sleep(windup + 0.15)


# The Red guard stands where it spawned until an enemy comes near the flag.
RED_GUARD = (45.0, 5.0)
# Just outside the guard's watch radius (20 units round the flag), south-west
# of it, with open ground to the guard and the guard on the screen.
STAND = (21.0, 9.1)
TO_STAND = [(-33.0, -9.0), (-20.0, -2.0), (-3.0, -4.0), (12.0, -3.0), (17.0, 7.0), STAND]
# Home from the flag round the south end of the Red base wall.
FROM_RED = [(29.0, 9.5), (12.0, -3.0), (-3.0, -4.0), (-20.0, -2.0), (-33.0, -9.0), BLUE_FLAG]
WINDUP_FIREBALL = 0.35  # data/animation.dat, "animation.length.windup.*"
WINDUP_LIGHTNING = 0.4

TO_RED = [(-33.0, -9.0), (-20.0, -2.0), (-3.0, -4.0), (12.0, -3.0), (22.0, 4.0), RED_FLAG]
TO_BLUE = [(22.0, 4.0), (12.0, -3.0), (-3.0, -4.0), (-20.0, -2.0), (-33.0, -9.0), BLUE_FLAG]


def bright_flame_pixels(image, box):
    x0, y0, x1, y1 = box
    count = 0
    for y in range(y0, y1, 2):
        for x in range(x0, x1, 2):
            r, g, b = harness.pixel(image, x, y)
            if r > 200 and g > 90 and b < 120 and r > b + 100:
                count += 1
    return count


def health_bar_pixels(image):
    """Pixels of the health bar's green fill over the player, who stands at
    the centre of the screen once the camera has settled (grass is darker)."""
    count = 0
    cx, cy = harness.WIDTH // 2, harness.HEIGHT // 2
    for y in range(cy - 75, cy - 15):
        for x in range(cx - 45, cx + 45):
            r, g, b = harness.pixel(image, x, y)
            if g > 165 and r < 90 and b < 110 and g - r > 100:
                count += 1
    return count


def average_frame_durations(log):
    """The averages of every statistics report, in order."""
    return [float(m.group(1)) for m in re.finditer(
        r"Statistics for last 1000 frames: [^\n]*\n[^\n]*\n[^\n]*Average frame duration: ([0-9.e+-]+)", log)]


def shipped(args, key):
    """A value of the shipped data/*.dat files, as a number."""
    for root, _, files in os.walk(os.path.join(args.source, "data")):
        for file in files:
            if file.endswith(".dat"):
                for line in open(os.path.join(root, file), encoding="latin-1"):
                    m = re.match(r"\s*" + re.escape(key) + r"\s*=\s*(\S+)", line)
                    if m:
                        return float(m.group(1))
    raise harness.Failure(f"no {key} in data/")


def check_clean_exit(game):
    code = game.close()
    log = game.log()
    check(code == 0, f"exit code {code}")
    for severity in ("warning", "error", "fatal"):
        check(not harness.record_lines(log, severity),
              f"{severity} records:\n" + "\n".join(harness.record_lines(log, severity)))


def strike_guard(args, player):
    """From outside the watch radius, chain lightning and fireballs at the
    standing guard until they add up to its health, each cast after the last
    one's wind-up and the slot's cooldown."""
    fireball = shipped(args, "fireball.damage")
    lightning = shipped(args, "chainLightning.damage")
    fireball_cooldown = shipped(args, "cooldown.fireball")
    lightning_cooldown = shipped(args, "cooldown.chainLightning")
    dealt = 0.0
    now = 0.0
    fireball_ready = lightning_ready = 0.0
    while dealt < 100.0:
        if lightning_ready <= now:
            player.cast("w", RED_GUARD, WINDUP_LIGHTNING)
            lightning_ready = now + WINDUP_LIGHTNING + lightning_cooldown
            now += WINDUP_LIGHTNING + 0.15
            dealt += lightning
            continue
        wait = max(0.0, fireball_ready - now)
        time.sleep(wait)
        now += wait
        player.cast("q", RED_GUARD, WINDUP_FIREBALL)
        fireball_ready = now + WINDUP_FIREBALL + fireball_cooldown + 0.05
        now += WINDUP_FIREBALL + 0.15
        dealt += fireball
    # The last fireball's flight.
    time.sleep(math.dist(STAND, RED_GUARD) / shipped(args, "fireball.projectile.speed") + 0.2)


def test_skilled_capture(args, display):
    """The shipped tuning: strike the guard from outside its watch, take the
    flag while it is down, run home; a capture within three minutes of play.
    Then Q at the home base casts a visible fireball."""
    work = harness.prepare_tree(args, "skilled")
    game = harness.Game(args, display, work)
    try:
        game.wait_for(r"Statistics for last 1000 frames: ")
        time.sleep(1.0)
        started = time.time()
        player = Player(game)
        player.walk(TO_STAND)
        strike_guard(args, player)
        player.walk_to(RED_FLAG, hurry=True)
        player.walk(FROM_RED[:-1], hurry=True)
        player.walk_to(BLUE_FLAG)
        game.wait_for(r"Blue team scored!", timeout=max(1.0, 180.0 - (time.time() - started)))
        game.wait_for(r"New score: Blue 1 : 0 Red", timeout=5)
        print(f"skilled capture after {time.time() - started:.0f} s of play")
        check_fireball_visible(game)
        check_clean_exit(game)
    finally:
        game.kill()


def check_fireball_visible(game):
    """Q with the cursor on the ground 12 units east: a fireball flies."""
    before = harness.pixels(game.screenshot("before_fireball"))
    x, y = screen_of(12.0, 0.0)
    game.xdotool("mousemove", "--window", game.window_id(), str(x), str(y))
    game.key("q")
    time.sleep(0.55)
    after = harness.pixels(game.screenshot("fireball"))
    box = (harness.WIDTH // 2 - 40, y - 80, x + 60, harness.HEIGHT // 2 + 60)
    check(bright_flame_pixels(after, box) > bright_flame_pixels(before, box) + 15,
          "no flame visible after casting a fireball")


def test_naive_raid(args, display):
    """The shipped tuning: a raider who walks straight onto the Red flag is
    shot down by the guard, and respawns."""
    work = harness.prepare_tree(args, "naive")
    game = harness.Game(args, display, work)
    try:
        game.wait_for(r"Statistics for last 1000 frames: ")
        time.sleep(1.0)
        player = Player(game)
        player.walk(TO_RED[:-1], hurry=True)
        player.walk_to(RED_FLAG)
        seen = []
        deadline = time.time() + 40
        while time.time() < deadline:
            seen.append(health_bar_pixels(harness.pixels(game.screenshot("raid"))))
            full = max(seen[:3])
            if 0 in seen and seen[-1] >= full * 0.8 and seen.index(0) < len(seen) - 1:
                break
            time.sleep(0.4)
        check(0 in seen, f"the guard never shot the raider down: {seen}")
        dead_at = seen.index(0)
        full = max(seen)
        check(full > 30, f"no health bar over the player: {seen}")
        check(any(n >= full * 0.8 for n in seen[dead_at:]), f"the raider did not respawn: {seen}")
        check("Blue team scored!" not in game.log(), "the naive raid scored")
        game.screenshot("raid_respawned")
        check_clean_exit(game)
    finally:
        game.kill()


def test_unattended(args, display):
    """Two minutes with nobody at the controls: a steady frame rate and a clean log."""
    work = harness.prepare_tree(args, "unattended")
    game = harness.Game(args, display, work)
    try:
        game.wait_for(r"Statistics for last 1000 frames: ")
        time.sleep(120.0)
        log = game.log()
        averages = average_frame_durations(log)[1:]  # the first report includes start-up
        check(averages, "fewer than two statistics reports in two minutes")
        check(max(averages) < 3 * min(averages), f"the frame rate was not steady: {averages}")
        check_clean_exit(game)
    finally:
        game.kill()


def test_all(args, display):
    test_skilled_capture(args, display)
    test_naive_raid(args, display)
    test_unattended(args, display)


if __name__ == "__main__":
    harness.run(test_all)
