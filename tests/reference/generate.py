#!/usr/bin/python3
"""Random inputs for wsphere, for the differential test (difftest.py).

generate_case(rng) builds one test case: an input.txt (or None for a missing
file) and perhaps an earlier output.txt.  The values are chosen first (cells,
atoms, kinds, switches) and then rendered with a random but legal choice of
number forms, separators, repeat counts, null values, line ends and blank lines,
so that many different byte forms of the same content reach the reader.  Some
cases are then damaged on purpose to reach every message that the content of
input.txt can trigger (24, 59, 64, 161, the square-root error).

Command line, to look at the cases:

    generate.py --seed S --count N --out DIR [--first K] [--max-atoms M]

writes DIR/<case>/input.txt, DIR/<case>/output.txt (the earlier report, when the
case has one) and DIR/<case>/case.txt (name and category).  Case k depends only
on the seed and k.
"""

import argparse
import math
import os
import random
import struct
from dataclasses import dataclass, field
from decimal import Decimal
from typing import List, Optional

# ---------------------------------------------------------------------------
# The case and the category mix
# ---------------------------------------------------------------------------


@dataclass
class Case:
    name: str
    category: str
    input_bytes: Optional[bytes]
    old_output: Optional[bytes] = None
    note: str = ""


# category -> weight (per cent of the cases, roughly)
CATEGORIES = [
    ("oblique", 24.0),      # triclinic cells, all angles away from 90 degrees
    ("realistic", 8.0),     # the usual crystal systems, small displacements
    ("degenerate", 4.0),    # angles near 0/180, angle sums near 360, odd edges
    ("faces", 6.0),         # coordinates jumping across faces, the correction
    ("exact", 6.0),         # radius / bond limit exactly on a member distance
    ("ties", 5.0),          # equal W values, duplicated atoms, NaN keys
    ("kinds", 7.0),         # kind symbols and names
    ("special", 7.0),       # NaN, Infinity, asterisks and message 63
    ("switches", 3.0),      # switch values 0, 1, 2, -1 in all combinations
    ("format", 8.0),        # heavy use of the odd but legal token forms
    ("counts", 3.0),        # N = 0, negative N, K <= 0, K = 1, K = 10
    ("big", 0.4),           # 100 to 1000 atoms
    ("limit161", 1.6),      # 11 kinds, 1001 atoms
    ("matherr", 2.0),       # impossible cells: square root of a negative value
    ("eof24", 5.0),         # empty, truncated and shifted files
    ("syntax59", 4.0),      # bad characters in numbers, long texts
    ("conv64", 3.0),        # numbers of legal characters that are no numbers
    ("edge_numbers", 2.0),  # number forms at the edges of the conversion
    ("missing", 1.0),       # no input.txt at all
]

# ---------------------------------------------------------------------------
# Single precision, as the program stores its reals
# ---------------------------------------------------------------------------


def f32(x):
    try:
        return struct.unpack("<f", struct.pack("<f", x))[0]
    except OverflowError:
        return math.copysign(math.inf, x)


def f32_next(x, up):
    """The neighbouring single-precision value of x (x finite, not 0)."""
    (i,) = struct.unpack("<i", struct.pack("<f", x))
    if (x > 0) == up:
        i += 1
    else:
        i -= 1
    return struct.unpack("<f", struct.pack("<i", i))[0]


DEG = f32(0.017453292)


def g9(x):
    """Plain decimal text that reads back as the single-precision value x."""
    return plain(Decimal("%.9g" % x))


def plain(d):
    s = format(Decimal(d), "f")
    if s.startswith("-") and Decimal(s) == 0:
        s = s[1:]
    return s


def fx(x, nd):
    s = "%.*f" % (nd, x)
    if s.startswith("-") and float(s) == 0.0:
        s = s[1:]
    return s


def val(s):
    return f32(float(s))


def metric(cell):
    a, b, c, al, be, ga = (val(v) for v in cell)
    aa = f32(a * a)
    bb = f32(b * b)
    cc = f32(c * c)
    ab = f32(f32(a * 2.0 * b) * math.cos(ga * DEG))
    ac = f32(f32(a * 2.0 * c) * math.cos(be * DEG))
    bc = f32(f32(b * 2.0 * c) * math.cos(al * DEG))
    return aa, bb, cc, ab, ac, bc


def qdist(m, dx, dy, dz):
    aa, bb, cc, ab, ac, bc = m
    dx2 = f32(dx * dx)
    dy2 = f32(dy * dy)
    dz2 = f32(dz * dz)
    return aa * dx2 + bb * dy2 + cc * dz2 + (dy * dx) * ab + (dz * dx) * ac + (dz * dy) * bc


def member_q0(cell, atoms, limit=None):
    """Squared initial distances (single precision) of every centre / block
    atom pair that passes the self test, as (q0, i, j, shift)."""
    m = metric(cell)
    pos = [(val(a[2]), val(a[3]), val(a[4])) for a in atoms]
    out = []
    for i, (xi, yi, zi) in enumerate(pos):
        for j, (xj, yj, zj) in enumerate(pos):
            for sa in (-1, 0, 1):
                for sb in (-1, 0, 1):
                    for sc in (-1, 0, 1):
                        dx = f32(f32(xj + sa) - xi)
                        dy = f32(f32(yj + sb) - yi)
                        dz = f32(f32(zj + sc) - zi)
                        if abs(dz) < 1e-4 and abs(dx) < 1e-4 and abs(dy) < 1e-4:
                            continue
                        q0 = f32(qdist(m, dx, dy, dz))
                        if limit is None or q0 <= limit:
                            out.append((q0, i, j, (sa, sb, sc)))
    return out


def cell_det(cell):
    al, be, ga = (math.radians(float(v)) for v in cell[3:])
    ca, cb, cg = math.cos(al), math.cos(be), math.cos(ga)
    return 1 - ca * ca - cb * cb - cg * cg + 2 * ca * cb * cg


def cell_volume(cell):
    a, b, c = (abs(float(v)) for v in cell[:3])
    return a * b * c * math.sqrt(max(cell_det(cell), 1e-12))


def cart_dist2(cell, d):
    a, b, c, al, be, ga = (float(v) for v in cell)
    ca, cb, cg = (math.cos(math.radians(t)) for t in (al, be, ga))
    dx, dy, dz = d
    return (a * a * dx * dx + b * b * dy * dy + c * c * dz * dz + 2 * a * b * cg * dx * dy
            + 2 * a * c * cb * dx * dz + 2 * b * c * ca * dy * dz)


def nearest_distances(cell, atoms):
    """Per atom, the nearest distance to another atom or image (double, rough)."""
    pos = [tuple(float(v) for v in a[2:5]) for a in atoms]
    res = []
    for i, p in enumerate(pos):
        best = math.inf
        for j, q in enumerate(pos):
            for sa in (-1, 0, 1):
                for sb in (-1, 0, 1):
                    for sc in (-1, 0, 1):
                        d = (q[0] + sa - p[0], q[1] + sb - p[1], q[2] + sc - p[2])
                        if max(abs(t) for t in d) < 1e-4:
                            continue
                        best = min(best, cart_dist2(cell, d))
        res.append(math.sqrt(max(best, 0.0)))
    return res


# ---------------------------------------------------------------------------
# The content of an input file
# ---------------------------------------------------------------------------


@dataclass
class Item:
    t: str                      # 'r' real, 'i' integer, 'c' text
    v: object                   # canonical decimal text, int, or str
    raw: Optional[str] = None   # verbatim token, replaces the rendering
    nullable: bool = False      # a null value would leave the same value


@dataclass
class Stmt:
    kind: str                   # 'value', 'header' or 'atom'
    items: List[Item]
    role: str = ""
    junk: Optional[str] = None  # text after the last token (None: random)


@dataclass
class Deck:
    cell0: list
    cell1: list
    radius: str
    bond: str
    symbols: list
    refs: list
    switches: list
    atoms0: list                # (ordinal, name, x, y, z) with decimal texts
    atoms1: list
    K: Optional[int] = None     # kind count written (default len(symbols))
    N: Optional[int] = None     # atom count written (default len(atoms0))
    title: str = "sphere"
    extra_lines: list = field(default_factory=list)   # after the last atom line
    cut: Optional[tuple] = None  # (role, n): the file ends after the n-th such statement

    def kind_count(self):
        return len(self.symbols) if self.K is None else self.K

    def atom_count(self):
        return len(self.atoms0) if self.N is None else self.N


WORDS = ["cell-initial", "cell-minimised", "radius", "bond-limit", "kinds", "kind", "ref",
         "word", "x", "!", "#", "-", "count", "label", "T", "F", "1", "0.5", "1.5x",
         "a/b", "...", "'quoted word'", '"double quoted"', "'it''s'", "*", "1*x", "=",
         "(A)", "\u00c0\u00e1", "end."]
TITLES = ["sphere", "switches", "atoms", "title", "quartz-ambient-to-10.2GPa", "1.5x", "T",
          "'quoted title'", "run 12 of many", "!", "2.0.1", "\u00d1\u00f4\u00e5\u00f0\u00e0"]
TWO = ["Si", "Al", "Mg", "Ca", "Na", "Fe", "Ti", "Zr", "Ge", "Ga", "Cl", "Mn", "Cr", "Zn",
       "Li", "Be", "Os", "Sr", "Ba", "Pb"]
ONE = ["O", "F", "S", "N", "H", "C", "P", "K", "B"]


def word(rng, fancy=0.25):
    if rng.random() < fancy:
        return rng.choice(WORDS)
    return rng.choice(["x", "w", "word", "radius", "kind", "ref", "sw", "cell", "label"])


