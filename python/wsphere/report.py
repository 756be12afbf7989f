"""The tables of a report written by wsphere (output.txt: Windows-1251, CR LF).

Only the standard library is used here, so wsphere-summary runs on any Python 3.

Where the numbers come from:
  - the kinds come from the per-kind lists (report switch 9) and the per-kind
    summary lines (switch 10). Mean and sigma are those of the summary lines
    when the report has them, otherwise they are computed from the listed W
    values. A kind without a summary line is named after the leading letters of
    its first atom; a kind without atoms appears only through its summary line.
  - the atoms of largest W come from the ordered table (switch 8), whose
    order breaks ties between equal printed W, or from the W table (switch 7)
    when the ordered table is off, equal W then keeping the input order. The
    atom numbers come from the W table. Atoms whose W is NaN (no neighbour in
    the sphere) are left out.
Values are kept as the report prints them (five decimals); `value()` reads one.
"""

import math
import os
import re

W_TABLE = "W table"
ORDERED = "ordered table"
KIND_LISTS = "kind lists"

# Headings that open the sections of the report holding W rows.
SECTION_HEADINGS = (
    ("no.        имя             среднее - W", W_TABLE),
    ("Упорядоченные значения по W", ORDERED),
    ("Значения W по атомам:", KIND_LISTS),
)

# A row of a W list: number (I5), name (A6), W (F10.5), compliance (F6.2 or F5.2).
ROW = re.compile(r"^ (.{5}) {7}(.{6}) {10}(.{10}) {5}(.{5,6}) %$")
# A per-kind summary line: symbol, mean W and sigma.
SUMMARY = re.compile(r"^  атом  (.{6}) : среднее W - (.{10})   сигма - (.{10})$")


class Kind:
    """One kind of the report: its symbol, its listed rows and the text of its
    summary line's mean and sigma (None without a summary line)."""

    def __init__(self):
        self.symbol = None
        self.rows = []
        self.mean = None
        self.sigma = None


def value(text):
    """The value of a report field; asterisks (too large for the field) count as infinite."""
    text = text.strip()
    if text and set(text) == {"*"}:
        return math.inf
    return float(text)


def row_of(match):
    number_text, name, w, compliance = match.groups()
    return {"number": int(number_text), "name": name.strip(), "w": w.strip(),
            "compliance": compliance.strip()}


def identity(row):
    return row["name"], row["w"], row["compliance"]


class Report:
    """The W rows of a report's tables. `w_rows[W_TABLE]` and
    `w_rows[ORDERED]` hold rows {number, name, w, compliance} as printed;
    `kinds` the kinds with their rows."""

    def __init__(self, text):
        self.w_rows = {W_TABLE: [], ORDERED: []}
        self.kinds = []
        self.has_kind_lists = False
        section = None
        current = None
        for line in text.split("\n"):
            line = line.rstrip("\r")
            for heading, name in SECTION_HEADINGS:
                if heading in line:
                    section = name
                    self.has_kind_lists |= name == KIND_LISTS
            row_match = ROW.match(line)
            summary = SUMMARY.match(line)
            if row_match and section in self.w_rows:
                self.w_rows[section].append(row_of(row_match))
            elif row_match and section == KIND_LISTS:
                row = row_of(row_match)
                # Each kind list counts its atoms from 1.
                if current is None or (row["number"] == 1 and current.rows):
                    self._close(current)
                    current = Kind()
                current.rows.append(row)
            elif summary:
                current = current or Kind()
                current.symbol = summary.group(1).strip()
                current.mean, current.sigma = summary.group(2).strip(), summary.group(3).strip()
                self._close(current)
                current = None
        self._close(current)

    def _close(self, kind):
        if kind is None:
            return
        if kind.symbol is None:
            kind.symbol = leading_letters(kind.rows[0]["name"])
        self.kinds.append(kind)

    def has_w(self):
        return bool(self.kinds or self.w_rows[W_TABLE] or self.w_rows[ORDERED])

    def atoms(self):
        """Every atom the report lists with its W: (number, name, kind symbol,
        W, compliance) with values as floats, in the order of the W table
        (else of the kind lists). The kind is that of the kind list holding
        the atom, else the leading letters of its name."""
        kind_of = {}
        for kind in self.kinds:
            for row in kind.rows:
                kind_of.setdefault(identity(row), kind.symbol)
        rows = self.w_rows[W_TABLE] or self.w_rows[ORDERED]
        if not rows:
            rows = [dict(row, number="") for kind in self.kinds for row in kind.rows]
        return [(row["number"], row["name"], kind_of.get(identity(row), leading_letters(row["name"])),
                 value(row["w"]), value(row["compliance"])) for row in rows]

    def largest(self, count):
        """The `count` atoms of largest W: rank, atom number, name, W, compliance."""
        rows = self.w_rows[W_TABLE]
        if self.w_rows[ORDERED]:
            # The ordered table is sorted on the full W, so its reverse breaks the
            # ties of the five printed decimals the way the program does. Its first
            # column is a rank: the atom numbers come from the W table.
            numbers = {}
            for row in rows:
                numbers.setdefault(identity(row), []).append(row["number"])
            rows = []
            for row in reversed(self.w_rows[ORDERED]):
                left = numbers.get(identity(row), [])
                rows.append(dict(row, number=left.pop(0) if left else ""))
        ranked = [row for row in rows if not math.isnan(value(row["w"]))]
        ranked.sort(key=lambda row: value(row["w"]), reverse=True)
        return [[rank, row["number"], row["name"], row["w"], row["compliance"]]
                for rank, row in enumerate(ranked[:count], start=1)]

    def kind_rows(self):
        """Per kind: symbol, atoms, mean W, sigma, min W, max W (as printed)."""
        return [kind_statistics(kind, self.has_kind_lists) for kind in self.kinds]


def leading_letters(name):
    leading = re.match(r"[^\W\d_]+", name)
    return leading.group(0) if leading else name


def fixed(number):
    if math.isnan(number):
        return "NaN"
    if math.isinf(number):
        return "Infinity" if number > 0 else "-Infinity"
    return f"{number:.5f}"


def kind_statistics(kind, listed):
    values = [value(row["w"]) for row in kind.rows]
    mean, sigma = kind.mean, kind.sigma
    if mean is None:
        n = len(values)
        mean_value = math.fsum(values) / n
        deviations = math.fsum((mean_value - w) ** 2 for w in values)
        mean = fixed(mean_value)
        sigma = fixed(math.sqrt(deviations / (n - 1)) if n > 1 else math.nan)
    printed = [(w, row["w"]) for w, row in zip(values, kind.rows) if not math.isnan(w)]
    low = min(printed)[1] if printed else ""
    high = max(printed)[1] if printed else ""
    return [kind.symbol, len(values) if listed else "", mean, sigma, low, high]


def read_report(source):
    """The tables of a report: a path, or the report's bytes."""
    if isinstance(source, (bytes, bytearray, memoryview)):
        data = bytes(source)
    else:
        with open(os.fspath(source), "rb") as stream:
            data = stream.read()
    return Report(data.decode("cp1251", errors="replace"))
