#!/usr/bin/env python3
"""The program's every call into the platform, start to exit, against the
expected trace in program_trace.txt: the normal run (a few frames, then the
close box) and one run for each platform call the program relies on, made
to fail in turn. The native program is traced by the Win32 subset itself
(WINSUBSET_TRACE) and its calls are failed by it (WINSUBSET_FAIL).

Usage: trace_test.py PROGRAM CLOSE_WINDOW EXPECTED GL_TRACE [--print]
GL_TRACE is the library that adds the program's OpenGL calls to the trace;
--print writes the normalised traces instead of comparing them."""
import os
import re
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
from trace_compare import differences, fixture_display, report, sections  # noqa: E402

program, close_window, expected_path, gl_trace = sys.argv[1:5]
printing = "--print" in sys.argv
display = fixture_display("glx")
if display is None:
    print("needs the glx_display fixture (ctest starts it)")
    sys.exit(1)
os.environ["DISPLAY"] = display


def normalise(lines):
    """Handles and pointers become H1, H2... in order of appearance; the
    frame loop's identical turns become one, marked; turns that only pass a
    message on to DefWindowProcA unchanged are left out, since which such
    messages the window system sends is its own affair."""
    names = {}

    def name(match):
        value = match.group(0)
        if value == "(nil)":
            return "NULL"
        return names.setdefault(value, f"H{len(names) + 1}")

    # %p prints pointers in lower case; a pointer in a message parameter
    # (a CREATESTRUCT) is longer than any flag.
    lines = [re.sub(r"\(nil\)|\b0x[0-9a-f]{5,}\b|\b0x[0-9A-F]{9,}\b", name, line) for line in lines]
    # The index of the chosen format depends on the display's visuals.
    lines = [re.sub(r"^SetPixelFormat\((\w+), \d+,", r"SetPixelFormat(\1, FORMAT,", line)
             for line in lines]
    # Split into the lines before the loop and its turns: a turn starts at
    # each PeekMessageA.
    turns, current = [], []
    start = []
    for line in lines:
        if line.startswith("PeekMessageA("):
            if current:
                turns.append(current)
            current = [line]
        elif current:
            current.append(line)
        else:
            start.append(line)
    if current:
        turns.append(current)

    out = list(start)
    previous = None
    for turn in turns:
        message = re.match(r"TranslateMessage\(\{hwnd=(\w+), message=(0x\w+), wParam=(0x\w+), lParam=(0x\w+)\}\)",
                           turn[1]) if len(turn) > 1 else None
        if message and message.group(2) not in ("0x0010", "0x0012", "0x0112", "0x0002"):
            hwnd, msg, wparam, lparam = message.groups()
            passed_on = f"DefWindowProcA({hwnd}, {msg}, {wparam}, {lparam})"
            if turn[3:] == [passed_on]:
                continue  # handled by the default, as it should be
        if turn == previous:
            if out[-1] != "  (the same turn again, any number of times)":
                out.append("  (the same turn again, any number of times)")
            continue
        out.extend(turn)
        previous = turn
    return out


def trace(environment, close):
    with tempfile.TemporaryDirectory() as work:
        path = os.path.join(work, "trace")
        env = dict(os.environ, WINSUBSET_TRACE=path, LD_PRELOAD=gl_trace, **environment)
        process = subprocess.Popen([program], env=env)
        if close:
            deadline = time.monotonic() + 60  # a ceiling: frames come or the run fails
            while time.monotonic() < deadline:
                if os.path.exists(path) and open(path).read().count("SwapBuffers(") >= 3:
                    break
                time.sleep(0.02)
            subprocess.run([close_window, "--wait", "10"], stdout=subprocess.DEVNULL, check=False)
        try:
            status = process.wait(timeout=60)
        except subprocess.TimeoutExpired:
            process.kill()
            status = "no exit within 60 s"
        lines = open(path).read().splitlines() if os.path.exists(path) else []
    return status, normalise(lines)


expected = sections(open(expected_path).read()) if not printing else None
runs = [("normal", {}, True)]
for failing in ["RegisterClassExA", "CreateWindowExA", "GetDC", "ChoosePixelFormat",
                "SetPixelFormat", "wglCreateContext", "wglMakeCurrent"]:
    runs.append((failing, {"WINSUBSET_FAIL": failing}, False))

failures = 0
for name, environment, close in runs:
    status, lines = trace(environment, close)
    if printing:
        print(f"== {name} {status}")
        print("\n".join(lines))
        print()
        continue
    want_status, want = expected[name]
    heading = name if name == "normal" else f"{name} failing ({status})"
    failures += report(heading, differences(status, lines, want_status, want))

if not printing:
    print(f"{len(runs) - failures} passed, {failures} failed")
sys.exit(1 if failures else 0)