def deck_statements(rng, d):
    st = []

    def value(role, items, w=None):
        items = list(items) + [Item("c", w if w is not None else word(rng), nullable=True)]
        st.append(Stmt("value", items, role))

    def header(role, text):
        st.append(Stmt("header", [Item("c", text, nullable=True)], role))

    value("cell0", [Item("r", v) for v in d.cell0], rng.choice(["cell-initial", "cell", None]))
    value("cell1", [Item("r", v) for v in d.cell1], rng.choice(["cell-minimised", "cell", None]))
    header("title1", d.title)
    value("radius", [Item("r", d.radius)], rng.choice(["radius", None]))
    value("bond", [Item("r", d.bond)], rng.choice(["bond-limit", None]))
    K = d.kind_count()
    value("K", [Item("i", K)], rng.choice(["kinds", None]))
    for k, s in enumerate(d.symbols):
        value("symbol", [Item("c", s)], rng.choice(["kind-%d" % (k + 1), None]))
    for k, r in enumerate(d.refs):
        value("ref", [Item("r", r)], rng.choice(["ref-%d" % (k + 1), None]))
    header("title2", rng.choice(["switches", "switches", rng.choice(TITLES)]))
    for k, s in enumerate(d.switches):
        value("switch", [Item("i", s, nullable=(s == 0))])
    header("title3", rng.choice(["atoms", "atoms", rng.choice(TITLES)]))
    value("N", [Item("i", d.atom_count())], rng.choice(["count", None]))
    for lst, role in ((d.atoms0, "atom0"), (d.atoms1, "atom1")):
        for idx, (o, name, x, y, z) in enumerate(lst):
            same_name = role == "atom1" and idx < len(d.atoms0) and d.atoms0[idx][1] == name
            items = [Item("i", o, nullable=True), Item("c", name, nullable=same_name)]
            for c in (x, y, z):
                items.append(Item("r", c, nullable=(Decimal(c) == 0 and not c.startswith("-"))))
            st.append(Stmt("atom", items, role))
    return st


# ---------------------------------------------------------------------------
# Rendering: values to tokens, statements to lines
# ---------------------------------------------------------------------------


@dataclass
class Style:
    odd: float = 0.0            # chance of an odd form for each number
    sep_odd: float = 0.0        # chance of a comma / tab separator
    split: float = 0.0          # chance of a line break between two tokens
    repeat: float = 0.0         # chance of r*c for runs of equal values
    nulls: float = 0.0          # chance of a null value where it changes nothing
    slash: float = 0.0          # chance of a slash ending a statement early
    junk: float = 0.05          # chance of text after a statement's last token
    blank: float = 0.02         # chance of blank lines before a statement
    quote: float = 0.05         # chance of quoting a text that needs no quotes
    eol: str = "\n"
    eol_mix: float = 0.0        # chance of the other line end on a line
    final_eol: bool = True
    indent: float = 0.1
    multiline: float = 0.0      # chance of a quoted text running over a line end
    eol_comma: float = 0.0      # chance of a comma before a line break in a statement
    long_blank: float = 0.0     # chance of a very long run of blanks before a token
    lead_null: float = 0.0      # chance of a comma before the first value (a null value)


def plain_style(rng):
    s = Style()
    s.eol = rng.choice(["\n", "\n", "\r\n"])
    s.indent = rng.choice([0.0, 0.0, 0.5, 1.0])
    s.junk = rng.choice([0.0, 0.0, 0.05])
    s.final_eol = rng.random() > 0.03
    return s


def odd_style(rng, level):
    s = plain_style(rng)
    s.odd = level * rng.uniform(0.2, 0.8)
    s.sep_odd = level * rng.uniform(0.1, 0.6)
    s.split = level * rng.uniform(0.0, 0.15)
    s.repeat = level * rng.uniform(0.1, 0.7)
    s.nulls = level * rng.uniform(0.0, 0.4)
    s.slash = level * rng.uniform(0.0, 0.3)
    s.junk = level * rng.uniform(0.05, 0.5)
    s.blank = level * rng.uniform(0.0, 0.2)
    s.quote = level * rng.uniform(0.0, 0.3)
    s.eol_mix = level * rng.choice([0.0, 0.0, 0.2])
    s.multiline = level * rng.choice([0.0, 0.0, 0.1, 0.3])
    s.eol_comma = level * rng.choice([0.0, 0.3])
    s.long_blank = level * rng.choice([0.0, 0.0, 0.0, 0.02])
    s.lead_null = level * rng.choice([0.0, 0.0, 0.0, 0.1])
    s.final_eol = rng.random() > 0.1 * level
    return s


def render_real(rng, s, odd):
    if rng.random() >= odd:
        return s
    d = Decimal(s)
    neg = s.startswith("-")
    body = s[1:] if neg else s
    sign = "-" if neg else ""
    form = rng.choice(["plus", "nolead", "point", "nopoint", "zeros", "leadzeros",
                       "exp", "exp", "exp", "exp"])
    if form == "plus" and not neg:
        return "+" + s
    if form == "nolead" and body.startswith("0.") and len(body) > 2:
        return sign + body[1:]
    if form == "point":
        if "." not in body:
            return sign + body + "."
        if d == d.to_integral_value():
            return sign + body.split(".")[0] + "."
    if form == "nopoint" and "." in body and d == d.to_integral_value():
        return sign + body.split(".")[0]
    if form == "zeros":
        return s + ("" if "." in s else ".") + "0" * rng.randint(1, 6)
    if form == "leadzeros":
        return sign + "0" * rng.randint(1, 3) + body
    # exponent form, exact decimal shift
    e = rng.randint(-3, 3)
    mant = plain(d.scaleb(-e)) if d != 0 else rng.choice(["0", "0.0", ".0", "0."])
    if neg and not mant.startswith("-"):
        mant = "-" + mant
    if rng.random() < 0.2:
        if mant.startswith("0.") and len(mant) > 2:
            mant = mant[1:]
        elif mant.startswith("-0.") and len(mant) > 3:
            mant = "-" + mant[2:]
    if rng.random() < 0.15 and not mant.startswith("-"):
        mant = "+" + mant
    letter = rng.choice("eeeEEEdDqQ")
    if e < 0:
        ex = rng.choice(["-%d", "-%02d"]) % -e
    else:
        ex = rng.choice(["+%d", "%d", "%02d", "+%02d"]) % e
    return mant + letter + ex


def render_int(rng, v, odd):
    if rng.random() >= odd:
        return str(v)
    form = rng.choice(["plus", "leadzeros", "point", "frac", "exp", "exp"])
    if form == "plus" and v >= 0:
        return "+" + str(v)
    if form == "leadzeros":
        return ("-" if v < 0 else "") + "0" * rng.randint(1, 4) + str(abs(v))
    if abs(v) >= 10 ** 6:
        return str(v)
    if form == "point":
        return str(v) + rng.choice([".", ".0", ".000"])
    if form == "frac":
        # truncated toward zero when read
        frac = rng.choice(["5", "7", "25", "999", "1", "9"])
        if v == 0:
            return rng.choice(["", "-"]) + "0." + frac
        return ("-" if v < 0 else "") + str(abs(v)) + "." + frac
    e = rng.randint(-2, 2)
    mant = plain(Decimal(v).scaleb(-e))
    letter = rng.choice("eEdDqQ")
    ex = ("-%d" % -e) if e < 0 else rng.choice(["+%d", "%d"]) % e
    return mant + letter + ex


SPECIAL_IN_TEXT = set(" \t,/")


def needs_quote(text):
    if text == "" or text[0] in "'\"" or any(ch in SPECIAL_IN_TEXT for ch in text):
        return True
    i = 0
    while i < len(text) and text[i].isdigit():
        i += 1
    return 0 < i < len(text) and text[i] == "*"


def render_text(rng, text, style):
    if needs_quote(text) or rng.random() < style.quote:
        q = rng.choice(["'", "'", '"'])
        body = text.replace(q, q + q)
        if style.multiline and q not in text and len(text) >= 2 and \
                rng.random() < style.multiline:
            # the line end inside a quoted text adds nothing to the text
            k = rng.randint(1, len(text) - 1)
            body = body[:k] + "\n" + body[k:]
        return q + body + q
    if style.multiline and len(text) >= 2 and rng.random() < style.multiline * 0.5 and \
            "'" not in text:
        k = rng.randint(1, len(text) - 1)
        return "'" + text[:k] + "\n" + text[k:] + "'"
    return text


def render_token(rng, it, style):
    if it.raw is not None:
        return it.raw
    if it.t == "r":
        return render_real(rng, it.v, style.odd)
    if it.t == "i":
        return render_int(rng, it.v, style.odd)
    return render_text(rng, it.v, style)


def same_value(a, b):
    if a.raw is not None or b.raw is not None:
        return False
    if a.t == "c" and b.t == "c":
        return a.v == b.v
    if a.t in "ri" and b.t in "ri":
        return Decimal(str(a.v)) == Decimal(str(b.v)) and (a.t == b.t or b.t == "r")
    return False


JUNK = [" ! comment", "\tjunk 1.5x 2.0.1", ", 'unclosed quote", " 99 99 99", " --5 1e999",
        " # \u00cf\u00f0\u00e8\u00ec\u00e5\u00f7\u00e0\u00ed\u00e8\u00e5", " / slash", ",", "  ,,, ",
        " a\rb", " \"open", " 3*0.25 2*", "\t\t", " " + "z" * 300]


