"""What the trace tests share: the expected file's runs, and how a traced run
is held to its expected one."""
import os


def sections(text):
    """The expected file's '== NAME STATUS' headings, each with its status and
    lines; comments and blank lines left out."""
    result, name = {}, None
    for line in text.splitlines():
        if line.startswith("#") or not line.strip():
            continue
        if line.startswith("== "):
            name, status = line[3:].rsplit(" ", 1)
            result[name] = (int(status), [])
        else:
            result[name][1].append(line)
    return result


def differences(status, lines, want_status, want):
    """What is wrong with a traced run: its exit status, and the first call
    that differs, with its neighbours on both sides."""
    problems = []
    if status != want_status:
        problems.append(f"exit status {status}, expected {want_status}")
    if lines != want:
        first = next((i for i, (a, b) in enumerate(zip(lines, want)) if a != b),
                     min(len(lines), len(want)))
        problems.append(f"call {first + 1} differs:")
        for label, source in (("expected", want), ("traced", lines)):
            problems.append(f"  {label}:")
            for i in range(max(0, first - 3), min(len(source), first + 4)):
                problems.append(f"  {'>' if i == first else ' '} {source[i]}")
    return problems


def report(heading, problems):
    """Prints the run's result; True when it failed."""
    print(f"[{'ok' if not problems else 'FAILED'}] {heading}")
    for problem in problems:
        print("    " + problem)
    return bool(problems)


def fixture_display(name):
    """The display the CTest fixture `name` started ("glx", "noglx"), or
    None when it is not running."""
    try:
        with open(os.path.join(os.environ.get("OPENGL_TEST_FIXTURE_DIR", ""), name + ".display")) as f:
            return f.read().strip() or None
    except OSError:
        return None
