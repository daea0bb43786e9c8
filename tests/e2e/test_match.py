"""A match played through the real window: the player walks to the Red flag
and back with held left clicks and scores; Q casts a visible fireball; left
alone in the Red defender's watch radius, the player is shot down and
respawns; a raid that takes the Red flag and loses it shows the take, the drop
and the guard's return as notifications; an unattended run keeps a steady
frame rate and a clean log."""

import math
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


class Player:
    """Walks the player with held left clicks, keeping track of where it is."""

    def __init__(self, game):
        self.game = game
        self.position = PLAYER_START

    def walk_to(self, target):
        x, y = screen_of(target[0] - self.position[0], target[1] - self.position[1])
        self.game.xdotool("mousemove", "--window", self.game.window_id(), str(x), str(y))
        self.game.xdotool("mousedown", "1")
        time.sleep(0.15)
        self.game.xdotool("mouseup", "1")
        distance = math.dist(self.position, target)
        time.sleep(distance / SPEED * 1.6 + 1.5)
        self.position = target

    def walk(self, route):
        for target in route:
            self.walk_to(target)


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


def close_cleanly(game):
    """Closes the window as a window manager does; the game must exit 0 with
    no warning, error or fatal record."""
    code = game.close()
    check(code == 0, f"exit code {code}")
    log = game.log()
    for severity in ("warning", "error", "fatal"):
        check(not harness.record_lines(log, severity),
              f"{severity} records:\n" + "\n".join(harness.record_lines(log, severity)))


def test_defender_and_unattended(args, display):
    # On the shipped data: the player walks into the Red flag's watch radius
    # and stays; the Red defender shoots it down, and it respawns.
    work = harness.prepare_tree(args, "defender")
    game = harness.Game(args, display, work)
    try:
        game.wait_for(r"Statistics for last 1000 frames: ")
        time.sleep(1.0)
        player = Player(game)
        player.walk(TO_RED[:-1])  # 18 units from the Red flag
        seen = []
        deadline = time.time() + 75
        while time.time() < deadline:
            seen.append(health_bar_pixels(harness.pixels(game.screenshot("defender"))))
            full = max(seen[:3])
            if 0 in seen and seen[-1] >= full * 0.8 and seen.index(0) < len(seen) - 1:
                break
            time.sleep(0.4)
        full = max(seen[:3])
        check(full > 30, f"no health bar over the player: {seen}")
        check(0 in seen, f"the player never died: {seen}")
        dead_at = seen.index(0)
        check(any(0 < n < full * 0.8 for n in seen[:dead_at]), f"the player's health bar never dropped: {seen}")
        check(any(n >= full * 0.8 for n in seen[dead_at:]), f"the player did not respawn: {seen}")
        game.screenshot("defender_respawned")
        close_cleanly(game)
    finally:
        game.kill()

    # Two minutes with nobody at the controls: a steady frame rate and a clean log.
    work = harness.prepare_tree(args, "unattended")
    game = harness.Game(args, display, work)
    try:
        game.wait_for(r"Statistics for last 1000 frames: ")
        time.sleep(120.0)
        code = game.close()
        check(code == 0, f"exit code {code}")
        log = game.log()
        averages = average_frame_durations(log)[1:]  # the first report includes start-up
        check(averages, "fewer than two statistics reports in two minutes")
        check(max(averages) < 3 * min(averages), f"the frame rate was not steady: {averages}")
        for severity in ("warning", "error", "fatal"):
            check(not harness.record_lines(log, severity),
                  f"{severity} records:\n" + "\n".join(harness.record_lines(log, severity)))
    finally:
        game.kill()


def test(args, display):
    # Harmless skills, so the walk is not decided by chance.
    work = harness.prepare_tree(args, "walk", {"fireball.damage": "0", "chainLightning.damage": "0"})
    game = harness.Game(args, display, work)
    try:
        game.wait_for(r"Statistics for last 1000 frames: ")
        time.sleep(1.0)
        player = Player(game)
        player.walk(TO_RED)
        player.walk(TO_BLUE)
        game.wait_for(r"Blue team scored!", timeout=20)
        game.wait_for(r"New score: Blue 1 : 0 Red", timeout=5)
        harness.check_flag_notifications(game.log(), ["Your team took the Red flag!"])

        # Q with the cursor on the ground 12 units east: a fireball flies.
        before = harness.pixels(game.screenshot("before_fireball"))
        x, y = screen_of(12.0, 0.0)
        game.xdotool("mousemove", "--window", game.window_id(), str(x), str(y))
        game.key("q")
        time.sleep(0.55)
        after = harness.pixels(game.screenshot("fireball"))
        box = (harness.WIDTH // 2 - 40, y - 80, x + 60, harness.HEIGHT // 2 + 60)
        check(bright_flame_pixels(after, box) > bright_flame_pixels(before, box) + 15,
              "no flame visible after casting a fireball")

        close_cleanly(game)
    finally:
        game.kill()


def test_flag_notifications(args, display):
    # The player runs onto the Red flag and takes it, the guard shoots the
    # carrier down, the flag falls and the guard returns it; the HUD announces
    # each step. Half-strength fireballs, so the raider surely lives to take
    # the flag and then dies with it.
    work = harness.prepare_tree(args, "flag_events", {"fireball.damage": "15"})
    game = harness.Game(args, display, work)
    try:
        game.wait_for(r"Statistics for last 1000 frames: ")
        time.sleep(1.0)
        Player(game).walk(TO_RED)
        game.wait_for(r"Flag event: The Red flag has been returned!", timeout=60)
        harness.check_flag_notifications(game.log(), [
            "Your team took the Red flag!", "The Red flag has been dropped!", "The Red flag has been returned!"])
        close_cleanly(game)
    finally:
        game.kill()


def test_all(args, display):
    test(args, display)
    test_flag_notifications(args, display)
    test_defender_and_unattended(args, display)


if __name__ == "__main__":
    harness.run(test_all)