def render_stmt(rng, st, style):
    """The lines of one statement (without line ends)."""
    items = st.items
    # groups of tokens: (text, is_null)
    groups = []
    i = 0
    n = len(items)
    ended_by_slash = False
    while i < n:
        it = items[i]
        # a slash: the rest of the statement keeps its values
        if (style.slash and (i > 0 or rng.random() < 0.3) and st.kind in ("value", "atom", "header") and
                all(x.nullable for x in items[i:]) and rng.random() < style.slash):
            groups.append(("/", False))
            ended_by_slash = True
            break
        # null values
        if it.nullable and i == 0 and style.lead_null and rng.random() < style.lead_null:
            groups.append(("", True))
            i += 1
            continue
        if it.nullable and i > 0 and style.nulls and rng.random() < style.nulls:
            r = 1
            while i + r < n and items[i + r].nullable and rng.random() < 0.5:
                r += 1
            if rng.random() < 0.5:
                groups.append(("%d*" % r, False))
            else:
                for _ in range(r):
                    groups.append(("", True))
            i += r
            continue
        # repeat counts for runs of equal values
        if style.repeat and rng.random() < style.repeat and it.raw is None:
            r = 1
            while i + r < n and same_value(it, items[i + r]):
                r += 1
            if r > 1 or rng.random() < 0.15:
                r = rng.randint(1, r) if r > 1 and rng.random() < 0.3 else r
                tok = render_token(rng, it, style)
                groups.append(("%d*%s" % (r, tok), False))
                i += r
                continue
        groups.append((render_token(rng, it, style), False))
        i += 1

    lines = []
    cur = ""
    if rng.random() < style.indent:
        cur = rng.choice([" ", "  ", "   ", "\t", " \t "])
    for gi, (tok, is_null) in enumerate(groups):
        if gi == 0:
            cur += tok
            continue
        prev_null = groups[gi - 1][1]
        if is_null or prev_null:
            sep = rng.choice([",", ",", " ,", ", ", "\t,"])
        elif tok == "/" and rng.random() < 0.5:
            sep = ""
        elif (style.split and rng.random() < style.split and tok != "/"):
            if style.eol_comma and rng.random() < style.eol_comma:
                cur += rng.choice([",", " ,", ", "])
            lines.append(cur)
            cur = rng.choice(["", "", " ", "\t", "    "])
            sep = ""
        elif rng.random() < style.sep_odd:
            sep = rng.choice([",", ", ", " , ", "\t", "\t,\t", " \t ", ",\t"])
        else:
            sep = rng.choice([" ", " ", " ", "  ", "   ", "    "])
        if style.long_blank and rng.random() < style.long_blank:
            sep += " " * rng.choice([4095, 4096, 4097, 8191, 8192, 65535, 65536, 100000])
        cur += sep + tok
    if groups and groups[-1][1]:
        cur += ","
    junk = st.junk
    if junk is None:
        junk = ""
        if rng.random() < style.junk:
            junk = rng.choice(JUNK)
            if ended_by_slash or junk.startswith((",", " ", "\t")):
                pass
            else:
                junk = " " + junk
    if st.kind == "header" and st.junk is None and rng.random() < 0.2:
        junk += " " + rng.choice(["words", "and more", "1.5x", "'x", "/"])
    cur += junk
    lines.append(cur)
    return lines


def render_deck(rng, deck, style, mutate=None):
    """Render the deck into lines (list of str without line ends).  `mutate`
    may change the statement list before rendering."""
    sts = deck_statements(rng, deck)
    if mutate:
        sts = mutate(sts)
    if deck.cut:
        role, n = deck.cut
        seen = 0
        for k, st in enumerate(sts):
            if st.role == role:
                seen += 1
                if seen == n:
                    sts = sts[:k + 1]
                    break
    lines = []
    for st in sts:
        if style.blank and rng.random() < style.blank:
            for _ in range(rng.randint(1, 2)):
                lines.append(rng.choice(["", "", " ", "\t", "   \t"]))
        lines.extend(render_stmt(rng, st, style))
    if not deck.cut:
        lines.extend(deck.extra_lines)
    return lines, sts


def join_lines(rng, lines, style):
    out = []
    other = "\r\n" if style.eol == "\n" else "\n"
    for k, ln in enumerate(lines):
        eol = style.eol
        if style.eol_mix and rng.random() < style.eol_mix:
            eol = other
        if k == len(lines) - 1 and not style.final_eol:
            eol = "\r" if style.eol == "\r\n" and rng.random() < 0.3 else ""
        out.append(ln.replace("\n", style.eol) + eol)
    return "".join(out)


def to_bytes(text):
    return text.encode("latin-1")


# ---------------------------------------------------------------------------
# Values
# ---------------------------------------------------------------------------


def rand_nd(rng):
    return rng.choice([1, 2, 3, 4, 4, 4, 4, 5, 6])


def rand_edge(rng, lo=3.0, hi=12.0):
    if rng.random() < 0.12:
        return g9(rng.uniform(lo, hi))          # a "random" value, 9 digits
    return fx(rng.uniform(lo, hi), rand_nd(rng))


def rand_angle(rng, lo, hi, avoid90=0.0):
    while True:
        a = rng.uniform(lo, hi)
        if abs(a - 90.0) >= avoid90:
            break
    if rng.random() < 0.1:
        return g9(a)
    return fx(a, rng.choice([1, 2, 3, 3, 4]))


def oblique_cell(rng, avoid=3.0, wide=False):
    lo, hi = (20.0, 160.0) if wide else (55.0, 125.0)
    while True:
        cell = [rand_edge(rng) for _ in range(3)] + \
               [rand_angle(rng, lo, hi, avoid) for _ in range(3)]
        if cell_det(cell) > (0.01 if wide else 0.05):
            return cell


def system_cell(rng):
    kind = rng.choice(["cubic", "tetragonal", "orthorhombic", "hexagonal", "monoclinic",
                       "triclinic", "rhombohedral"])
    a = rand_edge(rng)
    if kind == "cubic":
        return [a, a, a, "90", "90", "90"], kind
    if kind == "tetragonal":
        return [a, a, rand_edge(rng), "90", "90", "90"], kind
    if kind == "orthorhombic":
        return [a, rand_edge(rng), rand_edge(rng), "90.0", "90.0", "90.0"], kind
    if kind == "hexagonal":
        return [a, a, rand_edge(rng), "90.000000", "90.000000", "120.000000"], kind
    if kind == "monoclinic":
        return [a, rand_edge(rng), rand_edge(rng), "90", rand_angle(rng, 92, 120), "90"], kind
    if kind == "rhombohedral":
        al = rand_angle(rng, 60, 100, 2.0)
        return [a, a, a, al, al, al], kind
    return oblique_cell(rng), kind


def perturb_cell(rng, cell, strength=1.0):
    mode = rng.random()
    if mode < 0.15:
        return list(cell)
    out = []
    if mode < 0.35:
        f = 1 + rng.uniform(-0.05, 0.05) * strength
        for v in cell[:3]:
            out.append(fx(float(v) * f, rng.choice([3, 4, 5, 6])))
        return out + list(cell[3:])
    for v in cell[:3]:
        out.append(fx(float(v) * (1 + rng.uniform(-0.04, 0.04) * strength),
                      rng.choice([2, 3, 4, 4, 5])))
    for v in cell[3:]:
        if rng.random() < 0.3:
            out.append(v)
        else:
            out.append(fx(float(v) + rng.uniform(-2.0, 2.0) * strength, rng.choice([1, 2, 3, 4])))
    if cell_det(out) <= 0.01:
        return list(cell)
    return out


def rand_coord_text(rng, x, nd=None):
    if nd is None:
        nd = rng.choice([4, 5, 5, 5, 6, 7])
    if rng.random() < 0.05:
        return g9(x)
    return fx(x, nd)


def rand_kinds(rng, K=None):
    if K is None:
        K = rng.choice([1, 2, 2, 3, 3, 3, 3, 3, 4, 5, 10])
    two = rng.sample(TWO, min(K - 1, len(TWO))) if K > 1 else []
    syms = list(two)
    last = rng.choice(ONE) if rng.random() < 0.85 else rng.choice(TWO)
    syms.append(last)
    r = rng.random()
    if K > 2 and r < 0.08:
        syms[rng.randrange(K - 1)] = rng.choice(ONE)        # one-letter, not last
    elif K > 2 and r < 0.13:
        syms[1] = syms[0]                                   # equal symbols 1 and 2
    elif K > 1 and r < 0.18:
        syms[0] = syms[0] + rng.choice(["l", "x", "123"])     # longer symbol, cut to two
    elif K > 1 and r < 0.22 and last in ONE:
        syms[0] = last + rng.choice("sbe")                  # Os / O: a name in two kinds
    return syms


def sym2(s):
    return (s + " ")[:2] if len(s) < 2 else s[:2]


def make_name(rng, syms, k, num):
    s = syms[k]
    K = len(syms)
    if k == K - 1:
        if len(s) >= 2:
            base = s[:2]
        else:
            base = s[0]
            if rng.random() < 0.15:
                base = s[0] + rng.choice("sabx")   # still the last kind (first letter)
        return base + str(num) if rng.random() > 0.03 else base
    s2 = sym2(s)
    if s2[1] == " ":
        # one-letter kind that is not the last: the name needs a blank second
        return rng.choice([s2[0], s2 + str(num), s2[0] + " " + str(num)])
    name = s2 + str(num)
    if rng.random() < 0.04:
        name = s2 + str(num) + "abcdefg"[: rng.randint(1, 6)]   # longer than 6
    return name


def make_names(rng, syms, n):
    K = len(syms)
    # some kinds may stay empty, some atoms may be of no kind
    weights = [rng.choice([0, 1, 1, 2, 3]) for _ in range(K)]
    if sum(weights) == 0:
        weights[-1] = 1
    counters = [0] * K
    names = []
    for _ in range(n):
        if rng.random() < 0.06:
            names.append(rng.choice(["Ca", "D", "Xx", "si", "H"]) + str(rng.randint(1, 99)))
            continue
        k = rng.choices(range(K), weights)[0]
        counters[k] += 1
        names.append(make_name(rng, syms, k, counters[k]))
    return names


def rand_positions(rng, n):
    return [[rng.random() for _ in range(3)] for _ in range(n)]


def displace(rng, pos, sigma, wrap_p=0.5):
    out = []
    for p in pos:
        q = []
        for x in p:
            y = x + rng.gauss(0.0, sigma)
            if (y < 0.0 or y >= 1.0) and rng.random() < wrap_p:
                y -= math.floor(y)
            q.append(y)
        out.append(q)
    return out


