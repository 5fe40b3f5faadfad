#!/usr/bin/env python3
"""A Windows exe's calls into the platform as Wine's relay trace shows them
(WINEDEBUG=+relay, restricted to the program's modules), checked against the
same expected trace as the native program (program_trace.txt): a Win32
implementation nobody here wrote watches the genuine exe.

The relay shows what the exe passes, not what the records it points to hold,
nor floats, nor the calls a procedure makes as its last act (a tail call
returns to Wine, not to the exe). Both traces are therefore brought to what
both can show: each argument by its type (integers by value, strings as
they are, handles named in order of appearance, records and floats as *),
DefWindowProcA and the start-up's GetModuleHandleA left out, GLEW's start-up one line, and loop
turns that only dispatch a message left out (which messages a window system
sends is its own affair). The runs: the normal one (a few frames, then the
close box); no display, where Wine cannot create the window; a display
without GLX, where no pixel format exists. Each is compared with the
expected run that fails at the same call.

Usage: wine_trace_test.py WINE_RUN PREFIX EXE CLOSE_WINDOW EXPECTED [--print]"""
import os
import re
import struct
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
from trace_compare import differences, fixture_display, report, sections  # noqa: E402

wine_run, prefix, exe, close_window, expected_path = sys.argv[1:6]
printing = "--print" in sys.argv
SKIPPED = 77  # CTest's SKIP_RETURN_CODE
if not os.path.exists(exe):
    print(f"{exe} is not built: nothing to trace")
    sys.exit(SKIPPED)
how = subprocess.run(["bash", os.path.join(os.path.dirname(wine_run), "run-i386.sh"), "--how"],
                     capture_output=True, text=True, check=False).stdout.strip()
if "i686" in exe and how.startswith("none"):
    print(f"the 32-bit exe cannot run here: {how}")
    sys.exit(SKIPPED)
# Emulated 32-bit code starts in seconds and draws a few frames a second.
patience = 240 if "i686" in exe else 90

# Each function's arguments: h handle, i integer, s string, p record or
# other pointer, f float, F the pixel format's index (the display's own).
SIGNATURES = {
    "RegisterClassExA": "p", "AdjustWindowRect": "pii",
    "CreateWindowExA": "issiiiiihhhp", "DestroyWindow": "h", "ShowWindow": "hi",
    "GetDC": "h", "ReleaseDC": "hh", "ChoosePixelFormat": "hp", "SetPixelFormat": "hFp",
    "DescribePixelFormat": "hiip", "wglCreateContext": "h", "wglMakeCurrent": "hh",
    "wglDeleteContext": "h", "SwapBuffers": "h", "PeekMessageA": "phiii",
    "TranslateMessage": "p", "DispatchMessageA": "p", "PostQuitMessage": "i",
    "PostMessageA": "hiii", "SendMessageA": "hiii", "glClearColor": "ffff", "glClear": "i",
    "glLoadIdentity": "", "glMultMatrixf": "p", "glLoadMatrixf": "p", "glMatrixMode": "i",
    "glBegin": "i", "glEnd": "", "glColor4ub": "iiii", "glVertex3f": "fff", "glFlush": "",
    "glFinish": "", "glViewport": "iiii", "glEnable": "i", "glDisable": "i",
}
# What GLEW's start-up calls: its lookups, and under Windows the OpenGL 1.1
# and WGL queries it makes directly (natively it makes them through
# pointers it looked up, which no trace sees). The program calls none of
# them itself.
GLEW_START_UP = ("eglGetProcAddress(", "glXGetProcAddressARB(", "glXGetProcAddress(",
                 "wglGetProcAddress(",
                 "glGetString(", "glGetIntegerv(", "wglGetCurrentDC(")
SAME_AGAIN = "  (the same turn again, any number of times)"


