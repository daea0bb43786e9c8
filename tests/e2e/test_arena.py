"""The arena match starts with all its content, runs and closes cleanly; a
missing mesh is reported and the match runs without it; a damaged navigation
mesh stops start-up with an error."""

import os
import subprocess

import harness
from harness import check


def test(args, display):
    # The whole start-up with the shipped level: past the first statistics
    # report, then an orderly close.
    work = harness.prepare_tree(args, "arena")
    game = harness.Game(args, display, work)
    try:
        game.wait_for(r"Statistics for last 1000 frames: ")
        game.wait_for(r"Maximum frame duration: ")
        code = game.close()
        log = game.log()
        check(code == 0, f"exit code {code} after closing the window:\n" + log[-3000:])
        for severity in ("warning", "error", "fatal"):
            check(not harness.record_lines(log, severity),
                  f"{severity} records in a normal run:\n" + "\n".join(harness.record_lines(log, severity)))
    finally:
        game.kill()

    # Without the rock mesh: the mesh registry reports the file, every rock of
    # the level reports the name its recipe cannot find, and the match still
    # runs (the rocks still collide, undrawn) and closes cleanly.
    work = harness.prepare_tree(args, "no_rock_mesh", drop_files=[os.path.join("resources", "meshes", "rock.mesh")])
    rocks = open(os.path.join(work, "data", "level", "test.lvl"), encoding="latin-1").read().count("Rock {")
    check(rocks > 0, "the shipped level has no rock")
    game = harness.Game(args, display, work)
    try:
        game.wait_for(r"Statistics for last 1000 frames: ")
        code = game.close()
        log = game.log()
        check(code == 0, f"exit code {code} without the rock mesh:\n" + log[-3000:])
        errors = harness.record_lines(log, "error")
        check(sum("rock.mesh" in line for line in errors) == 1,
              "no single record for the missing mesh file:\n" + "\n".join(errors))
        missing = [line for line in errors if 'No Mesh under that name present: "Rock"!' in line]
        check(len(missing) == rocks, f"{len(missing)} records for the {rocks} rocks without a mesh:\n" + "\n".join(errors))
        check(len(errors) == rocks + 1, "other error records:\n" + "\n".join(errors))
        check(not harness.record_lines(log, "warning"), "warnings:\n" + "\n".join(harness.record_lines(log, "warning")))
    finally:
        game.kill()

    # A navigation mesh cut short after 10 bytes is refused: an error record
    # from the loader, a fatal one from start-up, a non-zero exit.
    work = harness.prepare_tree(args, "truncated_nav")
    navigation = os.path.join(work, "data", "level", "test.nav")
    with open(navigation, "rb") as f:
        head = f.read(10)
    check(len(head) == 10, "the shipped navigation mesh is shorter than 10 bytes")
    with open(navigation, "wb") as f:
        f.write(head)
    game = harness.Game(args, display, work)
    try:
        try:
            code = game.wait_exit(timeout=60)
        except subprocess.TimeoutExpired:
            raise harness.Failure("the game kept running with a truncated navigation mesh:\n" + game.log()[-3000:])
        log = game.log()
        check(code != 0, "a truncated navigation mesh did not stop the game:\n" + log[-3000:])
        check(harness.record_lines(log, "error"), "no error record for the truncated navigation mesh:\n" + log)
        check(any("navigation mesh" in line for line in harness.record_lines(log, "fatal")),
              "no fatal record naming the navigation mesh:\n" + log)
        check("Statistics for last 1000 frames" not in log, "the frame loop ran without a navigation mesh")
    finally:
        game.kill()


if __name__ == "__main__":
    harness.run(test)