def atom_lists(rng, names, pos0, pos1, nd=None, ordinals="index"):
    if nd is None:
        nd = rng.choice([4, 5, 5, 6, 7])
    a0, a1 = [], []
    for i, (nm, p, q) in enumerate(zip(names, pos0, pos1)):
        if ordinals == "random":
            o = rng.randint(-5, 2000)
        else:
            o = i + 1
        a0.append((o, nm, *(rand_coord_text(rng, x, nd) for x in p)))
        a1.append((o if rng.random() > 0.05 else rng.randint(0, 99), nm,
                   *(rand_coord_text(rng, x, nd) for x in q)))
    if ordinals == "random" or rng.random() < 0.05:
        a1 = [(rng.randint(1, 999), *a[1:]) for a in a1]
    return a0, a1


def radius_for(rng, cell, n, target=None):
    if target is None:
        target = rng.uniform(4, 40)
    v = cell_volume(cell)
    r = (target * v / (max(n, 1) * 4.18879)) ** (1.0 / 3.0)
    return max(r, 0.5)


def rand_switches(rng, p=None):
    if p is None:
        p = [0.4, 0.4, 0.5, 0.12, 0.12, 0.6, 0.85, 0.85, 0.8, 0.7]
    return [1 if rng.random() < p[i] else rng.choice([0, 0, 0, 0, 2, -1]) for i in range(10)]


def rand_refs(rng, K):
    return [fx(rng.uniform(1.4, 2.6), rng.choice([2, 3, 3, 4])) for _ in range(max(K - 1, 0))]


def build_deck(rng, cell0, cell1, names, pos0, pos1, syms=None, radius=None, bond=None,
               switches=None, nd=None):
    n = len(names)
    if syms is None:
        syms = rand_kinds(rng)
    if radius is None:
        radius = fx(radius_for(rng, cell0, n), rng.choice([2, 3, 3, 4]))
    if bond is None:
        bond = fx(float(radius) * rng.uniform(0.2, 0.7), rng.choice([2, 3]))
    if switches is None:
        switches = rand_switches(rng)
    a0, a1 = atom_lists(rng, names, pos0, pos1, nd,
                        "random" if rng.random() < 0.05 else "index")
    return Deck(cell0=cell0, cell1=cell1, radius=radius, bond=bond, symbols=syms,
                refs=rand_refs(rng, len(syms)), switches=switches, atoms0=a0, atoms1=a1,
                title=rng.choice(TITLES))


def small_n(rng, lo=1, hi=30):
    # mostly small: the reference model runs in Python
    return min(hi, max(lo, int(rng.choice([1, 2, 3, 4, 5, 6, 8, 10, 12, 16, 20, 24, 30]))))


def structure_deck(rng, cell0=None, n=None, sigma=None, cell_strength=1.0, syms=None):
    if cell0 is None:
        cell0, _ = system_cell(rng)
    if n is None:
        n = small_n(rng)
    if syms is None:
        syms = rand_kinds(rng)
    cell1 = perturb_cell(rng, cell0, cell_strength)
    pos0 = rand_positions(rng, n)
    if sigma is None:
        sigma = rng.choice([0.0005, 0.002, 0.005, 0.01, 0.02])
    pos1 = displace(rng, pos0, sigma)
    names = make_names(rng, syms, n)
    return build_deck(rng, cell0, cell1, names, pos0, pos1, syms)


# ---------------------------------------------------------------------------
# Categories of valid input
# ---------------------------------------------------------------------------


def gen_oblique(rng):
    cell0 = oblique_cell(rng, avoid=rng.choice([3.0, 5.0, 10.0]), wide=rng.random() < 0.3)
    n = small_n(rng) if rng.random() < 0.85 else rng.randint(31, 60)
    d = structure_deck(rng, cell0=cell0, n=n)
    d.switches = rand_switches(rng, [0.3, 0.3, 0.4, 0.08, 0.08, 0.75, 0.9, 0.85, 0.8, 0.7])
    return d, "triclinic"


def gen_realistic(rng):
    cell0, kind = system_cell(rng)
    d = structure_deck(rng, cell0=cell0)
    return d, kind


def gen_degenerate(rng):
    sub = rng.choice(["small_angle", "large_angle", "sum360", "sum360_exact", "flat",
                      "tiny_edges", "huge_edges", "neg_edge", "zero_edge"])
    a, b, c = rand_edge(rng), rand_edge(rng), rand_edge(rng)
    if sub == "small_angle":
        t = rng.choice(["1", "0.5", "2.5", "5", "10", "0.01"])
        ang = [t, t, t] if rng.random() < 0.5 else [t, rand_angle(rng, 60, 120, 1), rand_angle(rng, 60, 120, 1)]
        cell = [a, b, c] + ang
        if rng.random() < 0.5:
            cell = [a, b, c, "90", "90", t]
    elif sub == "large_angle":
        t = rng.choice(["179", "179.5", "178", "175", "170", "179.99"])
        cell = [a, b, c, "90", "90", t]
        if rng.random() < 0.4:
            cell = [a, b, c, t, fx(float(t) / 2 + 1, 2), fx(float(t) / 2 + 1, 2)]
    elif sub == "sum360":
        e = rng.choice(["119.9", "119.99", "119.999", "119.5", "119"])
        cell = [a, b, c, e, e, e]
    elif sub == "sum360_exact":
        cell = [a, b, c] + rng.choice([["120", "120", "120"], ["100", "130", "130"],
                                       ["90", "135", "135"], ["60", "30", "30"],
                                       ["150", "105", "105"]])
    elif sub == "flat":
        cell = [a, b, c, "90", "90", "180"] if rng.random() < 0.5 else [a, b, c, "0", "90", "90"]
    elif sub == "tiny_edges":
        cell = [fx(rng.uniform(0.001, 0.05), 5) for _ in range(3)] + ["90", "90", "90"]
    elif sub == "huge_edges":
        cell = [fx(rng.uniform(100, 5000), 2) for _ in range(3)] + \
               [rand_angle(rng, 70, 110) for _ in range(3)]
    elif sub == "neg_edge":
        cell = ["-" + a, b, c] + [rand_angle(rng, 70, 110) for _ in range(3)]
    else:
        cell = ["0", b, c, "90", "90", "90"]
    n = small_n(rng, 1, 12)
    syms = rand_kinds(rng)
    pos0 = rand_positions(rng, n)
    pos1 = displace(rng, pos0, 0.003)
    names = make_names(rng, syms, n)
    cell1 = perturb_cell(rng, cell, 0.3) if rng.random() < 0.5 else list(cell)
    if rng.random() < 0.3:
        cell1 = oblique_cell(rng)   # only the initial cell is odd
        if rng.random() < 0.5:
            cell, cell1 = cell1, cell
    radius = fx(rng.uniform(1.0, 8.0), 2)
    if sub == "tiny_edges":
        radius = fx(rng.uniform(0.01, 0.1), 4)
    if sub == "huge_edges":
        radius = fx(rng.uniform(50, 3000), 1)
    d = build_deck(rng, cell, cell1, names, pos0, pos1, syms, radius=radius)
    return d, sub


FACE_PAIRS_EXACT = [(0.25, 0.75), (0.75, 0.25), (0.0, 0.5), (0.5, 0.0), (0.125, 0.625),
                    (0.625, 0.125), (0.5, 1.0), (1.0, 0.5), (0.375, 0.875)]
FACE_PAIRS_DEC = [("0.1", "0.6"), ("0.6", "0.1"), ("0.3", "0.8"), ("0.8", "0.3"),
                  ("0.2", "0.7"), ("0.7", "0.2"), ("0.45", "0.95"), ("0.95", "0.45"),
                  ("0.4", "0.9"), ("0.9", "0.4"), ("0.01", "0.51"), ("0.51", "0.01"),
                  ("0.3", "0.8000001"), ("0.8", "0.2999999"), ("0.33333", "0.83333")]


def face_pair(rng):
    t = rng.choice(["wrap_down", "wrap_up", "half_exact", "half_dec", "outside", "big_jump",
                    "exact_one", "plain", "plain"])
    nd = rng.choice([4, 5, 6, 7])
    if t == "wrap_down":
        x = rng.uniform(0.9, 1.0)
        y = x + rng.uniform(0.0, 0.08) - 1.0 + rng.uniform(0, 0.02)
        return fx(x, nd), fx(y, nd)
    if t == "wrap_up":
        x = rng.uniform(0.0, 0.1)
        y = x - rng.uniform(0.0, 0.08) + 1.0
        return fx(x, nd), fx(y, nd)
    if t == "half_exact":
        x, y = rng.choice(FACE_PAIRS_EXACT)
        return fx(x, rng.choice([1, 3, 5])), fx(y, rng.choice([1, 3, 5]))
    if t == "half_dec":
        return rng.choice(FACE_PAIRS_DEC)
    if t == "outside":
        x = rng.choice([rng.uniform(-1.5, 0.0), rng.uniform(1.0, 2.5)])
        y = x + rng.choice([rng.uniform(-0.02, 0.02), 1.0, -1.0, rng.uniform(-0.7, 0.7)])
        return fx(x, nd), fx(y, nd)
    if t == "big_jump":
        x = rng.uniform(0, 1)
        y = x + rng.choice([2.0, -2.0, 1.6, -1.6, 3.0])
        return fx(x, nd), fx(y, nd)
    if t == "exact_one":
        return rng.choice([("0.0", "1.0"), ("1.0", "0.0"), ("0.99997", "0.00000"),
                           ("0.0000333", "1.0000000"), ("0.5", "1.5"), ("-0.5", "0.5")])
    x = rng.uniform(0, 1)
    return fx(x, nd), fx(x + rng.gauss(0, 0.01), nd)