def split_arguments(text):
    """Top-level comma-separated items; braces and quotes kept whole."""
    items, depth, quoted, current = [], 0, False, ""
    for i, c in enumerate(text):
        if quoted:
            if c == '"' and text[i - 1] != "\\":
                quoted = False
        elif c == '"':
            quoted = True
        elif c in "{(":
            depth += 1
        elif c in "})":
            depth -= 1
        elif c == "," and depth == 0:
            items.append(current.strip())
            current = ""
            continue
        current += c
    if current.strip():
        items.append(current.strip())
    return items


def integer(text, relay):
    """An integer as the expected trace writes it (decimal, 0x...), or as the
    relay does (hex digits, a 64-bit register of which a 32-bit argument
    fills the low half): its 32-bit signed value."""
    value = int(text, 16) if relay else 0 if text == "NULL" else int(text, 0)
    value &= 0xFFFFFFFF
    return str(value - (1 << 32) if value & 0x80000000 else value)


def canonical(name, arguments, relay):
    """NAME(ARGUMENTS) with each argument by its type; handles stay raw
    until the whole run is named."""
    kinds = SIGNATURES.get(name)
    if kinds is None or len(kinds) != len(arguments):
        if f"{name}(" in GLEW_START_UP:
            return f"{name}()"
        return f"{name}({', '.join(arguments)})  <- not a call this check knows"
    shown = []
    for kind, argument in zip(kinds, arguments):
        if kind == "i":
            shown.append(integer(argument, relay))
        elif kind == "h":
            null = argument == "NULL" or (relay and int(argument, 16) == 0)
            shown.append("NULL" if null else "<" + argument + ">")
        elif kind == "s":
            string = re.search(r'"(.*)"$', argument)
            shown.append('"' + string.group(1) + '"' if string else "NULL")
        elif kind == "F":
            shown.append("FORMAT")
        else:
            shown.append("*")
    return f"{name}({', '.join(shown)})"


def reduce(calls):
    """The comparable form of a run: lookups one line, message-only turns
    left out, identical turns once, handles H1, H2... by appearance."""
    lines = []
    for line in calls:
        if line.startswith(GLEW_START_UP):
            if not lines or lines[-1] != "(GLEW starts)":
                lines.append("(GLEW starts)")
        elif not line.startswith(("DefWindowProcA(", "GetModuleHandleA(")):
            # The module handle WinMain gets is the start-up code's doing: the
            # subset's asks GetModuleHandleA, a Windows C runtime knows it.
            lines.append(line)
    start, turns = [], []
    for line in lines:
        if line.startswith("PeekMessageA("):
            turns.append([line])
        elif line == SAME_AGAIN:
            turns.append([line])
        elif turns:
            turns[-1].append(line)
        else:
            start.append(line)
    out, previous = list(start), None
    for turn in turns:
        if len(turn) == 3 and turn[1].startswith("TranslateMessage(") and \
                turn[2].startswith("DispatchMessageA("):
            continue  # a message passed on to the window, nothing more
        if turn == previous or (turn == [SAME_AGAIN] and out[-1] == SAME_AGAIN):
            if out[-1] != SAME_AGAIN:
                out.append(SAME_AGAIN)
            continue
        out.extend(turn)
        previous = turn
    names = {}

    def name(match):
        return names.setdefault(match.group(1), f"H{len(names) + 1}")

    return [re.sub(r"<([^>]*)>", name, line) for line in out]


def expected_calls(lines):
    """The expected trace's calls, its notes ('  ... fails') left out."""
    calls = []
    for line in lines:
        if line == SAME_AGAIN:
            calls.append(line)
            continue
        call = re.match(r"^(\w+)\((.*)\)$", line)
        if call:
            calls.append(canonical(call.group(1), split_arguments(call.group(2)), False))
    return calls


