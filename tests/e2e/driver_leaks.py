"""Tells the graphics driver's leaks from ours in a LeakSanitizer report.

Mesa's llvmpipe compiles shaders to machine code at run time and keeps a few
small blocks (two of 56 bytes in our runs) that are referred to only from its
compiled code's memory, which LeakSanitizer does not scan. Their allocation
stack is the allocator and one frame in that anonymous code, where unwinding
stops; gcc's runtime names no function for it and attributes it to libasan
("libasan.so.8.0.0+0x...", clang's prints "<unknown module>"). A suppressions
file cannot single these out: any pattern matching that frame also matches the
allocator frame at the top of every stack. So the leak exit status (23, set in
scripts/sanitizer-env) is forgiven only when every leak of the report has that
exact shape and no other sanitizer report is present. The end-to-end harness
starts the game with the leak check's status left to the game (a game that
must stop with status 1 keeps it) and judges the report itself.

Run as a program, it runs its arguments, passes their output through and exits
with their status, or 0 when that status is only the driver's leaks."""

import re
import subprocess
import sys

LEAK_STATUS = 23
LEAK_HEAD = re.compile(r"^(Direct|Indirect) leak of \d+ byte")
FRAME = re.compile(r"^\s*#(\d+) 0x[0-9a-f]+ (.*)$")
ALLOCATOR = re.compile(r"^in (__interceptor_)?(malloc|calloc|realloc) ")
ANONYMOUS_CODE = re.compile(r"^\((<unknown module>|\S*/libasan\.so[.0-9]*\+0x[0-9a-f]+)\)$")
OTHER_REPORT = re.compile(r"ERROR: AddressSanitizer|runtime error:|ERROR: LeakSanitizer: (?!detected memory leaks)")


def leaks(text):
    """Lists each leak of the report as its list of frame texts."""
    found, current = [], None
    for line in text.splitlines():
        if LEAK_HEAD.match(line):
            current = []
            found.append(current)
        elif current is not None:
            frame = FRAME.match(line)
            if frame:
                current.append(frame.group(2).strip())
            else:
                current = None
    return found


def is_driver_leak(frames):
    return (len(frames) >= 2 and ALLOCATOR.match(frames[0]) is not None
            and all(ANONYMOUS_CODE.match(frame) for frame in frames[1:]))


def only_driver_leaks(text):
    """True when the output holds a leak report and nothing but the driver's leaks."""
    if OTHER_REPORT.search(text) or "ERROR: LeakSanitizer: detected memory leaks" not in text:
        return False
    found = leaks(text)
    return bool(found) and all(is_driver_leak(frames) for frames in found)


def forgiven(status, text):
    """The exit status with the driver's leaks forgiven."""
    return 0 if status == LEAK_STATUS and only_driver_leaks(text) else status


def judged(status, text):
    """The exit status of a program whose leak check reports without touching
    its status (LSAN_OPTIONS exitcode=0, as the end-to-end harness starts the
    game: a game that must stop with status 1 keeps it): the leak status when
    the output reports a leak of ours, else the program's own status."""
    if "ERROR: LeakSanitizer: detected memory leaks" in text and not only_driver_leaks(text):
        return LEAK_STATUS
    if OTHER_REPORT.search(text):
        return status or 1
    return status


def own_status_environment(env):
    """env with the leak check's exit status left to the program, when leak
    checks are on."""
    env = dict(env)
    if "LSAN_OPTIONS" in env:
        options = [o for o in env["LSAN_OPTIONS"].split(":") if o and not o.startswith("exitcode=")]
        env["LSAN_OPTIONS"] = ":".join(options + ["exitcode=0"])
    return env


def main():
    process = subprocess.run(sys.argv[1:], stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    output = process.stdout.decode("utf-8", "replace")
    sys.stdout.write(output)
    status = forgiven(process.returncode, output)
    if status != process.returncode:
        print("driver_leaks: only leaks inside the graphics driver's compiled code; status 0")
    sys.exit(status)


if __name__ == "__main__":
    main()
