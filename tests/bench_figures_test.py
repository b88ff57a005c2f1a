#!/usr/bin/env python3
"""The benchmark's table from its `name value` lines: medians, shares of a core, notes."""
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
from bench_figures import read_figures, render  # noqa: E402

FACTS = "runs 4\nline_limit_s 35.07\nclock_ticks_per_s 100\n"

# The figures of the runs, and a row the table must hold.
CASES = [
    ("engine_write 900\nengine_write 700\nengine_write 800\nengine_write 1000\n",
     "| engine write, native, unpaced (blocks/s) | 800 | 700–1000 |"),
    ("bare_s 35\nbare_s 40\nbare_s 36\nnative_s 36\nnative_s 39.6\n",
     "| – ratio to the bare client | 1.000 | 1.000–1.100 |"),
    ("bare_s 35\ncli_s 35.35\n",
     "| paced write, dm730, trace kept (s) | 35.35 | 35.35–35.35 |"),
    ("bare_s 35\ncli_s 35.35\n", "| – ratio to the bare client | 1.010 | 1.010–1.010 |"),
    ("cli_s 35\ncli_json_s 35.35\n", "| – ratio to dm730 without --json | 1.010 | 1.010–1.010 |"),
    ("wine_x64_s 36\nwine_x64_program_ticks 100\nwine_x64_server_ticks 60\nwine_x64_wall_s 40\n"
     "wine_x64_s 36\nwine_x64_program_ticks 30\nwine_x64_server_ticks 10\nwine_x64_wall_s 20\n",
     "| – CPU of both (% of one core) | 2.0 | 2.0–4.0 |"),
    ("native_s 36\nnative_ticks 72\nnative_wall_s 36\n",
     "| – CPU of the engine (% of one core) | 2.0 | 2.0–2.0 |"),
    ("failed_bare run 1: a\nfailed_bare run 3: b\n",
     "| – paced writes that did not finish | run 1: a; run 3: b | |"),
    ("skipped_x86 not run: why\n", "| paced write, Wine 32-bit program | not run: why | |"),
    ("skipped_x86 not run: why\n",
     "| detection per silent port, Wine 32-bit program | not run: why | |"),
    ("detection_failed_x64 failed\n",
     "| detection per silent port, Wine 64-bit program | failed | |"),
    ("cli_quiet_s 35\ncli_quiet_s 36\ncli_loaded_s 35\ncli_loaded_s 37.8\n"
     "cli_loaded_ended 9\ncli_loaded_runs 10\n",
     "| – their time to the quiet one | 1.000 | 1.000–1.080 |"),
    ("cli_loaded_ended 9\ncli_loaded_runs 10\n",
     "| dm730 paced writes with 3 busy processes that ended | 9 of 10 | |"),
    ("many1_s 36\nmany1_s 35\nmany4_s 36\nmany4_s 37.8\n",
     "| – time to one controller | 1.029 | 1.029–1.080 |"),
    ("many4_s 36\nmany4_ticks 144\n",
     "| – CPU per controller, 4 in one command (% of one core) | 1.00 | 1.00–1.00 |"),
    ("failed_many4 run 2: exit 1, x\n", "| – paced writes that did not finish | run 2: exit 1, x |"
     " |"),
    ("restore_clean_s 560\nrestore_noisy_s 600\n",
     "| – time to the clean one | 1.071 | 1.071–1.071 |"),
]


class BenchFiguresTest(unittest.TestCase):
    def test_rows(self):
        for figures, row in CASES:
            with self.subTest(row=row):
                table = render(read_figures((FACTS + figures).split("\n")))
                self.assertIn(row, table.split("\n"))


if __name__ == "__main__":
    unittest.main()
