"""Start-up, frame statistics and an orderly close; a bad setting stops start-up."""

import harness
from harness import check


def test(args, display):
    # A normal run: statistics with the profiler report after them, the clear
    # colour on screen, exit 0 on a window-manager close.
    work = harness.prepare_tree(args, "normal")
    game = harness.Game(args, display, work)
    try:
        game.wait_for(r"Statistics for last 1000 frames: ")
        game.wait_for(r"Profiling results: [\s\S]*-{28}")
        log = game.log()
        statistics = log.index("Statistics for last 1000 frames: ")
        check(log.index("Minimum frame duration: ", statistics) < log.index("Average frame duration: ", statistics)
              < log.index("Maximum frame duration: ", statistics) < log.index("Profiling results: ", statistics),
              "statistics records out of order")
        shot = harness.pixels(game.screenshot("normal"))
        check(shot[0] == harness.WIDTH and shot[1] == harness.HEIGHT, "unexpected screenshot size")
        # The player starts near the west edge of the arena: the land beyond
        # it fills the window's left strip, and hardly a pixel anywhere shows
        # the clear colour.
        for x, y in ((20, 20), (20, 360), (20, 700)):
            r, g, b = harness.pixel(shot, x, y)
            check(not all(abs(c - 77) <= 2 for c in (r, g, b)), f"pixel ({x}, {y}) is the clear colour")
        samples = [harness.pixel(shot, x, y) for y in range(0, harness.HEIGHT, 8) for x in range(0, harness.WIDTH, 8)]
        clear = sum(1 for p in samples if all(abs(c - 77) <= 2 for c in p))
        check(clear <= len(samples) * 0.02, f"{clear} of {len(samples)} sampled pixels show the clear colour")
        code = game.close()
        check(code == 0, f"exit code {code} after closing the window")
        log = game.log()
        check(not harness.record_lines(log, "warning") and not harness.record_lines(log, "error")
              and not harness.record_lines(log, "fatal"), "warning or error records in a normal run:\n" + log[-3000:])
    finally:
        game.kill()

    # A window width that is not a number ends start-up with the conversion error.
    work = harness.prepare_tree(args, "bad_width", {"context.window.resolution.x": "wide"})
    game = harness.Game(args, display, work)
    try:
        code = game.wait_exit(timeout=60)
        log = game.log()
        check(code != 0, "a bad window width did not stop the game")
        check("bad lexical cast" in log, "the conversion error is not in the output:\n" + log)
        check(harness.record_lines(log, "fatal"), "no fatal record for the bad width")
    finally:
        game.kill()

    # A tick rate beyond 16 bits stops start-up like any other bad value.
    work = harness.prepare_tree(args, "tickrate", {"context.tickrate": "70000"})
    game = harness.Game(args, display, work)
    try:
        code = game.wait_exit(timeout=60)
        check(code != 0, "an out-of-range tick rate did not stop the game")
    finally:
        game.kill()

    # A missing key stops start-up before the window opens, naming the key.
    work = harness.prepare_tree(args, "missing_key", drop_files=("data/view.dat",))
    game = harness.Game(args, display, work)
    try:
        code = game.wait_exit(timeout=60)
        log = game.log()
        check(code != 0, "a missing key did not stop the game")
        check('"camera.offset"' in log, "the missing key is not named:\n" + log)
    finally:
        game.kill()


if __name__ == "__main__":
    harness.run(test)