def gen_faces(rng):
    n = small_n(rng, 1, 16)
    cell0, _ = system_cell(rng)
    cell1 = perturb_cell(rng, cell0, 0.5)
    syms = rand_kinds(rng)
    names = make_names(rng, syms, n)
    a0, a1 = [], []
    for i in range(n):
        p0, p1 = [], []
        for _ in range(3):
            x, y = face_pair(rng)
            p0.append(x)
            p1.append(y)
        a0.append((i + 1, names[i], *p0))
        a1.append((i + 1, names[i], *p1))
    radius = fx(radius_for(rng, cell0, n), 3)
    d = Deck(cell0=cell0, cell1=cell1, radius=radius,
             bond=fx(float(radius) * rng.uniform(0.3, 0.7), 3), symbols=syms,
             refs=rand_refs(rng, len(syms)),
             switches=rand_switches(rng, [0.5, 0.7, 0.8, 0.2, 0.3, 0.6, 0.8, 0.8, 0.7, 0.6]),
             atoms0=a0, atoms1=a1)
    return d, "faces"


def exact_radius_text(q0):
    """A radius r (as text) whose single-precision square equals q0 if any."""
    r = f32(math.sqrt(q0))
    for cand in (r, f32_next(r, True), f32_next(r, False)):
        if f32(cand * cand) == q0:
            return g9(cand), True
    return g9(r), False


def gen_exact(rng):
    sub = rng.choice(["grid", "grid", "oblique", "oblique", "hex"])
    if sub == "grid":
        a = rng.choice(["2", "4", "3", "2.5", "1.5", "8", "2.125", "5.0"])
        b = rng.choice([a, a, rng.choice(["2", "4", "6"])])
        c = rng.choice([a, a, rng.choice(["2", "3", "4"])])
        cell0 = [a, b, c, "90", "90", "90"]
        n = small_n(rng, 1, 10)
        step = rng.choice([2, 4, 8, 64])
        pos0 = [[rng.randrange(step) / step for _ in range(3)] for _ in range(n)]
        nd = 6
    else:
        cell0 = oblique_cell(rng) if sub == "oblique" else [rand_edge(rng)] * 2 + \
            [rand_edge(rng), "90", "90", "120"]
        n = small_n(rng, 1, 8)
        pos0 = rand_positions(rng, n)
        nd = rng.choice([4, 5])
    pos0t = [[fx(x, nd) for x in p] for p in pos0]
    if rng.random() < 0.4:
        cell1 = list(cell0)
        pos1 = pos0
        if rng.random() < 0.5 and sub == "grid":
            f = rng.choice(["1.01", "0.99", "1.5", "2"])
            cell1 = [plain(Decimal(v) * Decimal(f)) for v in cell0[:3]] + cell0[3:]
    else:
        cell1 = perturb_cell(rng, cell0, 0.5)
        pos1 = displace(rng, pos0, 0.003)
    syms = rand_kinds(rng)
    names = make_names(rng, syms, n)
    a0 = [(i + 1, names[i], *pos0t[i]) for i in range(n)]
    a1 = [(i + 1, names[i], *(fx(x, nd) for x in pos1[i])) for i in range(n)]
    qs = sorted(set(q for q, *_ in member_q0(cell0, a0) if q > 0))
    if not qs:
        qs = [1.0]
    # the radius: one of the 41 smallest member distances, exactly
    k = rng.randint(0, min(len(qs) - 1, 40))
    rq = qs[k]
    radius, _ = exact_radius_text(rq)
    root = math.sqrt(rq)
    if sub == "grid" and rng.random() < 0.5 and root == round(root, 6):
        # a short decimal such as 2 or 1.5, as a user would write it
        radius = ("%.6f" % root).rstrip("0").rstrip(".")
    kb = rng.randint(0, k)
    bond = g9(f32(math.sqrt(qs[kb])))
    if rng.random() < 0.2:
        bond = radius
    d = Deck(cell0=cell0, cell1=cell1, radius=radius, bond=bond, symbols=syms,
             refs=rand_refs(rng, len(syms)),
             switches=rand_switches(rng, [0.2, 0.2, 0.2, 0.1, 0.1, 0.8, 0.9, 0.8, 0.7, 0.6]),
             atoms0=a0, atoms1=a1)
    return d, sub