def image_range(path):
    """Where the exe is loaded: its preferred base and size (MinGW's exes
    are not relocated)."""
    data = open(path, "rb").read(4096)
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    base = struct.unpack_from("<Q" if magic == 0x20B else "<I", data,
                              optional + (24 if magic == 0x20B else 28))[0]
    size = struct.unpack_from("<I", data, optional + 56)[0]
    return base, base + size


RELAY = re.compile(r"^([0-9a-f]+):Call (\w+)\.(\w+)\((.*)\) ret=([0-9a-f]+)$")
ARGUMENT = re.compile(r'[0-9a-f]+(?: L?"(?:[^"\\]|\\.)*")?|g')


def relay_calls(path):
    """The calls the exe's own code made on its first thread."""
    low, high = image_range(exe)
    thread, calls = None, []
    with open(path, errors="replace") as relay:
        for line in relay:
            call = RELAY.match(line.rstrip("\n"))
            if not call or not low <= int(call.group(5), 16) < high:
                continue
            if thread is None:
                thread = call.group(1)
            if call.group(1) == thread:
                calls.append(canonical(call.group(3), ARGUMENT.findall(call.group(4)), True))
    return calls


def environment(display, **extra):
    """This environment on `display`, or on none."""
    env = dict(os.environ, **extra)
    env.pop("DISPLAY", None)
    if display:
        env["DISPLAY"] = display
    return env


def wine(*arguments, display=None, **options):
    return subprocess.run([wine_run, *arguments], env=environment(display), check=False,
                          **options)


def swaps(path):
    with open(path, errors="replace") as relay:
        return relay.read().count("gdi32.SwapBuffers(")


def trace(display, close):
    """One run: its exit status and its relay-traced calls."""
    # Wine's server and desktop keep the display they started with.
    wine("--stop", prefix)
    if wine("--start", prefix, display=display).returncode != 0:
        return "Wine did not start", []
    with tempfile.TemporaryDirectory() as work:
        path = os.path.join(work, "relay")
        with open(path, "w") as relay:
            process = subprocess.Popen([wine_run, prefix, exe], stderr=relay,
                                       env=environment(display, WINEDEBUG="+relay"),
                                       start_new_session=True)
        if close:
            deadline = time.monotonic() + patience
            while time.monotonic() < deadline and process.poll() is None:
                if swaps(path) >= 3:
                    break
                time.sleep(0.2)
            subprocess.run([close_window, "--wait", "10"], stdout=subprocess.DEVNULL,
                           env=environment(display), check=False)
        try:
            status = process.wait(timeout=patience)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, 9)
            process.wait()
            status = f"no exit within {patience} s"
        calls = relay_calls(path)
    wine("--stop", prefix)
    return status, calls


# Only the program's own modules: its calls into them are what it does.
registry = wine(prefix, os.path.join(prefix, "drive_c/windows/system32/reg.exe"), "add",
                r"HKCU\Software\Wine\Debug", "/v", "RelayInclude", "/t", "REG_SZ", "/d",
                "user32.*;gdi32.*;opengl32.*", "/f",
                display=fixture_display("glx"), stdout=subprocess.DEVNULL)
if registry.returncode != 0:
    print("cannot set RelayInclude in the prefix's registry")
    sys.exit(1)

expected = sections(open(expected_path).read())
runs = [("normal", "normal", fixture_display("glx"), True),
        ("no display", "CreateWindowExA", None, False),
        ("no GLX", "ChoosePixelFormat", fixture_display("noglx"), False)]
failures = 0
for label, section, display, close in runs:
    status, calls = trace(display, close)
    lines = reduce(calls)
    want_status, want_lines = expected[section]
    want = reduce(expected_calls(want_lines))
    if printing:
        print(f"== {label} {status}\n" + "\n".join(lines) + "\n")
        continue
    failures += report(f"{label} (as expected run '{section}', {len(want)} calls)",
                       differences(status, lines, want_status, want))

if not printing:
    print(f"{len(runs) - failures} passed, {failures} failed")
sys.exit(1 if failures else 0)
