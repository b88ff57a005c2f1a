#!/usr/bin/env python3
"""The benchmark's table from the figures tools/bench.sh gathered.

Usage: bench_figures.py FIGURES

FIGURES holds one `name value` line per figure of a run (the value is the rest of the line),
the runs one after another, and the facts of the machine once. The table goes to stdout: each
figure the median of its runs with min-max beside it. A process's share of one core is worked
out here only: processor clock ticks over wall-clock seconds, run by run.
"""

import sys
from collections import defaultdict

SIDES = (("x64", "64-bit"), ("x86", "32-bit"))


def read_figures(lines):
    figures = defaultdict(list)
    for line in lines:
        name, _, value = line.rstrip("\n").partition(" ")
        if name:
            figures[name].append(value)
    return figures


def median(values):
    """The middle one; of an even number, the lower of the two middle ones."""
    return sorted(values)[(len(values) - 1) // 2]


class Table:
    def __init__(self, figures):
        self.figures = figures
        self.hz = float(self.text("clock_ticks_per_s") or 100)
        self.bare_median = None
        self.rows = []

    def text(self, name):
        values = self.figures.get(name)
        return values[-1] if values else ""

    def numbers(self, *names):
        """The runs' figures of a name; of several names, each run's sum."""
        columns = [[float(v) for v in self.figures.get(n, [])] for n in names]
        return [sum(run) for run in zip(*columns)]

    def share(self, tick_names, seconds_name):
        """% of one core in each run: the processes' ticks over the run's seconds."""
        ticks = self.numbers(*tick_names)
        return [100 * t / self.hz / s for t, s in zip(ticks, self.numbers(seconds_name)) if s > 0]

    def row(self, label, digits, values):
        if not values:
            self.rows.append(f"| {label} | – | – |")
            return
        f = f"{{:.{digits}f}}"
        low, high = f.format(min(values)), f.format(max(values))
        self.rows.append(f"| {label} | {f.format(median(values))} | {low}–{high} |")

    def note(self, label, text):
        self.rows.append(f"| {label} | {text} | |")

    def failures(self, who):
        failed = self.figures.get("failed_" + who)
        if failed:
            self.note("– paced writes that did not finish", "; ".join(failed))

    def paced(self, label, who):
        """The rows of a paced write; the bare client's median for the other writers."""
        seconds = self.numbers(who + "_s")
        limit = float(self.text("line_limit_s"))
        self.row(f"paced write, {label} (s)", 2, seconds)
        self.row("– ratio to the line limit", 3, [s / limit for s in seconds])
        if who == "bare":
            self.bare_median = median(seconds) if seconds else None
        else:
            bare = self.bare_median
            self.row("– ratio to the bare client", 3, [s / bare for s in seconds] if bare else [])


    def ratios(self, of, to):
        """Each run of one figure over the median of another."""
        base = self.numbers(to)
        return [v / median(base) for v in self.numbers(of)] if base else []

    def dm730_rows(self):
        self.row("dm730 paced firmware write, quiet (s)", 2, self.numbers("cli_quiet_s"))
        self.failures("cli_quiet")
        runs = self.text("cli_loaded_runs")
        if runs:
            self.note("dm730 paced writes with 3 busy processes that ended",
                      f"{self.text('cli_loaded_ended')} of {runs}")
        self.row("– their time to the quiet one", 3, self.ratios("cli_loaded_s", "cli_quiet_s"))
        self.failures("cli_loaded")
        self.row("dm730 paced write, one controller, wall clock (s)", 2, self.numbers("many1_s"))
        self.failures("many1")
        self.row("dm730 paced writes, 4 controllers in one command (s)", 2, self.numbers("many4_s"))
        self.row("– time to one controller", 3, self.ratios("many4_s", "many1_s"))
        self.row("– CPU per controller, one (% of one core)", 2,
                 self.share(["many1_ticks"], "many1_s"))
        self.row("– CPU per controller, 4 in one command (% of one core)", 2,
                 [s / 4 for s in self.share(["many4_ticks"], "many4_s")])
        self.failures("many4")
        self.row("dm730 paced restore, clean (s)", 1, self.numbers("restore_clean_s"))
        self.failures("restore_clean")
        self.row("dm730 paced restore, --noise-rate 0.01 (s)", 1, self.numbers("restore_noisy_s"))
        self.row("– blocks tried again", 0, self.numbers("restore_noisy_retried"))
        self.row("– time to the clean one", 3, self.ratios("restore_noisy_s", "restore_clean_s"))
        self.failures("restore_noisy")


def render(figures):
    t = Table(figures)
    t.rows += ["| measurement | median | min–max |", "|---|---|---|"]
    t.row("engine write, native, unpaced (blocks/s)", 0, t.numbers("engine_write"))
    t.row("engine read, native, unpaced (blocks/s)", 0, t.numbers("engine_read"))
    t.paced("bare client", "bare")
    t.failures("bare")
    t.paced("native engine", "native")
    t.row("– CPU of the engine (% of one core)", 1, t.share(["native_ticks"], "native_wall_s"))
    t.failures("native")
    t.paced("dm730, trace kept", "cli")
    t.failures("cli")
    t.paced("dm730 --json", "cli_json")
    t.row("– ratio to dm730 without --json", 3, t.ratios("cli_json_s", "cli_s"))
    t.failures("cli_json")
    for arch, bits in SIDES:
        name = f"Wine {bits} program"
        w = "wine_" + arch
        if t.text("skipped_" + arch) and not t.numbers(w + "_s"):
            t.note(f"paced write, {name}", t.text("skipped_" + arch))
            continue
        t.paced(name, w)
        program, server = w + "_program_ticks", w + "_server_ticks"
        t.row("– CPU of the program (% of one core)", 1, t.share([program], w + "_wall_s"))
        t.row("– CPU of the wineserver (% of one core)", 1, t.share([server], w + "_wall_s"))
        t.row("– CPU of both (% of one core)", 1, t.share([program, server], w + "_wall_s"))
        i = "idle_" + arch
        both = [i + "_program_ticks", i + "_server_ticks"]
        t.row(f"idle, {name} + wineserver (% of one core)", 1, t.share(both, i + "_wall_s"))
        t.row("– of which the program (% of one core)", 1, t.share(both[:1], i + "_wall_s"))
        t.failures(arch)
    t.dm730_rows()
    t.row("detection per silent port, native (s)", 3, t.numbers("detect_native"))
    for arch, bits in SIDES:
        label = f"detection per silent port, Wine {bits} program"
        detected = t.numbers("detect_" + arch)
        if detected:
            t.row(label + " (s)", 3, detected)
        else:
            why = t.text("skipped_" + arch) or t.text("detection_failed_" + arch) or "not run"
            t.note(label, why)

    head = [
        f"Selvo bench: {t.text('cores')} cores, {t.text('wine')}, load average at start "
        f"{t.text('load')}; {t.text('seconds')} s in all."
    ]
    if t.text("program"):
        head.append(f"Program under Wine: {t.text('program')}.")
    head += [
        f"Each figure is the median of {t.text('runs')} runs (min–max beside it). Paced: the "
        "firmware region (512 blocks) written",
        f"to dm730sim --line-rate (line limit {t.text('line_limit_s')} s), with one "
        "`nice -n 19` busy process beside it.",
        "",
    ]
    return "\n".join(head + t.rows) + "\n"


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__.split("\n\n")[1])
    with open(sys.argv[1], encoding="utf-8", errors="replace") as lines:
        sys.stdout.buffer.write(render(read_figures(lines)).encode("utf-8"))
