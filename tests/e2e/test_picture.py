"""What the player sees: the arena around the Blue base with its actors,
shadows, flag, health bars and the HUD; the Red base through the free camera;
the help screen, the frame rate, wireframe and the texture sampling toggle."""

import os
import time

import harness
from harness import check

WIDTH, HEIGHT = harness.WIDTH, harness.HEIGHT


def count(image, box, predicate):
    """Pixels inside box = (x0, y0, x1, y1), screen coordinates from the top
    left, whose colour satisfies predicate."""
    x0, y0, x1, y1 = box
    total = 0
    for y in range(y0, y1):
        for x in range(x0, x1):
            if predicate(*harness.pixel(image, x, y)):
                total += 1
    return total


def changed(before, after, box):
    """Pixels inside box whose colour differs by more than 30 in some channel."""
    x0, y0, x1, y1 = box
    total = 0
    for y in range(y0, y1):
        for x in range(x0, x1):
            a = harness.pixel(before, x, y)
            b = harness.pixel(after, x, y)
            if max(abs(a[i] - b[i]) for i in range(3)) > 30:
                total += 1
    return total


def bluish(r, g, b):
    return b > r + 40 and b > g + 15


def reddish(r, g, b):
    return r > g + 60 and r > b + 60


def greenish(r, g, b):
    return g > r + 15 and g > b + 15


def grey(r, g, b, level=77):
    return abs(r - level) <= 2 and abs(g - level) <= 2 and abs(b - level) <= 2


def settle(game, seconds):
    time.sleep(seconds)


def shot(game, name):
    path = game.screenshot(name)
    return path, harness.pixels(path)


def test(args, display):
    work = harness.prepare_tree(args, "picture")
    game = harness.Game(args, display, work)
    report = []
    try:
        game.window_id()
        # The first second of play: the follow camera settles over the player.
        game.wait_for(r"Statistics for last 1000 frames: ", timeout=180)
        path, arena = shot(game, "arena")
        report.append(path)

        # The HUD: score bar at the top centre, skill bar at the bottom centre.
        check(count(arena, (WIDTH // 2 - 280, 2, WIDTH // 2 + 280, 36), lambda r, g, b: not grey(r, g, b)) > 5000,
              "no score bar at the top centre")
        check(count(arena, (WIDTH // 2 - 120, HEIGHT - 60, WIDTH // 2 + 120, HEIGHT - 4),
                    lambda r, g, b: not grey(r, g, b)) > 5000, "no skill bar at the bottom centre")

        # The scene: lit floor (grass) all over, Blue actors in team colour near
        # the centre, where the player stands, health bars above them.
        check(count(arena, (0, 100, WIDTH, HEIGHT - 100), greenish) > 100000, "no lit arena floor")
        centre = (WIDTH // 2 - 300, HEIGHT // 2 - 200, WIDTH // 2 + 300, HEIGHT // 2 + 200)
        check(count(arena, centre, bluish) > 400, "no Blue actors around the player")
        check(count(arena, centre, lambda r, g, b: g > 150 and r < 120 and b < 120) > 60,
              "no health bars over the actors")
        # Shadows: the floor near the actors is darker on one side; compare
        # the darkest and the median floor brightness around the player, on
        # the arena only (its west edge lies a little left of the player; the
        # land beyond it receives no shadows).
        floor = []
        x0, y0, x1, y1 = centre
        x0 = WIDTH // 2 - 60
        for y in range(y0, y1, 2):
            for x in range(x0, x1, 2):
                r, g, b = harness.pixel(arena, x, y)
                if greenish(r, g, b):
                    floor.append(r + g + b)
        floor.sort()
        check(floor and floor[len(floor) // 50] < floor[len(floor) // 2] * 0.75, "no shadows on the floor")

        # F2: the frame rate at the top left.
        game.key("F2")
        time.sleep(2.0)
        path, fps = shot(game, "fps")
        report.append(path)
        check(changed(arena, fps, (10, 5, 260, 35)) > 150, "F2 showed no frame rate at the top left")

        # F1: the help screen in the centre.
        game.key("F1")
        time.sleep(2.0)
        path, helped = shot(game, "help")
        report.append(path)
        help_box = (WIDTH // 2 - 200, HEIGHT // 2 - 200, WIDTH // 2 + 200, HEIGHT // 2 + 200)
        check(changed(fps, helped, help_box) > 40000, "F1 showed no help screen in the centre")
        game.key("F1")
        game.key("F2")

        # F3: lines instead of filled triangles: far fewer floor pixels.
        game.key("F3")
        time.sleep(2.0)
        path, lines = shot(game, "wireframe")
        report.append(path)
        check(count(lines, (0, 100, WIDTH, HEIGHT - 100), greenish) < count(arena, (0, 100, WIDTH, HEIGHT - 100), greenish) / 2,
              "F3 did not switch to lines")
        game.key("F3")

        # F4: the next sampling method is announced.
        game.key("F4")
        game.wait_for(r"Changing texture sampling method to: GL_NEAREST_MIPMAP_NEAREST", timeout=30)
        time.sleep(1.0)
        path, toggled = shot(game, "sampling")
        report.append(path)
        check(changed(arena, toggled, (10, HEIGHT - 90, 420, HEIGHT - 10)) > 200,
              "no notification after F4")

        # The free camera flown east to the Red base.
        game.key("0")
        time.sleep(0.5)
        game.xdotool("keydown", "--window", game.window_id(), "Right")
        time.sleep(80.0 / 15.0)
        game.xdotool("keyup", "--window", game.window_id(), "Right")
        time.sleep(1.5)
        path, red = shot(game, "red_base")
        report.append(path)
        check(count(red, centre, reddish) > 300, "no Red actors or flag at the Red base")

        code = game.close()
        log = game.log()
        check(code == 0, f"exit code {code}:\n" + log[-3000:])
        for severity in ("warning", "error", "fatal"):
            check(not harness.record_lines(log, severity),
                  f"{severity} records:\n" + "\n".join(harness.record_lines(log, severity)))
    finally:
        game.kill()
        print("screenshots:", *report)


if __name__ == "__main__":
    harness.run(test)
