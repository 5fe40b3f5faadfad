#!/usr/bin/env python3
"""The bench command's table: reads the results file that scripts/bench.sh
writes and prints, for each comparison, the medians of each side over the
rounds, the median of the rounds' ratios with its range, and the counts per
frame. Every baseline is one measured in the same run.
Usage: bench_table.py RESULTS FRAMES RUNS LONG_FRAMES"""
import statistics, sys

timed, counts, instructions, notes = [], [], [], {}
for line in open(sys.argv[1]):
    words = line.split()
    if not words:
        continue
    fields = dict(part.split("=", 1) for part in words[1:])
    if words[0] == "note":
        notes.update(fields)
        continue
    if words[0] == "bench":
        fields["launch_ms"] = (int(fields["first_swap_epoch_us"]) - int(fields["launched_us"])) / 1000
        fields["server_cpu_us_per_frame"] = float(fields["server_cpu_us"]) / int(fields["frames"])
    {"bench": timed, "count": counts, "instructions": instructions}[words[0]].append(fields)
frames, runs, long_frames = sys.argv[2], int(sys.argv[3]), sys.argv[4]
layer = notes.get("x11_program_layer", "?")

NAMES = {
    "x11_program": f"program on X11 ({layer})",
    "x11_glx": "raw GLX on X11",
    "x11_egl": "raw EGL on X11",
    "wayland_program": "program on Wayland",
    "wayland_egl": "raw EGL on Wayland",
    "wine_program": "program under Wine",
    "wine_wgl": "raw WGL under Wine",
}
# (measured, baseline, held to 2 %): the program's own layer must stay within
# 2 % of the raw EGL loop on each window system.
COMPARISONS = [
    ("x11_program", "x11_egl", True),
    ("x11_program", "x11_glx", False),
    ("x11_egl", "x11_glx", False),
    ("wayland_program", "wayland_egl", True),
    ("wine_program", "wine_wgl", False),
]
TIMED = [
    ("fps", "frames per second", "{:.1f}", +1),
    ("cpu_us_per_frame", "CPU time per frame, all threads, µs", "{:.1f}", -1),
    ("server_cpu_us_per_frame", "display server's CPU time per frame, whole run, µs", "{:.1f}", -1),
    ("first_swap_ms", "main() to first swap, ms", "{:.1f}", -1),
    ("launch_ms", "launch to first swap, ms", "{:.1f}", -1),
]


def value(loop, tag, key):
    for r in timed:
        if r["loop"] == loop and r["tag"] == tag:
            return float(r[key])
    return float("nan")


def measured(loop):
    return any(r["loop"] == loop for r in timed)


def median(loop, key):
    return statistics.median(value(loop, str(i), key) for i in range(1, runs + 1))


def paired(a, b, key):
    left = [value(a, str(i), key) for i in range(1, runs + 1)]
    right = [value(b, str(i), key) for i in range(1, runs + 1)]
    # A short run may take no whole tick of the server's CPU time: such a
    # round gives no ratio.
    ratios = [p / r for p, r in zip(left, right) if r != 0] or [float("nan")]
    return (statistics.median(left), statistics.median(right), statistics.median(ratios),
            min(ratios), max(ratios))


def per_frame(rows, loop, key):
    pair = sorted((r for r in rows if r["loop"] == loop), key=lambda r: int(r["frames"]))
    if len(pair) < 2:
        return None
    return (float(pair[-1][key]) - float(pair[0][key])) / (int(pair[-1]["frames"]) - int(pair[0]["frames"]))


def ratio_of(p, r):
    # Counts of zero on both sides are equal; anything over zero is not.
    if r == 0:
        return "equal" if p == 0 else "—"
    return f"{p / r:.3f}"


def growth(loop):
    return value(loop, "long", "rss_after_kb") - value(loop, "long", "rss_before_kb")


print(f"{runs} rounds of {frames} frames (the first 200 untimed); medians, and the median of the")
print("rounds' ratios (left / baseline) with its range")
for a, b, budget in COMPARISONS:
    if not measured(b) and not measured(a):
        continue
    print()
    # The budget is for the program's EGL layer; on GLX the row only shows
    # where it starts from.
    if budget and a == "x11_program" and layer != "EGL":
        budget = False
        print(f"### {NAMES[a]} / {NAMES[b]} (held to 2 % once the program is on EGL)")
    else:
        print(f"### {NAMES[a]} / {NAMES[b]}" + (" (held to 2 %)" if budget else ""))
    print()
    both = measured(a) and measured(b)
    print(f"| figure | {NAMES[a]} | {NAMES[b]} | ratio (range) |")
    print("|---|---|---|---|")
    over = []
    for key, name, form, better in TIMED:
        if both:
            p, r, ratio, low, high = paired(a, b, key)
            print(f"| {name} | {form.format(p)} | {form.format(r)} | {ratio:.3f} ({low:.3f}–{high:.3f}) |")
            if budget and key in ("fps", "cpu_us_per_frame") and (ratio - 1) * better < -0.02:
                over.append(name)
        else:
            cells = [form.format(median(loop, key)) if measured(loop) else "—" for loop in (a, b)]
            print(f"| {name} | {cells[0]} | {cells[1]} | — |")
    native = not a.startswith("wine")
    if native:
        server = "Wayland" if a.startswith("wayland") else "X"
        for key, name, form in (("allocations_per_frame", "heap allocations per frame", "{:.3f}"),
                                ("requests_per_frame", f"{server} requests per frame", "{:.3f}"),
                                ("round_trips_per_frame", f"{server} round trips per frame", "{:.3f}"),
                                ("round_trips_to_first_swap", f"{server} round trips to the first swap",
                                 "{:.0f}")):
            if both:
                p, r = median(a, key), median(b, key)
                print(f"| {name} | {form.format(p)} | {form.format(r)} | {ratio_of(p, r)} |")
            else:
                cells = [form.format(median(loop, key)) if measured(loop) else "—" for loop in (a, b)]
                print(f"| {name} | {cells[0]} | {cells[1]} | — |")
        p, r = per_frame(instructions, a, "total"), per_frame(instructions, b, "total")
        if p is not None or r is not None:
            cells = [f"{x:,.0f}" if x is not None else "—" for x in (p, r)]
            ratio = f"{p / r:.4f}" if p is not None and r is not None else "—"
            print(f"| instructions per frame, all threads (callgrind) | {cells[0]} | {cells[1]} | {ratio} |")
            if budget and p is not None and r is not None and p / r > 1.02:
                over.append("instructions per frame")
    else:
        for key, name in (("windows_heap", "Windows heap allocations per frame"),
                          ("host_allocations", "host heap allocations per frame (Mesa, Xlib, Wine's host side)"),
                          ("requests", "X requests per frame"),
                          ("round_trips", "X round trips per frame")):
            p, r = per_frame(counts, a, key), per_frame(counts, b, key)
            if p is not None and r is not None:
                print(f"| {name} | {p:.3f} | {r:.3f} | {ratio_of(p, r)} |")
    cells = [f"{growth(loop):.0f}" if measured(loop) else "—" for loop in (a, b)]
    ratio = ratio_of(growth(a), growth(b)) if both else "—"
    print(f"| resident growth over {long_frames} frames, KB | {cells[0]} | {cells[1]} | {ratio} |")
    if budget and both:
        print()
        print("Over the 2 % budget (median ratio): " + (", ".join(over) if over else "nothing"))