def gen_ties(rng):
    sub = rng.choice(["lattice", "lattice_scaled", "duplicates", "zero_change", "nan_keys",
                      "equal_pairs", "near_duplicates"])
    syms = rand_kinds(rng)
    if sub in ("lattice", "lattice_scaled", "zero_change"):
        m = rng.choice([1, 2, 2, 3, 4])
        a = rng.choice(["4", "5.4300", "3.25", "6", rand_edge(rng)])
        if rng.random() < 0.5:
            cell0 = [a, a, a, "90", "90", "90"]
        else:
            al = rng.choice(["60", "75.5", "100", rand_angle(rng, 65, 105, 3)])
            cell0 = [a, a, a, al, al, al]
        pts = [[i / m, j / m, k / m] for i in range(m) for j in range(m) for k in range(m)]
        if rng.random() < 0.3:   # body-centred
            pts += [[(i + 0.5) / m, (j + 0.5) / m, (k + 0.5) / m]
                    for i in range(m) for j in range(m) for k in range(m)]
        pts = pts[:rng.choice([30, 64])]
        n = len(pts)
        names = make_names(rng, syms, n)
        nd = 5
        p0 = [[fx(x, nd) for x in p] for p in pts]
        if sub == "zero_change":
            cell1 = list(cell0)
        elif sub == "lattice_scaled":
            f = rng.choice(["1.01", "0.98", "1.1"])
            cell1 = [plain(Decimal(v) * Decimal(f)) for v in cell0[:3]] + cell0[3:]
        else:
            cell1 = perturb_cell(rng, cell0, 0.5)
        a0 = [(i + 1, names[i], *p0[i]) for i in range(n)]
        a1 = [(i + 1, names[i], *p0[i]) for i in range(n)]
        step = float(a) / m if float(a) > 0 else 1.0
        radius = rng.choice([fx(step * rng.choice([1.0, 1.1, 1.5, 1.8]), 3), g9(f32(step))])
        d = Deck(cell0=cell0, cell1=cell1, radius=radius, bond=fx(step * 1.05, 3),
                 symbols=syms, refs=rand_refs(rng, len(syms)), switches=rand_switches(rng),
                 atoms0=a0, atoms1=a1)
        return d, sub
    d = structure_deck(rng, n=small_n(rng, 2, 20), syms=syms)
    if sub == "duplicates":
        k = rng.randint(1, max(1, len(d.atoms0) // 2))
        for _ in range(k):
            i = rng.randrange(len(d.atoms0))
            d.atoms0.insert(i, d.atoms0[i])
            d.atoms1.insert(i, d.atoms1[i])
        d.atoms0 = d.atoms0[:30]
        d.atoms1 = d.atoms1[:30]
    elif sub == "near_duplicates":
        # the self test: positions closer than 1.0e-4 in every coordinate
        for _ in range(rng.randint(1, 3)):
            i = rng.randrange(len(d.atoms0))
            off = [rng.choice(["0.0001", "0.00009", "0.00011", "0.0000999", "0.0001001",
                               "-0.0001", "0", "0.00005"]) for _ in range(3)]
            a0 = d.atoms0[i]
            a1 = d.atoms1[i]
            d.atoms0.append((len(d.atoms0) + 1, a0[1]) +
                            tuple(plain(Decimal(x) + Decimal(o)) for x, o in zip(a0[2:], off)))
            d.atoms1.append((len(d.atoms1) + 1, a1[1]) +
                            tuple(plain(Decimal(x) + Decimal(o)) for x, o in zip(a1[2:], off)))
    elif sub == "equal_pairs":
        d.cell1 = list(d.cell0)
        d.atoms1 = [tuple(a) for a in d.atoms0]
        for i in range(0, len(d.atoms1), 2):
            d.atoms1[i] = d.atoms1[i][:2] + tuple(fx(float(x) + 0.001, 5) for x in d.atoms1[i][2:])
    else:  # nan_keys: some centres without members
        nn = nearest_distances(d.cell0, d.atoms0)
        srt = sorted(nn)
        d.radius = fx(srt[len(srt) // 2] * rng.uniform(0.7, 1.0), 3)
        d.bond = fx(float(d.radius) * 0.8, 3)
    return d, sub


def gen_kinds(rng):
    sub = rng.choice(["k1_one", "k1_two", "k2", "k10", "empty_kinds", "one_atom_kind",
                      "two_kinds_name", "quoted_names", "long_names", "same_sym12",
                      "lower_case", "digit_names", "cyrillic", "last_two_letter",
                      "name_changes", "blank_symbol", "nul_names"])
    n = small_n(rng, 1, 20)
    if sub == "k1_one":
        syms = [rng.choice(ONE)]
    elif sub == "k1_two":
        syms = [rng.choice(TWO)]
    elif sub == "k2":
        syms = rand_kinds(rng, 2)
    elif sub == "k10":
        syms = rand_kinds(rng, 10)
    elif sub == "same_sym12":
        s = rng.choice(TWO)
        syms = [s, s, rng.choice(ONE)]
    elif sub == "two_kinds_name":
        last = rng.choice(ONE)
        syms = [last + rng.choice("sbe"), rng.choice(TWO), last]
    elif sub == "last_two_letter":
        syms = rng.sample(TWO, 3)
    elif sub == "blank_symbol":
        syms = rand_kinds(rng, rng.choice([1, 2, 3]))
        syms[rng.randrange(len(syms))] = rng.choice([" ", "  ", " O", "O "])
    else:
        syms = rand_kinds(rng, rng.choice([2, 3, 3, 4, 5]))
    d = structure_deck(rng, n=n, syms=syms)
    names = [a[1] for a in d.atoms1]
    K = len(syms)
    if sub == "empty_kinds":
        keep = rng.randrange(K)
        names = [make_name(rng, syms, keep, i + 1) for i in range(n)]
    elif sub == "one_atom_kind":
        names = [make_name(rng, syms, rng.randrange(K), i + 1) for i in range(n)]
        if n > 1:
            k = rng.randrange(K)
            names = [nm for nm in names]
            for i in range(n):
                if names[i][:2] == sym2(syms[k]) or (k == K - 1 and names[i][:1] == syms[k][:1]):
                    names[i] = "Zz" + str(i)
            names[rng.randrange(n)] = make_name(rng, syms, k, 1)
    elif sub == "two_kinds_name":
        names = [rng.choice([syms[0] + str(i), syms[1] + str(i), syms[2] + str(i)]) for i in range(n)]
    elif sub == "quoted_names":
        names = [rng.choice(["O 1", "O", "Si 2", "O'1", 'Al"3', "Si,1", "Si/1", "A l", " O1",
                             "Si\t1", "O\t", "'O'", "Si*2", "2*Si", "O!1",
                             syms[0][:2] + " x"]) for _ in range(n)]
    elif sub == "long_names":
        names = [nm + "".join(rng.choice("abcXYZ0123456789") for _ in range(rng.randint(3, 12)))
                 for nm in names]
    elif sub == "lower_case":
        names = [nm.lower() if rng.random() < 0.5 else nm.upper() for nm in names]
    elif sub == "digit_names":
        names = [rng.choice(["1Si", "T1", "F2", "True", "Fa", ".5", "1.5x", "+", "-1", "9"])
                 for _ in range(n)]
    elif sub == "cyrillic":
        cyr = "\u00c0\u00c1\u00c2\u00ca\u00ce\u00d1\u00e0\u00e1\u00ee"   # cp1251 letters as bytes
        names = [rng.choice(cyr) + rng.choice(cyr) + str(i) for i in range(n)]
        if rng.random() < 0.5:
            syms = [names[0][:2]] + syms[1:]
    elif sub == "blank_symbol":
        names = [rng.choice([" " + nm, nm, "  " + nm[:1]]) for nm in names]
    elif sub == "nul_names":
        # zero bytes: the value of a name or symbol that was never given
        names = [rng.choice(["\x00\x00" + nm, nm, "\x00" + nm, "\x00" * 6]) for nm in names]
        if rng.random() < 0.5:
            syms = [rng.choice(["\x00\x00", "\x00"]) if rng.random() < 0.3 else x for x in syms]
    a0 = [(a[0], nm, *a[2:]) for a, nm in zip(d.atoms0, names)]
    if sub == "name_changes":
        names1 = [make_name(rng, syms, rng.randrange(K), i + 1) for i in range(n)]
        a1 = [(a[0], nm, *a[2:]) for a, nm in zip(d.atoms1, names1)]
    else:
        a1 = [(a[0], nm, *a[2:]) for a, nm in zip(d.atoms1, names)]
    d.atoms0, d.atoms1, d.symbols = a0, a1, syms
    d.refs = rand_refs(rng, len(syms))
    d.switches = rand_switches(rng, [0.2, 0.2, 0.2, 0.05, 0.05, 0.3, 0.9, 0.9, 0.9, 0.8])
    return d, sub


def gen_special(rng):
    sub = rng.choice(["nan_w", "all_nan_w", "nan_compliance", "inf_compliance", "big_coords",
                      "big_compliance", "mid_compliance", "big_distance", "big_w",
                      "neg_zero", "halfway", "huge_coord", "overflow", "underflow"])
    d = structure_deck(rng, n=small_n(rng, 1, 16))
    K = len(d.symbols)
    if sub == "nan_w":
        nn = nearest_distances(d.cell0, d.atoms0)
        d.radius = fx(sorted(nn)[len(nn) // 2] * rng.uniform(0.8, 1.0), 3)
    elif sub == "all_nan_w":
        d.radius = rng.choice(["0.01", "0", "-1", "0.001"])
    elif sub == "nan_compliance":
        d.bond = rng.choice(["0.0", "0.1", "-1", "0.01"])
        d.symbols = rand_kinds(rng, rng.choice([2, 3, 3]))
        d.refs = rand_refs(rng, len(d.symbols))
        d.atoms1 = [(a[0], make_name(rng, d.symbols, rng.randrange(len(d.symbols)), i + 1), *a[2:])
                    for i, a in enumerate(d.atoms1)]
    elif sub == "inf_compliance":
        K = rng.choice([1, 2, 3, 3])
        d.symbols = rand_kinds(rng, K)
        d.refs = rand_refs(rng, K)
        if K >= 3:
            d.refs[1] = d.refs[0]
        elif K == 2:
            d.refs[0] = rng.choice(["0", "0.0", d.refs[0]])
        d.atoms1 = [(a[0], make_name(rng, d.symbols, rng.randrange(K), i + 1), *a[2:])
                    for i, a in enumerate(d.atoms1)]
    elif sub in ("big_coords", "huge_coord"):
        vals = ["100.0", "-10.0", "99.99999", "-9.99999", "99.999995", "-9.999995", "100",
                "1000.5", "-10.00001"] if sub == "big_coords" else ["1e5", "3e30", "-2e9", "12345.678"]
        for lst in (d.atoms0, d.atoms1):
            for i in range(len(lst)):
                if rng.random() < 0.3:
                    a = list(lst[i])
                    a[2 + rng.randrange(3)] = plain(Decimal(rng.choice(vals)))
                    lst[i] = tuple(a)
    elif sub in ("big_compliance", "mid_compliance"):
        last = rng.choice(ONE)
        d.symbols = [last + rng.choice("sbe"), rng.choice(TWO), last] if rng.random() < 0.7 else \
            [rng.choice(TWO), last + "s", last]
        r1 = rng.uniform(1.5, 2.0)
        gap = 0.001 if sub == "big_compliance" else rng.uniform(0.01, 0.05)
        d.refs = [fx(r1, 4), fx(r1 + gap, 4)]
        names = [rng.choice([d.symbols[0] + str(i + 1), d.symbols[1] + str(i + 1), last + str(i + 1)])
                 for i in range(len(d.atoms1))]
        d.atoms1 = [(a[0], nm, *a[2:]) for a, nm in zip(d.atoms1, names)]
        nn = nearest_distances(d.cell0, d.atoms0)
        d.bond = fx(max(nn) * 1.2 + 0.01, 3)
        d.radius = fx(max(float(d.radius), float(d.bond)), 3)
    elif sub == "big_distance":
        d.cell0 = [fx(rng.uniform(8000, 20000), 1) for _ in range(3)] + \
                  [rand_angle(rng, 70, 110) for _ in range(3)]
        d.cell1 = perturb_cell(rng, d.cell0, 0.3)
        d.radius = fx(radius_for(rng, d.cell0, len(d.atoms0)), 1)
        d.bond = fx(float(d.radius) / 2, 1)
    elif sub == "big_w":
        f = rng.choice(["10", "3", "0.1", "50"])
        d.cell1 = [plain(Decimal(v) * Decimal(f)) for v in d.cell0[:3]] + d.cell0[3:]
    elif sub == "neg_zero":
        for lst in (d.atoms0, d.atoms1):
            for i in range(len(lst)):
                if rng.random() < 0.4:
                    a = list(lst[i])
                    a[2 + rng.randrange(3)] = rng.choice(["-0.0", "-0", "-0.000001", "-0.000004",
                                                          "0.000004", "-0.0000049", "0.000005"])
                    lst[i] = tuple(a)
    elif sub == "overflow":
        # squares beyond single precision: infinite distances, infinite or NaN W,
        # infinite minus infinite in an oblique metric
        big = plain(rng.choice(["1e20", "3e19", "1.5e30", "2e38"]))
        which = rng.choice(["initial", "minimised", "both", "radius"])
        if which in ("initial", "both"):
            d.cell0 = [big if rng.random() < 0.7 else v for v in d.cell0[:3]] + d.cell0[3:]
        if which in ("minimised", "both"):
            d.cell1 = [big if rng.random() < 0.7 else v for v in d.cell1[:3]] + d.cell1[3:]
        if which in ("initial", "both", "radius") or rng.random() < 0.5:
            d.radius = plain(rng.choice(["1e20", "1e30", "3e38", d.radius]))
        sub += "_" + which
    elif sub == "underflow":
        tiny = plain(rng.choice(["1e-20", "1e-23", "3e-30", "1e-45"]))
        d.cell0 = [tiny if rng.random() < 0.7 else v for v in d.cell0[:3]] + d.cell0[3:]
        if rng.random() < 0.5:
            d.cell1 = [tiny if rng.random() < 0.7 else v for v in d.cell1[:3]] + d.cell1[3:]
        d.radius = plain(rng.choice(["0", "1e-30", d.radius]))
    elif sub == "halfway":
        for lst in (d.atoms0, d.atoms1):
            for i in range(len(lst)):
                a = list(lst[i])
                a[2 + rng.randrange(3)] = plain(Decimal(rng.randrange(-64, 128)) / 64)
                lst[i] = tuple(a)
        d.cell0 = [rng.choice(["2.125", "4.0625", "1.0625", "3.5"])] * 3 + ["90", "90", "90"]
    d.switches = rand_switches(rng, [0.5, 0.5, 0.5, 0.15, 0.15, 0.6, 0.9, 0.9, 0.9, 0.7])
    return d, sub


def gen_switches(rng):
    d = structure_deck(rng, n=small_n(rng, 1, 8))
    sub = rng.choice(["random", "all_on", "all_off", "single", "all_two"])
    if sub == "random":
        d.switches = [rng.choice([0, 1, 2, -1]) for _ in range(10)]
    elif sub == "all_on":
        d.switches = [1] * 10
    elif sub == "all_off":
        d.switches = [rng.choice([0, 0, 2, -1, 10]) for _ in range(10)]
    elif sub == "single":
        d.switches = [0] * 10
        d.switches[rng.randrange(10)] = 1
    else:
        d.switches = [2] * 10
    return d, sub


def gen_format(rng):
    d, _ = rng.choice([gen_oblique, gen_realistic, gen_faces])(rng)
    return d, "format"


def gen_counts(rng):
    sub = rng.choice(["n0", "n0_end", "n_negative", "k0", "k0_n0", "k_negative", "k1", "k10",
                      "n1"])
    d = structure_deck(rng, n=small_n(rng, 1, 8))
    if sub in ("n0", "n0_end"):
        d.atoms0, d.atoms1 = [], []
        if sub == "n0":
            d.extra_lines = rng.choice([[], ["1 Si1 0.1 0.2 0.3"], ["junk 1.5x"]])
    elif sub == "n_negative":
        d.N = rng.choice([-1, -3, -1000, -2147483648])
        keep = rng.random() < 0.5
        if not keep:
            d.atoms0, d.atoms1 = [], []
    elif sub in ("k0", "k0_n0", "k_negative"):
        d.K = 0 if sub != "k_negative" else rng.choice([-1, -5])
        d.symbols, d.refs = [], []
        if sub == "k0_n0":
            d.atoms0, d.atoms1 = [], []
    elif sub == "k1":
        d.symbols = rand_kinds(rng, 1)
        d.refs = []
    elif sub == "k10":
        d.symbols = rand_kinds(rng, 10)
        d.refs = rand_refs(rng, 10)
    else:
        d.atoms0, d.atoms1 = d.atoms0[:1], d.atoms1[:1]
    d.switches = rand_switches(rng, [0.5, 0.5, 0.5, 0.4, 0.4, 0.6, 0.9, 0.9, 0.9, 0.8])
    return d, sub


def gen_big(rng, max_atoms=None):
    hi = 1000 if max_atoms is None else max(1, min(1000, max_atoms))
    lo = min(100, hi)
    n = rng.choice([lo, rng.randint(lo, hi), hi])
    cell0, kind = system_cell(rng)
    # a cell large enough for n atoms at a sane density
    f = (n / 10.0) ** (1.0 / 3.0)
    cell0 = [fx(float(v) * f, 4) for v in cell0[:3]] + cell0[3:]
    d = structure_deck(rng, cell0=cell0, n=n)
    d.radius = fx(radius_for(rng, cell0, n, rng.uniform(4, 20)), 3)
    d.switches = rand_switches(rng, [0.2, 0.2, 0.2, 0.02, 0.02, 0.1, 0.9, 0.9, 0.8, 0.7])
    return d, "n%d" % n


def gen_limit161(rng):
    sub = rng.choice(["k11", "k11_end", "k_big", "n1001", "n1001_ordinal_only", "n_big"])
    d = structure_deck(rng, n=small_n(rng, 1, 4))
    if sub.startswith("k"):
        d.K = 11 if sub != "k_big" else rng.choice([12, 100, 2147483647])
        d.symbols = rand_kinds(rng, 10) + ([] if sub == "k11_end" else [rng.choice(ONE)])
        if sub == "k11_end":
            d.cut = ("symbol", 10)    # the file ends after the tenth symbol line
        return d, sub
    n = 1001 if sub != "n_big" else rng.choice([1002, 5000, 2147483647])
    pos = rand_positions(rng, 1001)
    syms = d.symbols
    names = make_names(rng, syms, 1001)
    a0 = [(i + 1, names[i], *(fx(x, 5) for x in pos[i])) for i in range(1001)]
    if sub == "n1001_ordinal_only":
        d.extra_lines = []
        a0 = a0[:1000]
        d.extra_lines = [rng.choice(["1001", "  1001  ", "7"])]
    d.atoms0 = a0
    d.atoms1 = []
    d.N = n
    return d, sub


def gen_matherr(rng):
    while True:
        ang = [fx(rng.uniform(5, 175), rng.choice([1, 2])) for _ in range(3)]
        if cell_det(["1", "1", "1"] + ang) < -0.05:
            break
    bad = [rand_edge(rng), rand_edge(rng), rand_edge(rng)] + ang
    good = oblique_cell(rng)
    sub = rng.choice(["initial", "minimised", "both"])
    c0 = bad if sub in ("initial", "both") else good
    c1 = bad if sub in ("minimised", "both") else good
    d = structure_deck(rng, cell0=good, n=small_n(rng, 1, 10))
    d.cell0, d.cell1 = c0, c1
    d.radius = fx(rng.uniform(2, 10), 2)
    return d, sub


GENERATORS = {
    "oblique": gen_oblique, "realistic": gen_realistic, "degenerate": gen_degenerate,
    "faces": gen_faces, "exact": gen_exact, "ties": gen_ties, "kinds": gen_kinds,
    "special": gen_special, "switches": gen_switches, "format": gen_format,
    "counts": gen_counts, "matherr": gen_matherr, "limit161": gen_limit161,
}

# ---------------------------------------------------------------------------
# Damaged inputs
# ---------------------------------------------------------------------------

BAD59_REAL = ["1.5x", "2.0.1", "1e5e2", "1.2.3", "0x1F", "abc", "e5", "E1", "NaN", "Inf",
              "Infinity", "1,5x", "(1)", "1_000", "5.0E+0x", "T", "F", "'1.5'", "1.5.", "..5",
              "1ee5", "1dd2", "1.5e2.5", "--5x", "#", "1/2x", "1.5\x00", "\xff", "1.5\x0c",
              "1\x0b5", "1\x1a", "\xa01", "1.5;", "1:2"]
BAD64_REAL = ["--5", "+-1", "-+1", "1e999", "-1e999", "1D400", "1e39", "-3.5e38", "5-",
              "1-", "1e", "1.5e+", "1.5E-", ".", "+", "-", "+.", "-.", ".e5", "1+-2", "++1",
              "1e+-2", "1d", "1q"]
BAD64_INT = ["2147483648", "-2147483649", "99999999999", "--5", "+-1", "1-", "-", "+", "5e",
             "99999999999999999999999"]
EDGE_REAL = ["1e-46", "1.4e-45", "1e-40", "3.4028235e38", "3.4028236e38", "3.40282357e38",
             "1+5", "1.0-3", "1.5+2", "2-1", "0.1e-400", "1e-60",
             "0." + "0" * 60 + "1", "1" + "0" * 45, "0.12345678901234567890123456789",
             "1" * 60 + ".5", "00000000000000000000000000000001.5", "-0", "+0.0e+0",
             "1.e5", ".5e1", "5.d0", "7q-1", "1." + "0" * 2047, "1." + "0" * 2048,
             "0." + "0" * 5000 + "1", "1" + "0" * 3000 + "e-3000", "1e0000000000000000001",
             "1e-0000000000000000001", "1e99999999999", "1e-99999999999",
             "0*1.5", "0*", "00*2.5", "2147483648*1.5", "99999999999*1.5", "2147483647*0.5"]
EDGE_INT = ["0.99999999", "0.9999999", "1.00000001", "1e10", "-1e10", "2147483647",
            "-2147483648", "2147483647.9", "1e9", "1.9999999", "16777217.0", "1+0", "1e-9",
            "+0", "-0", "0001", "1" + "0" * 30 + "e-30", "0" * 3000 + "1",
            "1" + "0" * 3000 + "e-3000", "0*1", "0*"]


def numeric_positions(sts, real=True, integer=True, roles=None):
    pos = []
    for si, st in enumerate(sts):
        if roles and st.role not in roles:
            continue
        for ii, it in enumerate(st.items):
            if (it.t == "r" and real) or (it.t == "i" and integer):
                pos.append((si, ii))
    return pos


def damage_token(rng, sts, kind):
    reals = numeric_positions(sts, True, False)
    ints = numeric_positions(sts, False, True)
    if kind == "59":
        pool = reals + ints
        si, ii = rng.choice(pool)
        tok = rng.choice(BAD59_REAL)
    elif kind == "64":
        if ints and rng.random() < 0.35:
            si, ii = rng.choice(ints)
            tok = rng.choice(BAD64_INT)
        else:
            si, ii = rng.choice(reals)
            tok = rng.choice(BAD64_REAL)
    else:
        if ints and rng.random() < 0.4:
            si, ii = rng.choice(ints)
            tok = rng.choice(EDGE_INT)
        else:
            si, ii = rng.choice(reals)
            tok = rng.choice(EDGE_REAL)
    it = sts[si].items[ii]
    sts[si].items[ii] = Item(it.t, it.v, raw=tok)
    return sts, "%s:%s" % (sts[si].role, tok)


def small_valid_deck(rng):
    d = structure_deck(rng, n=small_n(rng, 1, 6))
    return d


def gen_damaged(rng, cat):
    d = small_valid_deck(rng)
    style = odd_style(rng, 0.3) if rng.random() < 0.3 else plain_style(rng)
    style.final_eol = True
    info = {}

    if cat == "eof24":
        sub = rng.choice(["empty", "blank_only", "cut_line", "cut_line", "cut_line", "cut_mid",
                          "no_word", "no_word", "more_atoms", "more_kinds", "header_empty",
                          "cut_after_count", "open_quote"])
        if sub == "empty":
            return b"", "empty"
        if sub == "blank_only":
            return to_bytes(rng.choice(["\n", "\r\n", "   \n\t\n", "\n\n\n", " ", "x"])), sub
        if sub in ("no_word", "more_atoms", "more_kinds", "header_empty", "cut_after_count",
                   "open_quote"):
            def mut(sts):
                if sub == "no_word":
                    cand = [s for s in sts if s.kind == "value"]
                    s = rng.choice(cand)
                    s.items = s.items[:-1]
                    s.junk = ""
                    info["role"] = s.role
                elif sub == "open_quote":
                    # a quoted text that is never closed runs to the end of the file
                    cand = [(si, ii) for si, s in enumerate(sts) for ii, it in enumerate(s.items)
                            if it.t == "c"]
                    si, ii = rng.choice(cand)
                    it = sts[si].items[ii]
                    sts[si].items[ii] = Item("c", it.v, raw=rng.choice(["'", '"']) + "open text")
                    info["role"] = sts[si].role
                elif sub == "header_empty":
                    cand = [i for i, s in enumerate(sts) if s.kind == "header"]
                    i = rng.choice(cand)
                    sts[i] = Stmt("value", [], "emptyheader", junk="")
                    info["role"] = "header"
                return sts
            if sub == "more_atoms":
                d.N = len(d.atoms0) + rng.randint(1, 3)
            if sub == "more_kinds":
                d.K = len(d.symbols) + rng.randint(1, 2)
            if sub == "cut_after_count":
                d.cut = ("N", 1)      # the atom lists are missing
            lines, sts = render_deck(rng, d, style, mut)
            return to_bytes(join_lines(rng, lines, style)), sub + ":" + info.get("role", "")
        lines, _ = render_deck(rng, d, style)
        text = join_lines(rng, lines, style)
        if sub == "cut_line":
            ends = [i for i, ch in enumerate(text) if ch == "\n"]
            k = rng.randrange(len(ends) - 1) if len(ends) > 1 else 0
            return to_bytes(text[:ends[k] + 1] if ends else ""), "cut_line%d" % k
        # cut in the middle of a line: the last line then has no line end
        k = rng.randrange(1, len(text) - 1)
        while text[k - 1] in "\r\n" and k > 1:
            k -= 1
        if rng.random() < 0.2:
            return to_bytes(text[:k] + "\r"), "cut_mid_cr"
        return to_bytes(text[:k]), "cut_mid"

    if cat == "syntax59":
        sub = rng.choice(["token", "token", "token", "cr_inside", "long_text", "long_text_ok",
                          "word_for_number"])
        if sub in ("token", "word_for_number"):
            def mut(sts):
                sts2, desc = damage_token(rng, sts, "59")
                info["d"] = desc
                return sts2
            lines, _ = render_deck(rng, d, style, mut)
            return to_bytes(join_lines(rng, lines, style)), "token " + info["d"]
        if sub == "cr_inside":
            def mut(sts):
                pos = numeric_positions(sts)
                si, ii = rng.choice(pos)
                it = sts[si].items[ii]
                txt = render_token(rng, it, style)
                k = rng.randint(0, len(txt))
                sts[si].items[ii] = Item(it.t, it.v, raw=txt[:k] + "\r" + txt[k:])
                info["d"] = sts[si].role
                return sts
            lines, _ = render_deck(rng, d, style, mut)
            return to_bytes(join_lines(rng, lines, style)), "cr_inside:" + info["d"]
        # long texts: 2049 characters are allowed, 2050 are not
        length = 2049 if sub == "long_text_ok" else rng.choice([2050, 2051, 3000])
        quoted = rng.random() < 0.5

        def mut(sts):
            cand = [(si, ii) for si, s in enumerate(sts) for ii, it in enumerate(s.items)
                    if it.t == "c"]
            si, ii = rng.choice(cand)
            body = "".join(rng.choice("abcdefghXYZ0123456789") for _ in range(length))
            if quoted:
                tok = "'" + body + "'"
            else:
                body = "L" + body[1:]
                tok = body
            it = sts[si].items[ii]
            sts[si].items[ii] = Item("c", it.v, raw=tok)
            info["d"] = sts[si].role
            return sts
        lines, _ = render_deck(rng, d, style, mut)
        return to_bytes(join_lines(rng, lines, style)), "%s%d:%s:%s" % (
            sub, length, "quoted" if quoted else "bare", info["d"])

    if cat == "edge_numbers" and rng.random() < 0.25:
        # text forms at the edges of the reading rules
        def mut(sts):
            cand = [(si, ii) for si, s in enumerate(sts) for ii, it in enumerate(s.items)
                    if it.t == "c" and s.kind != "header"]
            si, ii = rng.choice(cand)
            it = sts[si].items[ii]
            text = it.v if it.v else "x"
            form = rng.choice(["quote_then_text", "quote_then_comma", "repeat_quoted",
                               "spaced_star", "star_text", "quote_in_text", "empty_quotes"])
            if form == "quote_then_text":
                tok = "'" + text + "'" + rng.choice(["x", "1", "'", '"a"'])
            elif form == "quote_then_comma":
                tok = "'" + text + "',"
            elif form == "repeat_quoted":
                tok = "1*'" + text + "'"
            elif form == "spaced_star":
                tok = "1 *" + text
            elif form == "star_text":
                tok = "*" + text
            elif form == "quote_in_text":
                tok = text[:1] + "'" + text[1:]
            else:
                tok = rng.choice(["''", '""', "' '"])
            sts[si].items[ii] = Item("c", it.v, raw=tok)
            info["d"] = "%s:%s" % (sts[si].role, form)
            return sts
        lines, _ = render_deck(rng, d, style, mut)
        return to_bytes(join_lines(rng, lines, style)), info["d"]

    if cat in ("conv64", "edge_numbers"):
        def mut(sts):
            sts2, desc = damage_token(rng, sts, "64" if cat == "conv64" else "edge")
            info["d"] = desc
            return sts2
        lines, _ = render_deck(rng, d, style, mut)
        return to_bytes(join_lines(rng, lines, style)), info["d"]
    raise ValueError(cat)


# ---------------------------------------------------------------------------
# Earlier reports
# ---------------------------------------------------------------------------


def old_report(rng):
    r = rng.random()
    if r < 0.1:
        return b""
    if r < 0.2:
        return b"old\r\n"
    lines = []
    for i in range(rng.randint(20, 2000)):
        lines.append("        %d   Si%d      0.%05d   0.%05d   0.%05d" % (
            i, i, rng.randrange(10 ** 5), rng.randrange(10 ** 5), rng.randrange(10 ** 5)))
    text = "\r\n".join(["", "", "-----------     \u00ca\u00ee\u00ee\u00f0\u00e4\u00e8\u00ed\u00e0\u00f2\u00fb"] + lines) + "\r\n"
    if rng.random() < 0.2:
        text += "no line end at the end"
    return to_bytes(text)


# ---------------------------------------------------------------------------
# One case
# ---------------------------------------------------------------------------


def pick_category(rng):
    total = sum(w for _, w in CATEGORIES)
    x = rng.uniform(0, total)
    for name, w in CATEGORIES:
        x -= w
        if x < 0:
            return name
    return CATEGORIES[-1][0]


def cap_atoms(d, max_atoms):
    if max_atoms is not None and d.N is None and len(d.atoms0) > max_atoms:
        d.atoms0 = d.atoms0[:max_atoms]
        d.atoms1 = d.atoms1[:max_atoms]


def render_valid(rng, d, cat):
    if cat == "format":
        style = odd_style(rng, 1.0)
    elif rng.random() < 0.3:
        style = odd_style(rng, rng.uniform(0.1, 0.5))
    else:
        style = plain_style(rng)
    if d.cut:
        style.final_eol = True
    lines, _ = render_deck(rng, d, style)
    if cat == "format" and rng.random() < 0.3:
        lines.extend(rng.choice([["trailing junk after the atoms", "1.5x 2.0.1"], [""], ["\t"],
                                 ["1 Si1 0.1 0.2 0.3"], ["\x1a"], ["'unclosed"]]))
    return to_bytes(join_lines(rng, lines, style))


def generate_case(rng, max_atoms=None, index=0):
    cat = pick_category(rng)
    old = old_report(rng) if rng.random() < 0.3 else None
    if cat == "missing":
        return Case("%05d-missing" % index, "missing", None,
                    old_report(rng) if rng.random() < 0.5 else None)
    if cat in ("eof24", "syntax59", "conv64", "edge_numbers"):
        data, sub = gen_damaged(rng, cat)
        return Case("%05d-%s" % (index, cat), cat, data, old, sub)
    if cat == "big":
        d, sub = gen_big(rng, max_atoms)
    else:
        d, sub = GENERATORS[cat](rng)
        cap_atoms(d, max_atoms)
    if d.K is None and cat != "limit161":
        assert len(d.refs) == max(len(d.symbols) - 1, 0), (cat, sub)
    if d.N is None:
        assert len(d.atoms0) == len(d.atoms1), (cat, sub)
    for v in d.cell0 + d.cell1 + [d.radius, d.bond] + d.refs + \
            [x for a in d.atoms0 + d.atoms1 for x in a[2:]]:
        assert "e" not in v.lower() and v == v.strip(), (cat, sub, v)
    data = render_valid(rng, d, cat)
    return Case("%05d-%s" % (index, cat), cat, data, old, sub)


def case_rng(seed, k):
    return random.Random("wsphere-case:%s:%d" % (seed, k))


def make_case(seed, k, max_atoms=None):
    return generate_case(case_rng(seed, k), max_atoms=max_atoms, index=k)


def main(argv=None):
    ap = argparse.ArgumentParser(description="write random wsphere inputs for inspection")
    ap.add_argument("--seed", required=True)
    ap.add_argument("--count", type=int, default=20)
    ap.add_argument("--first", type=int, default=0, help="index of the first case")
    ap.add_argument("--out", required=True)
    ap.add_argument("--max-atoms", type=int, default=None)
    args = ap.parse_args(argv)
    os.makedirs(args.out, exist_ok=True)
    for k in range(args.first, args.first + args.count):
        c = make_case(args.seed, k, args.max_atoms)
        d = os.path.join(args.out, c.name)
        os.makedirs(d, exist_ok=True)
        if c.input_bytes is not None:
            with open(os.path.join(d, "input.txt"), "wb") as f:
                f.write(c.input_bytes)
        if c.old_output is not None:
            with open(os.path.join(d, "output.txt"), "wb") as f:
                f.write(c.old_output)
        with open(os.path.join(d, "case.txt"), "w") as f:
            f.write("name: %s\ncategory: %s\nnote: %s\nseed: %s\nindex: %d\n"
                    "input.txt: %s\nold output.txt: %s\n" % (
                        c.name, c.category, c.note, args.seed, k,
                        "missing" if c.input_bytes is None else "%d bytes" % len(c.input_bytes),
                        "none" if c.old_output is None else "%d bytes" % len(c.old_output)))
        print(c.name, c.note)


if __name__ == "__main__":
    main()
