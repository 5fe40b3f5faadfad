#!/usr/bin/env python3
"""The mutation command: applies each single-point fault of a catalogue
(tests/mutants.txt for src/, tests/winsubset_mutants.txt for the Win32 subset)
alone, rebuilds the native preset, runs its tests, and prints which faults
the tests caught and which survived; the table also goes to the catalogue's
section of docs/mutation.md. Exits non-zero when fewer than --threshold
percent are caught. The tests start the displays they need (CTest fixtures).

Usage: mutate.py [--catalogue FILE] [--threshold PERCENT] [--only TEXT] [--tests REGEX]"""
import argparse
import datetime
import os
import pathlib
import re
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent


def load_mutants(path):
    """The catalogue's blocks: (file, what, why it is equivalent, find, replace)."""
    mutants = []
    lines = path.read_text().split("\n")
    i = 0
    while i < len(lines):
        line = lines[i]
        if not line.startswith("== "):
            i += 1
            continue
        parts = [part.strip() for part in line[3:].split("|")]
        file, what = parts[0], parts[1]
        # A third part explains why a fault makes no observable difference.
        reason = parts[2] if len(parts) > 2 else ""
        i += 1
        find = []
        while lines[i] != "--":
            find.append(lines[i])
            i += 1
        i += 1
        replace = []
        while i < len(lines) and lines[i] != "":
            replace.append(lines[i])
            i += 1
        mutants.append((file, what, reason, "\n".join(find), "\n".join(replace)))
    return mutants


def run(command, timeout):
    """The exit status and output; "timeout" for the status when the command
    had to be ended."""
    try:
        done = subprocess.run(command, cwd=ROOT, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, text=True, timeout=timeout)
        return done.returncode, done.stdout
    except subprocess.TimeoutExpired as expired:
        output = expired.stdout or ""
        return "timeout", output if isinstance(output, str) else output.decode(errors="replace")


def timed_out_tests(output):
    """The tests CTest ended at their time limit: a hang no assertion of the
    test's own turned into a failure."""
    return re.findall(r"Test +#\d+: (\S+) \.*\*\*\*Timeout", output)


def outcome(build, test, reason):
    """What the tests made of the tree as it is now: caught, survived, or
    timed out (a build or test run that had to be ended, or a test that
    only CTest's limit ended, proves nothing about the fault)."""
    status, _ = run(build, 900)
    if status == "timeout":
        return "timed out (build)"
    if status != 0:
        return "caught (build)"
    status, output = run(test, 900)
    if status == "timeout":
        return "timed out (test run)"
    hung = timed_out_tests(output)
    if hung:
        return "timed out (" + ", ".join(hung) + ")"
    if status != 0:
        return "caught"
    return f"survived: equivalent, {reason}" if reason else "survived"


def summarise(rows):
    """One line: the score counts every fault of the catalogue, so a fault
    that was not applied or whose run timed out counts as not caught."""
    def count(prefix):
        return sum(1 for row in rows if row[2].startswith(prefix))
    caught = count("caught")
    score = 100.0 * caught / len(rows) if rows else 0.0
    survived = count("survived")
    return score, (f"{caught} of {len(rows)} faults caught ({score:.1f} %); "
                   f"{survived} survived ({count('survived: equivalent')} of them making no "
                   f"observable difference), {count('not applied')} not applied (text not "
                   f"found once), {count('timed out')} timed out")


def write_section(catalogue, body):
    """docs/mutation.md keeps one section per catalogue; this one's is replaced."""
    path = ROOT / "docs/mutation.md"
    text = path.read_text() if path.exists() else ""
    heading = f"## {catalogue}"
    sections = {}
    order = []
    current = None
    for line in text.split("\n"):
        if line.startswith("## "):
            current = line
            order.append(current)
            sections[current] = []
        elif current is not None:
            sections[current].append(line)
    if heading not in sections:
        order.append(heading)
    sections[heading] = ["", body]
    out = ["# Mutation score", ""]
    for name in order:
        out.append(name)
        out.extend(sections[name])
    path.write_text("\n".join(out).rstrip("\n") + "\n")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--catalogue", default="tests/mutants.txt",
                        help="the faults to apply, relative to the repository")
    parser.add_argument("--threshold", type=float, default=90.0)
    parser.add_argument("--only", default="", help="only the faults whose file or text contains this")
    # valgrind's run takes minutes and sees nothing the others do not; the
    # cases and traces of the Windows exes run exes a fault in the native
    # build does not reach; the package tests install what the build made,
    # which the other tests have already run.
    parser.add_argument("--tests", default="Memcheck|/wine|ExeCallsUnderWine|Package",
                        help="ctest -E pattern of tests to leave out")
    args = parser.parse_args()

    mutants = [m for m in load_mutants(ROOT / args.catalogue)
               if args.only in m[0] or args.only in m[1]]
    build = ["cmake", "--build", "--preset", "native"]
    test = ["ctest", "--preset", "native", "-E", args.tests, "--stop-on-failure", "--timeout", "60"]
    if run(["cmake", "--preset", "native"], 300)[0] != 0 or run(build, 1800)[0] != 0:
        sys.exit("mutate: the native preset does not build without faults")
    status, output = run(test, 900)
    if status != 0:
        print(output)
        sys.exit("mutate: the native tests fail without faults")

    rows = []
    started = time.time()
    for number, (file, what, reason, find, replace) in enumerate(mutants, 1):
        path = ROOT / file
        original = path.read_text()
        if original.count(find) != 1:
            rows.append((file, what, "not applied (text not found once)"))
            print(f"[{number}/{len(mutants)}] {file}: {what}: NOT APPLIED", flush=True)
            continue
        try:
            path.write_text(original.replace(find, replace))
            result = outcome(build, test, reason)
        finally:
            path.write_text(original)
        rows.append((file, what, result))
        print(f"[{number}/{len(mutants)}] {file}: {what}: {result} "
              f"({time.time() - started:.0f} s)", flush=True)
    run(build, 1800)

    score, summary = summarise(rows)
    table = ["| file | fault | result |", "|---|---|---|"]
    table += [f"| `{file}` | {what} | {result} |" for file, what, result in rows]
    # The faults that proved nothing, each on a line of its own under the
    # summary, where a reader of the score sees them.
    unproven = [f"- {result}: `{file}`, {what}" for file, what, result in rows
                if result.startswith(("not applied", "timed out"))]
    print("\n".join(table))
    print(f"mutate: {summary}")
    print("\n".join(unproven))
    if not args.only:
        write_section(args.catalogue, (
            f"`scripts/mutate.sh --catalogue {args.catalogue}` on {datetime.date.today()}: "
            f"each fault applied alone, the native preset rebuilt and its tests run (all but "
            f"`{args.tests}`).\n\n**{summary}.**\n\n" + "".join(line + "\n" for line in unproven)
            + ("\n" if unproven else "") + "\n".join(table) + "\n"))
    sys.exit(0 if score >= args.threshold else 1)


if __name__ == "__main__":
    main()
