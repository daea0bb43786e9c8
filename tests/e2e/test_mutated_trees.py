"""Copies of the shipped tree spoilt the way a careless modder spoils them:
each one the game can run without keeps running (with an error record naming
what it could not use) and closes with exit code 0; none ends in a crash, an
uncaught exception or a sanitizer report."""

import os
import re
import time

import harness
from harness import check


def append(path, data):
    with open(path, "ab") as f:
        f.write(data)


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def cut(path, keep):
    """Keeps the first `keep` share of the file's bytes."""
    with open(path, "rb") as f:
        data = f.read()
    check(len(data) > 16, f"{path} is too short to cut")
    with open(path, "wb") as f:
        f.write(data[:max(1, int(len(data) * keep))])


def replace(path, pattern, text):
    with open(path, encoding="latin-1") as f:
        old = f.read()
    new, count = re.subn(pattern, text, old, count=1, flags=re.M)
    check(count == 1, f"no {pattern!r} in {path}")
    with open(path, "w", encoding="latin-1") as f:
        f.write(new)


def noise(length, seed):
    """Bytes that look like nothing, the same on every run."""
    state, out = seed, bytearray()
    for _ in range(length):
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        out.append(state >> 16 & 0xFF)
    return bytes(out)


# (name, how the tree is spoilt, text an error record must hold or None)
MUTATIONS = [
    ("long_number", lambda w: replace(os.path.join(w, "resources/materials/outland.mtl"),
                                      r"specularExponent = \S+", "specularExponent = 1" + "0" * 400),
     "outland.mtl"),
    ("float_overflow", lambda w: replace(os.path.join(w, "resources/materials/outland.mtl"),
                                         r"specularExponent = \S+", "specularExponent = 1" + "0" * 40),
     "outland.mtl"),
    ("level_noise", lambda w: append(os.path.join(w, "data/level/test.lvl"), b"\n" + noise(400, 7)), None),
    ("stray_dat", lambda w: write(os.path.join(w, "data/stray.dat"), noise(600, 11)), None),
    ("truncated_mesh", lambda w: cut(os.path.join(w, "resources/meshes/pillar.mesh"), 0.5), "pillar.mesh"),
    ("truncated_texture", lambda w: cut(os.path.join(w, "resources/textures/effects/flame.png"), 0.5),
     "flame.png"),
    ("truncated_skeleton", lambda w: cut(os.path.join(w, "resources/meshes/actor.skel"), 0.5), "actor.skel"),
    ("truncated_collision", lambda w: cut(os.path.join(w, "data/collision/wall.mesh"), 0.5), "wall.mesh"),
]


def test_mutated_trees(args, display):
    for name, spoil, named in MUTATIONS:
        work = harness.prepare_tree(args, name)
        spoil(work)
        game = harness.Game(args, display, work)
        try:
            game.window_id()  # the window opened: start-up went through
            time.sleep(3.0 * harness.SLOWDOWN)  # a few hundred frames
            check(game.process.poll() is None, f"{name}: the game stopped:\n" + game.log()[-3000:])
            code = game.close()
            log = game.log()
            check(code == 0, f"{name}: exit code {code}:\n" + log[-3000:])
            check("terminate called" not in log and "runtime error" not in log,
                  f"{name}: the game failed:\n" + log[-3000:])
            check(not harness.record_lines(log, "fatal"), f"{name}: fatal records:\n" + log[-3000:])
            if named is not None:
                errors = harness.record_lines(log, "error")
                check(any(named in line for line in errors),
                      f"{name}: no error record naming {named}:\n" + "\n".join(errors))
        finally:
            game.kill()


if __name__ == "__main__":
    harness.run(test_mutated_trees)
