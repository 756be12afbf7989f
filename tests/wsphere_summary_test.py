"""wsphere-summary on the checked-in example reports and on small made-up ones."""

import csv
import io
import os
import subprocess
import sys
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TOOL = os.path.join(ROOT, "tools", "wsphere-summary")


def summary(*args, report=None):
    """Runs the tool; returns exit status, the CSV tables it printed, stderr."""
    done = subprocess.run([sys.executable, TOOL, "--csv", *args], input=report,
                          capture_output=True)
    tables = [list(csv.reader(io.StringIO(part)))
              for part in done.stdout.decode("utf-8").split("\n\n") if part]
    return done.returncode, tables, done.stderr.decode("utf-8")


def example(name):
    return os.path.join(ROOT, "examples", name, "output.txt")


def made_up(*lines):
    """A report of the given lines, as the program writes them."""
    return "".join(line + "\r\n" for line in lines).encode("cp1251")


def row(n, name, w, compliance="0.00"):
    return f" {n:5d}       {name:<6}          {w:>10}     {compliance:>6} %"


def summary_line(symbol, mean, sigma):
    return f"  атом  {symbol:>6} : среднее W - {mean}   сигма - {sigma}"


KIND_HEADER = ["kind", "atoms", "mean W", "sigma", "min W", "max W"]
W_TABLE = "   no.        имя             среднее - W        податливость"
BY_KIND = "   Значения W по атомам:"


class ExampleReports(unittest.TestCase):
    def test_kinds(self):
        cases = {  # quartz has no summary lines and no Al atom; Ca and D of lawsonite have no kind
            "quartz": [["Si", "3", "0.05610", "0.00000", "0.05610", "0.05610"],
                       ["O", "6", "0.06719", "0.00001", "0.06718", "0.06719"]],
            "kyanite": [["Si", "4", "0.00028", "0.00002", "0.00027", "0.00030"],
                        ["Al", "8", "0.00032", "0.00003", "0.00029", "0.00036"],
                        ["O", "20", "0.00035", "0.00003", "0.00030", "0.00042"]],
            "lawsonite": [["Si", "8", "0.00013", "0.00001", "0.00012", "0.00015"],
                          ["Al", "8", "0.00013", "0.00003", "0.00010", "0.00015"],
                          ["O", "40", "0.00016", "0.00002", "0.00012", "0.00018"]],
        }
        for name, kinds in cases.items():
            with self.subTest(name):
                status, tables, _ = summary("--only", "kinds", example(name))
                self.assertEqual(status, 0)
                self.assertEqual(tables, [[KIND_HEADER] + kinds])

    def test_largest_follow_the_ordered_table_backwards(self):
        status, tables, _ = summary("--only", "largest", "--top", "5", example("lawsonite"))
        self.assertEqual(status, 0)
        self.assertEqual([r[:3] for r in tables[0][1:]],
                         [["1", "68", "D8"], ["2", "66", "D6"], ["3", "65", "D5"],
                          ["4", "67", "D7"], ["5", "73", "D13"]])

    def test_default_is_a_table_with_both_parts(self):
        done = subprocess.run([sys.executable, TOOL, example("kyanite")],
                              capture_output=True, text=True)
        # Title, header and 3 kinds; a gap; title, header and 10 atoms.
        self.assertEqual(done.stdout.count("\n"), 5 + 1 + 12)
        self.assertTrue(done.stdout.startswith("W by kind\nkind  atoms   mean W    sigma"))


class MadeUpReports(unittest.TestCase):
    def test_w_table_alone_keeps_input_order_drops_nan_and_ranks_asterisks_first(self):
        report = made_up(W_TABLE, "", row(1, "Si1", "0.00100"),
                         row(2, "O1", " NaN      ", " NaN  "), row(3, "O2", "**********"),
                         row(4, "Si2", "0.00100"))
        status, tables, _ = summary("-", report=report)
        self.assertEqual(status, 0)
        self.assertEqual(tables[0], [KIND_HEADER])
        self.assertEqual([r[1:3] for r in tables[1][1:]], [["3", "O2"], ["1", "Si1"], ["4", "Si2"]])

    def test_kinds_without_summary_lines_are_computed_and_named_after_their_atoms(self):
        report = made_up(BY_KIND, "", row(1, "Si1", "0.00100"), row(2, "Si2", "0.00300"), "", "",
                         row(1, "Al1", "0.00200"), "", "", row(1, "O1", " NaN      ", "0.00"))
        _, tables, _ = summary("--only", "kinds", "-", report=report)
        self.assertEqual(tables[0][1:], [["Si", "2", "0.00200", "0.00141", "0.00100", "0.00300"],
                                         ["Al", "1", "0.00200", "NaN", "0.00200", "0.00200"],
                                         ["O", "1", "NaN", "NaN", "", ""]])

    def test_summary_lines_alone_give_the_kinds_without_counts(self):
        # An empty kind: the mean is 0/0 and the sigma the square root of -0.0.
        report = made_up(summary_line("Si", "   0.00028", "   0.00002"), "", "",
                         summary_line("Al", " NaN      ", "   0.00000"))
        _, tables, _ = summary("--only", "kinds", "-", report=report)
        self.assertEqual(tables[0][1:], [["Si", "", "0.00028", "0.00002", "", ""],
                                         ["Al", "", "NaN", "0.00000", "", ""]])

    def test_report_without_w_values_is_an_error(self):
        tables_only = os.path.join(ROOT, "tests", "data", "example_tables.expected")
        status, tables, err = summary(tables_only)
        self.assertEqual((status, tables), (1, []))
        self.assertIn("holds no W values", err)


if __name__ == "__main__":
    unittest.main()
