#!/usr/bin/python3
"""Reference model of wsphere, written from the program's rules and its README.

The whole program is modelled: the free-form reading of input.txt, the entry
order and the capacities, the coordinate correction, the replicated block,
the sphere pass with its single/double precision arithmetic, W, compliance,
the ordering, the kind lists and statistics, the report rendering, the
message lines on standard error and the exit status as Linux shows it.

Interface:

    run(input_bytes, old_output=None, input_path=..., output_path=...)
        -> (output_after: bytes, stderr: bytes, status: int)

Command line: run in a folder, it behaves like the program there (reads
./input.txt, creating it empty when missing, writes ./output.txt by the
replace-at-first-line rule, messages on standard error, exit status).  Open
failures: access denied gives message 9, a name the system rejects as too
long 43, anything else (a folder in place of the file) 30; an output.txt that
can only be read gives message 47 at the first report line.  Interrupts
(message 200) and write errors (38, 39, 41) are not modelled.

Self check: self_check() tests the renderers against exact fractions, the
ordering on its documented cases, and the shipped reports of the repository.

Where the README describes a deliberate choice, the model follows it:
  * the coordinate correction is symmetric: a minimised coordinate more than
    0.5 above the initial one is lowered by 1, one more than 0.5 below it is
    raised by 1;
  * a kind whose sigma is 0/0 or involves a NaN W prints sigma NaN, the run
    goes on (no square-root failure in the statistics);
  * a final line without a line end is read like any other line (a carriage
    return at the end of such a line is an ordinary byte, since it stands
    before no line feed);
  * a negative atom count reads no atom lines and behaves like 0;
  * exit statuses are those of the README table (message number n & 0xFF for
    a severe condition, 3 for the square-root failure of the sphere pass).

Behaviours taken from observing the built program rather than from the
written rules (points the rules leave to the implementer, or where they say
only "a line end"):
  * a message line on standard error ends with LF alone (the three
    square-root lines end with CR LF as the rules say);
  * no traceback follows a message line;
  * kind count 0 or negative (with or without atoms): there is no last
    kind; the lists and summaries of kinds 1..K-1 do not run, the headings
    of the kind lists and the closing empty lines (K8) are written when
    their switch is on, and the last kind's list and summary are left out
    entirely (no bounds failure).

Own choice, not observable: with no cell atoms the ordering does nothing.

Three readings of the input rules admit a choice; the flags below say which
one the program takes.
"""

import math
import os
import re
import sys
from fractions import Fraction

import numpy as np

F32 = np.float32
INF = float("inf")

# ---------------------------------------------------------------------------
# readings of the input rules that admit a choice
#
# The program takes the second reading in each case, the sound one: a repeat
# count gives at least one value and fits a 32-bit integer, and an integer
# written as a real is truncated from its double-precision value, so that
# 0.99999999 gives 0 and not 1.  The flags keep the other readings at hand.
#
# A repeat count of zero ("0*5"): with the flag off, r copies of c for r = 0
# are no copies and the item takes the next value; with it on, a zero count is
# a syntax error (message 59).
ZERO_REPEAT_IS_SYNTAX_ERROR = True
# The largest repeat count; a larger one is a syntax error (message 59).
# None: no limit.
REPEAT_COUNT_MAX = 2**31 - 1
# An integer item given as a real (3.7, 1e1): with the flag off, converted to
# the nearest single-precision value, then truncated toward zero; with it on,
# converted to double precision before the truncation (10.99999999 then gives
# 10, not 11).
INTEGER_FROM_REAL_IN_DOUBLE = True

# ---------------------------------------------------------------------------
# conditions


class Fatal(Exception):
    """A severe condition: message number and the unit it names (or None)."""

    def __init__(self, number, unit=None):
        Exception.__init__(self, number)
        self.number = number
        self.unit = unit


class MathError(Exception):
    """Square root of a negative number or a NaN in the sphere pass."""


MESSAGE_TEXT = {
    24: "end-of-file during read",
    59: "list-directed I/O syntax error",
    64: "input conversion error",
    9: "permission to access file denied",
    30: "open failure",
    47: "write to READONLY file",
    43: "file name specification error",
    161: "Program Exception - array bounds exceeded",
    63: "output conversion error",
}

MATH_LINES = b"\r\nrun-time error M6201: MATH\r\n- sqrt: DOMAIN error\r\n"


def message_line(severity, number, unit, paths):
    text = MESSAGE_TEXT[number]
    if unit is not None:
        text = "%s, unit %d, file %s" % (text, unit, paths[unit])
    line = "runerr: %s (%d): %s\n" % (severity, number, text)
    return line.encode("utf-8", "surrogateescape")


def f32(x):
    """Round a Python float to single precision (nearest, ties to even)."""
    return float(F32(x))


def div(a, b):
    """IEEE double division (a zero divisor gives an infinity or a NaN)."""
    return float(np.float64(a) / np.float64(b))


# ---------------------------------------------------------------------------
# number conversion


def big_int(digits):
    """int() of a digit string of any length."""
    digits = digits.lstrip("0")
    if not digits:
        return 0
    if len(digits) <= 4000:
        return int(digits)
    value = 0
    for start in range(0, len(digits), 3000):
        chunk = digits[start:start + 3000]
        value = value * 10 ** len(chunk) + int(chunk)
    return value


_TWO128 = 2 ** 128


def decimal_to_f32(negative, digits, exp10):
    """Nearest single-precision value of (-1)^negative * digits * 10^exp10.

    Returns None when the value rounds beyond the largest finite single
    (conversion failure).  Small values round to subnormals or to zero."""
    digits = digits.lstrip("0")
    if not digits:
        return -0.0 if negative else 0.0
    mag = len(digits) + exp10          # value < 10^mag, >= 10^(mag-1)
    if mag > 40:
        return None
    if mag < -46:
        return -0.0 if negative else 0.0
    m = big_int(digits)
    if exp10 >= 0:
        num, den = m * 10 ** exp10, 1
    else:
        num, den = m, 10 ** (-exp10)
    # binary exponent e with 2^e <= num/den < 2^(e+1)
    e = num.bit_length() - den.bit_length()
    if e >= 0:
        if num < (den << e):
            e -= 1
    else:
        if (num << -e) < den:
            e -= 1
    if e < -126:
        e = -126
    sh = e - 23                        # quantum 2^sh
    if sh >= 0:
        qn, qd = num, den << sh
    else:
        qn, qd = num << -sh, den
    n, r = divmod(qn, qd)
    if 2 * r > qd or (2 * r == qd and n & 1):
        n += 1
    if sh >= 0:
        if n << sh >= _TWO128:
            return None
    value = math.ldexp(float(n), sh)
    return -value if negative else value


_REAL_RE = re.compile(r"^([+-]?)(\d*)(?:\.(\d*))?(?:[EeDdQq]([+-]?)(\d+))?$")
_INT_RE = re.compile(r"^([+-]?)(\d+)$")
_NUM_CHARS = frozenset(b"0123456789+-.EeDdQq")
_EXP_CHARS = frozenset(b"EeDdQq")


def check_numeric_token(tok):
    """Syntax test of a numeric value: message 59 when it fails."""
    for b in tok:
        if b not in _NUM_CHARS:
            raise Fatal(59, 1)
    if tok.count(b".") > 1:
        raise Fatal(59, 1)
    if sum(1 for b in tok if b in _EXP_CHARS) > 1:
        raise Fatal(59, 1)
    if tok[0] in _EXP_CHARS:
        raise Fatal(59, 1)


def convert_real(tok):
    """Token of valid characters -> single-precision value, or message 64."""
    mt = _REAL_RE.match(tok.decode("ascii"))
    if mt is None:
        raise Fatal(64, 1)
    sign, ipart, fpart, esign, edigits = mt.groups()
    fpart = fpart or ""
    if not ipart and not fpart:
        raise Fatal(64, 1)
    negative = sign == "-"
    digits = ipart + fpart
    exp10 = -len(fpart)
    if edigits is not None:
        ed = edigits.lstrip("0")
        if len(ed) > 12:
            # an exponent far beyond any single-precision value
            if digits.strip("0") == "":
                return -0.0 if negative else 0.0
            if esign == "-":
                return -0.0 if negative else 0.0
            raise Fatal(64, 1)
        ev = int(ed) if ed else 0
        exp10 += -ev if esign == "-" else ev
    value = decimal_to_f32(negative, digits, exp10)
    if value is None:
        raise Fatal(64, 1)
    return value


def convert_real_double(tok):
    """Token of valid characters -> double value (for an integer item)."""
    mt = _REAL_RE.match(tok.decode("ascii"))
    sign, ipart, fpart, esign, edigits = mt.groups()
    fpart = fpart or ""
    digits = (ipart + fpart).lstrip("0")
    if not digits:
        return 0.0
    exp10 = -len(fpart)
    if edigits is not None:
        ed = edigits.lstrip("0")
        if len(ed) > 12:
            if esign == "-":
                return 0.0
            raise Fatal(64, 1)
        exp10 += -int(ed or "0") if esign == "-" else int(ed or "0")
    if len(digits) + exp10 > 310:
        raise Fatal(64, 1)
    if len(digits) + exp10 < -330:
        return 0.0
    m = big_int(digits)
    if exp10 >= 0:
        v = float(m * 10 ** exp10)
    else:
        v = m / 10 ** (-exp10)       # correctly rounded quotient
    return -v if sign == "-" else v


def convert_integer(tok):
    s = tok.decode("ascii")
    mt = _INT_RE.match(s)
    if mt is not None:
        sign, digits = mt.groups()
        digits = digits.lstrip("0")
        if len(digits) > 11:
            raise Fatal(64, 1)
        v = int(digits) if digits else 0
        if sign == "-":
            v = -v
        if v < -2 ** 31 or v > 2 ** 31 - 1:
            raise Fatal(64, 1)
        return v
    # a real form: converted as a real, truncated toward zero
    r = convert_real(tok)
    if INTEGER_FROM_REAL_IN_DOUBLE:
        r = convert_real_double(tok)
    v = int(r)  # truncation toward zero
    if v < -2 ** 31 or v > 2 ** 31 - 1:
        raise Fatal(64, 1)
    return v


# ---------------------------------------------------------------------------
# free-form reader

_NULL = None
TEXT_LIMIT = 2049


class Reader:
    """Free-form reading of input.txt (unit 1)."""

    def __init__(self, data):
        parts = data.split(b"\n")
        lines = []
        last = len(parts) - 1
        for k, part in enumerate(parts):
            if k < last:
                if part.endswith(b"\r"):
                    part = part[:-1]
                lines.append(part)
            elif part:
                # bytes after the last line feed: read as a final line
                lines.append(part)
        self.lines = lines
        self.next_line = 0
        self.cur = b""
        self.pos = 0
        self.rep = 0
        self.repval = _NULL
        self.sep = False
        self.done = False

    def _advance(self):
        if self.next_line >= len(self.lines):
            raise Fatal(24, 1)
        self.cur = self.lines[self.next_line]
        self.next_line += 1
        self.pos = 0

    def begin(self):
        """Start a read statement at the beginning of the next line."""
        self._advance()
        self.rep = 0
        self.repval = _NULL
        self.sep = False
        self.done = False

    # -- value scanning
    def _scan_quoted(self):
        line = self.cur
        mark = line[self.pos]
        p = self.pos + 1
        text = bytearray()
        while True:
            n = len(line)
            if p >= n:
                self._advance()
                line = self.cur
                p = 0
                continue
            c = line[p]
            if c == mark:
                if p + 1 < n and line[p + 1] == mark:
                    text.append(mark)
                    p += 2
                else:
                    p += 1
                    break
            else:
                text.append(c)
                p += 1
            if len(text) > TEXT_LIMIT:
                raise Fatal(59, 1)
        self.pos = p
        return (True, bytes(text))

    def _scan_simple(self, kind):
        line = self.cur
        p = self.pos
        if kind == "c" and line[p] in (39, 34):
            return self._scan_quoted()
        n = len(line)
        q = p
        while q < n and line[q] not in (32, 9, 44, 47):
            q += 1
        self.pos = q
        return (False, line[p:q])

    def _convert(self, v, kind, length, old):
        if v is _NULL:
            return old
        quoted, text = v
        if kind == "c":
            if not quoted and len(text) > TEXT_LIMIT:
                raise Fatal(59, 1)
            if len(text) >= length:
                return text[:length]
            return text + b" " * (length - len(text))
        if quoted:
            raise Fatal(59, 1)
        check_numeric_token(text)
        if kind == "r":
            return convert_real(text)
        return convert_integer(text)

    def item(self, kind, old, length=0):
        """Assign the next item: kind 'i', 'r' or 'c' (length L)."""
        if self.done:
            return old
        if self.rep > 0:
            self.rep -= 1
            return self._convert(self.repval, kind, length, old)
        while True:
            while True:
                line = self.cur
                n = len(line)
                p = self.pos
                while p < n and line[p] in (32, 9):
                    p += 1
                if p >= n:
                    self._advance()
                    continue
                self.pos = p
                c = line[p]
                if c == 44:                      # comma
                    self.pos = p + 1
                    if self.sep:
                        self.sep = False
                        continue
                    return old                   # null value
                if c == 47:                      # slash
                    self.done = True
                    return old
                break
            # a value starts at self.pos; a run of digits then '*' is a repeat
            q = p
            while q < n and 48 <= line[q] <= 57:
                q += 1
            if q > p and q < n and line[q] == 42:
                digits = line[p:q].decode("ascii").lstrip("0")
                r = int(digits or "0") if len(digits) < 30 else 10 ** 30
                if r == 0 and ZERO_REPEAT_IS_SYNTAX_ERROR:
                    raise Fatal(59, 1)
                if REPEAT_COUNT_MAX is not None and r > REPEAT_COUNT_MAX:
                    raise Fatal(59, 1)
                p2 = q + 1
                self.pos = p2
                if p2 >= n or line[p2] in (32, 9, 44, 47):
                    v = _NULL
                else:
                    v = self._scan_simple(kind)
                self.sep = True
                if r == 0:
                    # zero copies: the value is given to no item
                    continue
                self.rep = r - 1
                self.repval = v
                return self._convert(v, kind, length, old)
            v = self._scan_simple(kind)
            self.sep = True
            return self._convert(v, kind, length, old)


# ---------------------------------------------------------------------------
# report rendering


def cyr(text):
    """A report literal as Windows-1251 bytes, carried in a latin-1 str."""
    return text.encode("cp1251").decode("latin-1")


def fmt_i(v, w):
    s = str(v)
    if len(s) > w:
        return "*" * w, True
    return s.rjust(w), False


def _nonfinite(x, w):
    if x != x:
        s = " NaN"
    elif x > 0:
        s = " Infinity"
    else:
        s = " -Infinity"
    if len(s) > w:
        return "*" * w
    return s.ljust(w)


def fmt_f(x, w, d):
    """Fw.d of a float (exact binary value rounded half to even)."""
    if x != x or x == INF or x == -INF:
        return _nonfinite(x, w), False
    s = "%.*f" % (d, x)
    if s[0] == "-" and not s.strip("-0."):
        s = s[1:]
    if len(s) > w:
        return "*" * w, True
    return s.rjust(w), False


def fmt_e(x, w, d):
    """Ew.d: 0.ddddE+xx form."""
    if x != x or x == INF or x == -INF:
        return _nonfinite(x, w), False
    if x == 0.0:
        s = "0." + "0" * d + "E+00"
    else:
        t = "%.*e" % (d - 1, x)
        neg = t[0] == "-"
        if neg:
            t = t[1:]
        mant, ex = t.split("e")
        e = int(ex) + 1
        s = ("-" if neg else "") + "0." + mant.replace(".", "") + "E" + \
            ("+" if e >= 0 else "-") + "%02d" % abs(e)
    if len(s) > w:
        return "*" * w, True
    return s.rjust(w), False


def fmt_a(v, w):
    if len(v) >= w:
        return v[:w]
    return " " * (w - len(v)) + v


def layout_lines(items):
    """Lines of a statement without data items: '/', int n (nX) or a str."""
    lines = []
    cur = ""
    pos = 1
    for it in items:
        if it == "/":
            lines.append(cur)
            cur = ""
            pos = 1
        elif isinstance(it, int):
            pos += it
        else:
            cur = cur.ljust(pos - 1) + it
            pos += len(it)
    lines.append(cur)
    return lines


TITLE_INITIAL = cyr("-----------     Координаты исходных атомов  ---------------------")
TITLE_MINIMISED = cyr("-----------     Координаты исходных атомов  после GULP  ---------------------")
TITLE_CORRECTED = cyr("-----------     Исправленные координаты  атомов (после GULP ) ---------------------")
TITLE_BLOCK_INITIAL = cyr("-------------  Координаты размноженных атомов (до GULPa)    --------------------")
TITLE_BLOCK_MINIMISED = cyr("-------------  Координаты размноженных атомов  (после GULPa)   --------------------")
S1_TEXT = cyr("-------------  выдача для каждого атома       --------------------")
S2_TEXT = "-" * 86
S3_TEXT = cyr("no.,имя,коорд. - ")
S4_TEXT = cyr(" Атомы попавшие в сферу.")
S5_TEXT = cyr(" no.,имя,коорд.(размноженная ячейка),расстояние в сфере, delta расстояний.")
T1_TEXT = cyr(" no.        имя             среднее - W        податливость")
O1_TEXT = cyr(" Упорядоченные значения по W")
O2_TEXT = cyr(" no.    имя            среднее- W        податливость")
K1_TEXT = cyr(" Значения W по атомам:")
K6_ATOM = cyr("атом ")
K6_MEAN = cyr("среднее W - ")
K6_SIGMA = cyr("сигма - ")

assert len(TITLE_BLOCK_INITIAL) == 80 and len(TITLE_BLOCK_MINIMISED) == 83
assert len(S1_TEXT) == 13 + 2 + 24 + 7 + 20


class Report:
    """output.txt (unit 2) and the console lines."""

    def __init__(self, readonly, paths):
        self.lines = []
        self.readonly = readonly
        self.paths = paths
        self.err = []

    def put(self, lines, bad=False):
        """One report statement: its lines, then message 63 if a finite
        number of it was printed as asterisks."""
        if not self.lines and self.readonly and lines:
            raise Fatal(47, 2)
        self.lines.extend(lines)
        if bad:
            self.err.append(message_line("error", 63, 2, self.paths))

    def content(self):
        if not self.lines:
            return None
        return ("\r\n".join(self.lines) + "\r\n").encode("latin-1")


def _numbers_slow(fields):
    """Render (value, w, d, kind) fields joined by their blank runs."""
    out = []
    bad = False
    for gap, v, w, d, kind in fields:
        if kind == "f":
            t, b = fmt_f(v, w, d)
        else:
            t, b = fmt_e(v, w, d)
        out.append(gap + t)
        bad = bad or b
    return "".join(out), bad


def xyz_fields(x, y, z):
    """3X, 3(F8.5, 2X) after a name (the last 2X is not written)."""
    t = "   %8.5f  %8.5f  %8.5f" % (x, y, z)
    # fast path: every field fitted, no non-finite value, no minus zero
    if len(t) == 31 and "n" not in t and "-0.00000" not in t:
        return t, False
    return _numbers_slow([("   ", x, 8, 5, "f"), ("  ", y, 8, 5, "f"),
                          ("  ", z, 8, 5, "f")])


def row_position(index, iw, name, x, y, z):
    """5X, Iw, 3X, A6, 3X, 3(F8.5, 2X)"""
    a, b1 = fmt_i(index, iw)
    t, b2 = xyz_fields(x, y, z)
    return "     " + a + "   " + name + t, b1 or b2


def e144(x):
    """E14.4, fast for finite positive values."""
    if x > 0.0 and x != INF:
        t = "%.3e" % x
        e = int(t[6:]) + 1
        if e >= 0:
            return "    0." + t[0] + t[2:5] + "E+%02d" % e
        return "    0." + t[0] + t[2:5] + "E-%02d" % -e
    return fmt_e(x, 14, 4)[0]


def row_w(index, name, w, comp, cw):
    """1X, I5, 7X, A6, 10X, F10.5, 5X, F6.2 (or F5.2), " %" """
    a, b1 = fmt_i(index, 5)
    fw, b2 = fmt_f(w, 10, 5)
    fc, b3 = fmt_f(comp, cw, 2)
    return (" " + a + "       " + name + "          " + fw + "     " + fc + " %",
            b1 or b2 or b3)


# ---------------------------------------------------------------------------
# the ordering


def sortirovka(keys, count, comp):
    """Quicksort with explicit stack, median of three, pivot at 53/128 of the
    span.  keys/comp are 0-based Python lists; places are 1-based here."""
    if count < 1:
        return
    K = keys
    C = comp
    stack = []
    i, j = 1, count
    while True:
        if j > i:
            p = i + (53 * (j - i)) // 128
            t = K[p - 1]
            if not (K[i - 1] <= t):
                K[i - 1], K[p - 1] = K[p - 1], K[i - 1]
                C[i - 1], C[p - 1] = C[p - 1], C[i - 1]
                t = K[p - 1]
            if K[j - 1] < t:
                K[j - 1], K[p - 1] = K[p - 1], K[j - 1]
                C[j - 1], C[p - 1] = C[p - 1], C[j - 1]
                t = K[p - 1]
                if not (K[i - 1] <= t):
                    K[i - 1], K[p - 1] = K[p - 1], K[i - 1]
                    C[i - 1], C[p - 1] = C[p - 1], C[i - 1]
                    t = K[p - 1]
            l = j
            k = i
            while True:
                l -= 1
                while K[l - 1] > t:
                    l -= 1
                k += 1
                while K[k - 1] < t:
                    k += 1
                if k <= l:
                    K[k - 1], K[l - 1] = K[l - 1], K[k - 1]
                    C[k - 1], C[l - 1] = C[l - 1], C[k - 1]
                else:
                    break
            if l - i > j - k:
                stack.append((i, l))
                i, j = k, j
            else:
                stack.append((k, j))
                i, j = i, l
        else:
            if not stack:
                return
            i, j = stack.pop()


# ---------------------------------------------------------------------------
# the program

NAME_ZERO = b"\x00" * 6
SYMBOL_ZERO = b"\x00" * 2
SELF_LIMIT = f32(1.0e-4)
DEG = f32(0.017453292)

def read_input(rd):
    """OPEN_READ, the reading part: returns the structure state (a dict)."""
    st = {}
    cells = []
    for _ in range(2):
        rd.begin()
        v = [0.0] * 6
        for q in range(6):
            v[q] = rd.item("r", v[q])
        rd.item("c", b"\x00", 1)
        cells.append(v)
    st["initial_cell"], st["minimised_cell"] = cells
    rd.begin()
    rd.item("c", b"\x00", 1)                            # title
    rd.begin()
    st["sphere_radius"] = rd.item("r", 0.0)
    rd.item("c", b"\x00", 1)
    rd.begin()
    st["bond_limit"] = rd.item("r", 0.0)
    rd.item("c", b"\x00", 1)
    rd.begin()
    K = rd.item("i", 0)
    rd.item("c", b"\x00", 1)
    st["kind_count"] = K
    symbols = [SYMBOL_ZERO] * 10
    refs = [0.0] * 10
    for k in range(1, K + 1):
        if k > 10:
            raise Fatal(161)
        rd.begin()
        symbols[k - 1] = rd.item("c", symbols[k - 1], 2)
        rd.item("c", b"\x00", 1)
    for k in range(1, K):
        rd.begin()
        refs[k - 1] = rd.item("r", refs[k - 1])
        rd.item("c", b"\x00", 1)
    st["kind_symbols"] = symbols
    st["bond_reference"] = refs
    rd.begin()
    rd.item("c", b"\x00", 1)                            # title
    switches = []
    for _ in range(10):
        rd.begin()
        switches.append(rd.item("i", 0))
        rd.item("c", b"\x00", 1)
    st["switches"] = switches
    rd.begin()
    rd.item("c", b"\x00", 1)                            # title
    rd.begin()
    N = rd.item("i", 0)
    rd.item("c", b"\x00", 1)
    st["cell_atom_count"] = N
    names = []
    ini = [[], [], []]
    mini = [[], [], []]
    for i in range(1, N + 1):
        rd.begin()
        rd.item("i", 0)                                 # ordinal
        if i > 1000:
            raise Fatal(161)
        names.append(rd.item("c", NAME_ZERO, 6))
        for a in range(3):
            ini[a].append(rd.item("r", 0.0))
    for i in range(1, N + 1):
        rd.begin()
        rd.item("i", 0)
        names[i - 1] = rd.item("c", names[i - 1], 6)
        for a in range(3):
            mini[a].append(rd.item("r", 0.0))
    st["names"] = names
    st["initial"] = ini
    st["minimised"] = mini
    return st


def correct(ini, mini):
    """Coordinate correction (symmetric, at most one step per axis)."""
    out = []
    for a in range(3):
        col = list(mini[a])
        for i in range(len(col)):
            d = col[i] - ini[a][i]
            if d > 0.5:
                col[i] = f32(col[i] - 1.0)
            elif -d > 0.5:
                col[i] = f32(col[i] + 1.0)
        out.append(col)
    return out


def position_table(rep, title, names, pos):
    rep.put(["", "", title])
    for i in range(len(names)):
        line, bad = row_position(i + 1, 4, names[i], pos[0][i], pos[1][i], pos[2][i])
        rep.put([line], bad)


def metric(cell):
    a, b, c, alpha, beta, gamma = cell
    aa = f32(a * a)
    bb = f32(b * b)
    cc = f32(c * c)
    ab = f32(f32(a * 2.0 * b) * math.cos(gamma * DEG))
    ac = f32(f32(a * 2.0 * c) * math.cos(beta * DEG))
    bc = f32(f32(b * 2.0 * c) * math.cos(alpha * DEG))
    return aa, bb, cc, ab, ac, bc


USE_BOX_FILTER = True


def sphere_box(m, r2, block):
    """Half-widths (single precision) of a box of fractional differences
    outside which no candidate can pass the sphere test, or None when no
    safe box is known (then every candidate is computed in full).

    With G the matrix of the metric (aa, ab/2, ac/2; ab/2, bb, bc/2; ...),
    positive definite with smallest eigenvalue lam, and L the sum of the
    absolute coefficients, the stored Q0 of a difference d satisfies
    Q0 >= (d'Gd - 2^-23 L |d|^2)(1 - 2^-24).  When lam >= 1000 * 2^-23 L,
    Q0 <= r2 implies d'Gd <= 1.0011 r2, and |dx| is then at most
    sqrt(1.0011 r2 (G^-1)xx).  The box takes 1.01 r2 and a further margin.
    Coordinates are bounded so that no difference or square overflows."""
    aa, bb, cc, ab, ac, bc = m
    vals = [aa, bb, cc, ab, ac, bc, r2]
    if not all(math.isfinite(v) for v in vals):
        return None
    if len(block[0]) == 0:
        return None
    for arr in block:
        if not np.all(np.abs(arr) < 1e15):
            return None
    G = np.array([[aa, ab / 2, ac / 2], [ab / 2, bb, bc / 2], [ac / 2, bc / 2, cc]])
    L = abs(aa) + abs(bb) + abs(cc) + abs(ab) + abs(ac) + abs(bc)
    if not L > 0:
        return None
    lam = float(np.linalg.eigvalsh(G)[0])
    if not lam >= 1000.0 * 2.0 ** -23 * L * 2:
        return None
    Ginv = np.linalg.inv(G)
    out = []
    for q in range(3):
        g = float(Ginv[q, q])
        if not (g > 0 and math.isfinite(g)):
            return None
        h = math.sqrt(1.01 * r2 * g) * 1.001 + 1e-30
        out.append(F32(np.nextafter(np.float32(h), np.float32(np.inf))))
    return out


def seq_sum32(values):
    """Running single-precision sum from 0.0, rounded after each addition."""
    if len(values) == 0:
        return 0.0
    arr = np.empty(len(values) + 1, dtype=np.float32)
    arr[0] = 0.0
    arr[1:] = values
    return float(np.add.accumulate(arr, dtype=np.float32)[-1])


def program(input_bytes, paths, output_readonly=False):
    """The run; returns (report lines or None, stderr bytes, status)."""
    rep = Report(output_readonly, paths)
    status = 0
    with np.errstate(all="ignore"):
        try:
            _program(input_bytes, rep)
        except Fatal as f:
            rep.err.append(message_line("severe", f.number, f.unit, paths))
            status = f.number & 0xFF
        except MathError:
            rep.err.append(MATH_LINES)
            status = 3
    return rep.content(), b"".join(rep.err), status


def _program(input_bytes, rep):
    rd = Reader(input_bytes if input_bytes is not None else b"")
    st = read_input(rd)
    sw = [s == 1 for s in st["switches"]]
    N = max(st["cell_atom_count"], 0)
    names_b = st["names"]
    names = [n.decode("latin-1") for n in names_b]
    ini = st["initial"]
    mini_read = st["minimised"]

    # OPEN_READ: the coordinate tables and the correction
    if sw[0]:
        position_table(rep, TITLE_INITIAL, names, ini)
    if sw[1]:
        position_table(rep, TITLE_MINIMISED, names, mini_read)
    mini = correct(ini, mini_read)
    if sw[2]:
        position_table(rep, TITLE_CORRECTED, names, mini)

    # RAZMNOJENIE: the block
    shifts = np.array([-1.0, 0.0, 1.0])
    if N > 0:
        def block_of(pos):
            x = np.array(pos[0], dtype=np.float64)
            y = np.array(pos[1], dtype=np.float64)
            z = np.array(pos[2], dtype=np.float64)
            bx = (x[:, None, None, None] + shifts[None, :, None, None]) + np.zeros((1, 3, 3, 3))
            by = (y[:, None, None, None] + shifts[None, None, :, None]) + np.zeros((1, 3, 3, 3))
            bz = (z[:, None, None, None] + shifts[None, None, None, :]) + np.zeros((1, 3, 3, 3))
            return [v.reshape(-1).astype(np.float32).astype(np.float64) for v in (bx, by, bz)]
        block_ini = block_of(ini)
        block_min = block_of(mini)
    else:
        block_ini = [np.zeros(0)] * 3
        block_min = [np.zeros(0)] * 3
    if sw[3]:
        block_table(rep, TITLE_BLOCK_INITIAL, names, block_ini)
    if sw[4]:
        block_table(rep, TITLE_BLOCK_MINIMISED, names, block_min)

    # KALMIR: set-up
    r = st["sphere_radius"]
    r2 = f32(r * r)
    m0 = metric(st["initial_cell"])
    m1 = metric(st["minimised_cell"])
    refs = st["bond_reference"]
    scale = f32(div(1.0, refs[0] - refs[1]))
    bond_limit = st["bond_limit"]
    symbols = st["kind_symbols"]
    details = sw[5]
    if details:
        rep.put(layout_lines(["/", "/", S1_TEXT]))

    w_values = [0.0] * N
    compliance = [0.0] * N
    atom_order = [0] * N
    aa0, bb0, cc0, ab0, ac0, bc0 = m0
    aa1, bb1, cc1, ab1, ac1, bc1 = m1
    BX, BY, BZ = block_ini
    MX, MY, MZ = block_min
    rad_names = names
    box = sphere_box(m0, r2, block_ini) if USE_BOX_FILTER else None
    if box is not None:
        BX32 = BX.astype(np.float32)
        BY32 = BY.astype(np.float32)
        BZ32 = BZ.astype(np.float32)
    for i in range(N):
        atom_order[i] = i + 1
        xi, yi, zi = ini[0][i], ini[1][i], ini[2][i]
        if details:
            rep.put(["", "", S2_TEXT])
            line, bad = row_position(i + 1, 4, names[i], xi, yi, zi)
            line = "     " + S3_TEXT + line
            rep.put(["", line, "", ""], bad)
            rep.put(["", S4_TEXT])
            rep.put(["", S5_TEXT])
        if box is not None:
            # candidates outside the box cannot be members (see sphere_box);
            # the differences are single-precision subtractions, which give
            # the same values as the double difference rounded to single
            fx = BX32 - F32(xi)
            fy = BY32 - F32(yi)
            fz = BZ32 - F32(zi)
            cand = np.nonzero((np.abs(fx) <= box[0]) & (np.abs(fy) <= box[1])
                              & (np.abs(fz) <= box[2]))[0]
            dx = fx[cand].astype(np.float64)
            dy = fy[cand].astype(np.float64)
            dz = fz[cand].astype(np.float64)
        else:
            cand = None
            dx = (BX - xi).astype(np.float32).astype(np.float64)
            dy = (BY - yi).astype(np.float32).astype(np.float64)
            dz = (BZ - zi).astype(np.float32).astype(np.float64)
        selfm = (np.abs(dz) < SELF_LIMIT) & (np.abs(dx) < SELF_LIMIT) & (np.abs(dy) < SELF_LIMIT)
        dx2 = (dx * dx).astype(np.float32)
        dy2 = (dy * dy).astype(np.float32)
        dz2 = (dz * dz).astype(np.float32)
        q0 = (aa0 * dx2.astype(np.float64) + bb0 * dy2.astype(np.float64)
              + cc0 * dz2.astype(np.float64) + (dy * dx) * ab0
              + (dz * dx) * ac0 + (dz * dy) * bc0).astype(np.float32).astype(np.float64)
        member = ~selfm & ~(q0 > r2)
        idx = np.nonzero(member)[0]
        if cand is not None:
            q0 = q0[idx]
            idx = cand[idx]
        else:
            q0 = q0[idx]
        count = len(idx)
        css = 0.0
        bsum = 0.0
        bcount = 0
        if count:
            q0m = q0
            ex = (MX[idx] - mini[0][i]).astype(np.float32).astype(np.float64)
            ey = (MY[idx] - mini[1][i]).astype(np.float32).astype(np.float64)
            ez = (MZ[idx] - mini[2][i]).astype(np.float32).astype(np.float64)
            ex2 = (ex * ex).astype(np.float32).astype(np.float64)
            ey2 = (ey * ey).astype(np.float32).astype(np.float64)
            ez2 = (ez * ez).astype(np.float32).astype(np.float64)
            q1 = (aa1 * ex2 + bb1 * ey2 + cc1 * ez2 + (ey * ex) * ab1
                  + (ez * ex) * ac1 + (ez * ey) * bc1)
            bad_sq = (q0m < 0) | np.isnan(q0m) | (q1 < 0) | np.isnan(q1)
            stop = None
            if bad_sq.any():
                stop = int(np.argmax(bad_sq))
                idx = idx[:stop]
                q0m = q0m[:stop]
                q1 = q1[:stop]
            d0 = np.sqrt(q0m).astype(np.float32).astype(np.float64)
            d1 = np.sqrt(q1).astype(np.float32).astype(np.float64)
            dc = np.abs(d0 - d1).astype(np.float32).astype(np.float64)
            if details:
                member_lines(rep, idx, rad_names, MX, MY, MZ, d1, dc)
            if stop is not None:
                raise MathError()
            bonded = d0 <= bond_limit
            bcount = int(bonded.sum())
            bsum = seq_sum32(d1[bonded].astype(np.float32))
            css = seq_sum32((dc * dc).astype(np.float32))
        w = f32(div(css, count))
        w_values[i] = w
        mean_bond = f32(div(bsum, bcount))
        pre = names_b[i][:2]
        if pre == symbols[0]:
            compliance[i] = f32(abs((mean_bond - refs[0]) * scale) * 100.0)
        if pre == symbols[1]:
            compliance[i] = f32(abs((mean_bond - refs[1]) * scale) * 100.0)

    # W table
    if sw[6]:
        rep.put(layout_lines(["/", "/", "/", 2, T1_TEXT, "/"]))
        for i in range(N):
            line, bad = row_w(i + 1, names[i], w_values[i], compliance[i], 6)
            rep.put([line], bad)

    # ordering
    sortirovka(w_values, st["cell_atom_count"] if st["cell_atom_count"] > 0 else 0,
               atom_order)
    if sw[7]:
        rep.put(layout_lines(["/", "/", "/", 2, O1_TEXT, "/"]))
        rep.put(layout_lines(["/", 2, O2_TEXT, "/"]))
        for k in range(N):
            j = atom_order[k] - 1
            line, bad = row_w(k + 1, names[j], w_values[k], compliance[j], 6)
            rep.put([line], bad)

    kind_lists(rep, st, sw, N, names, names_b, w_values, atom_order, compliance)


def block_table(rep, title, names, block):
    rep.put(["", "", title])
    BX, BY, BZ = block
    xs = BX.tolist()
    ys = BY.tolist()
    zs = BZ.tolist()
    out = rep.lines
    for k in range(len(xs)):
        t, bad = xyz_fields(xs[k], ys[k], zs[k])
        line = "     %8d   " % (k + 1) + names[k // 27] + t
        if bad:
            rep.put([line], True)
        else:
            out.append(line)


def member_lines(rep, idx, names, MX, MY, MZ, d1, dc):
    """S6: 5X, I8, 3X, A6, 3X, 3(F8.5, 2X), 5X, F8.3, 5X, E14.4"""
    xs = MX[idx].tolist()
    ys = MY[idx].tolist()
    zs = MZ[idx].tolist()
    d1s = d1.tolist()
    dcs = dc.tolist()
    out = rep.lines        # the section's headings are already written
    for n, j in enumerate(idx.tolist()):
        x = xs[n]
        y = ys[n]
        z = zs[n]
        d = d1s[n]
        t = "   %8.5f  %8.5f  %8.5f       %8.3f     " % (x, y, z, d)
        if len(t) == 51 and "n" not in t and "-0.00000" not in t \
                and "-0.000 " not in t:
            out.append("     %8d   " % (j + 1) + names[j // 27] + t + e144(dcs[n]))
            continue
        a, b1 = fmt_i(j + 1, 8)
        t, b2 = _numbers_slow([("   ", x, 8, 5, "f"), ("  ", y, 8, 5, "f"),
                               ("  ", z, 8, 5, "f"), ("       ", d, 8, 3, "f"),
                               ("     ", dcs[n], 14, 4, "e")])
        rep.put(["     " + a + "   " + names[j // 27] + t], b1 or b2)


def kind_stats(values):
    """Mean and sigma of one kind's list; a NaN quotient under the square
    root (one member, or a NaN W) gives sigma NaN and the run goes on."""
    n = len(values)
    s = 0.0
    for v in values:
        s = f32(s + v)
    mean = f32(div(s, n))
    ss = 0.0
    for v in values:
        d = mean - v
        ss = f32(ss + d * d)
    sigma = f32(float(np.sqrt(np.float64(div(ss, n - 1)))))
    return mean, sigma


def summary_lines(rep, symbol, mean, sigma):
    rep.put(["", "", ""])
    fm, b1 = fmt_f(mean, 10, 5)
    fs, b2 = fmt_f(sigma, 10, 5)
    line = "  " + K6_ATOM + " " + fmt_a(symbol.decode("latin-1"), 6) + " : " + \
        K6_MEAN + fm + "   " + K6_SIGMA + fs
    rep.put([line], b1 or b2)
    rep.put(["", ""])


def kind_lists(rep, st, sw, N, names, names_b, w_values, atom_order, compliance):
    K = st["kind_count"]
    symbols = st["kind_symbols"]
    by_kind = sw[8]
    summary = sw[9]
    if by_kind:
        rep.put(layout_lines(["/", "/", "/", 2, K1_TEXT, "/"]))
        rep.put(layout_lines(["/", 2, O2_TEXT, "/"]))
    for m in range(1, K):
        if by_kind:
            rep.put(["", ""])
        sym = symbols[m - 1]
        members = []
        for k in range(N):
            j = atom_order[k] - 1
            if names_b[j][:2] == sym:
                members.append(w_values[k])
                if by_kind:
                    line, bad = row_w(len(members), names[j], w_values[k], compliance[j], 6)
                    rep.put([line], bad)
        if summary:
            mean, sigma = kind_stats(members)
            summary_lines(rep, sym, mean, sigma)
    if by_kind:
        rep.put(["", ""])
    # the last kind
    if K < 1:
        # no last kind: its list and its summary lines are left out
        return
    sym = symbols[K - 1]
    members = []
    for k in range(N):
        j = atom_order[k] - 1
        if names_b[j][:1] == sym[:1] and sym[1:2] == b" ":
            members.append(w_values[k])
            if by_kind:
                line, bad = row_w(len(members), names[j], w_values[k], compliance[j], 5)
                rep.put([line], bad)
    if summary:
        mean, sigma = kind_stats(members)
        summary_lines(rep, sym, mean, sigma)


# ---------------------------------------------------------------------------
# interface


def run(input_bytes, old_output=None, input_path="/run/input.txt",
        output_path="/run/output.txt"):
    """The whole program on bytes in memory.

    input_bytes: content of input.txt, or None when it does not exist (the
    program then creates it empty and fails with message 24).
    old_output: content of output.txt before the run, or None.
    Returns (output_after, stderr, status)."""
    paths = {1: input_path, 2: output_path}
    content, err, status = program(input_bytes, paths)
    if content is None:
        content = old_output if old_output is not None else b""
    return content, err, status


# ---------------------------------------------------------------------------
# self check


def _exact_f(x, w, d):
    """Fw.d from the exact binary value, with fractions (slow reference)."""
    q = Fraction(x) * 10 ** d
    n = q.numerator // q.denominator
    r = q - n
    if r > Fraction(1, 2) or (r == Fraction(1, 2) and n % 2 == 1):
        n += 1
    neg = n < 0
    n = abs(n)
    s = "%d.%0*d" % (n // 10 ** d, d, n % 10 ** d)
    if neg and n != 0:
        s = "-" + s
    return s.rjust(w) if len(s) <= w else "*" * w


def _exact_e(x, w, d):
    """Ew.d from the exact binary value, with fractions (slow reference)."""
    if x == 0:
        return ("0." + "0" * d + "E+00").rjust(w)
    q = abs(Fraction(x))
    e = 0
    while q >= 1:
        q /= 10
        e += 1
    while q < Fraction(1, 10):
        q *= 10
        e -= 1
    m = q * 10 ** d
    n = m.numerator // m.denominator
    r = m - n
    if r > Fraction(1, 2) or (r == Fraction(1, 2) and n % 2 == 1):
        n += 1
    if n == 10 ** d:
        n = 10 ** (d - 1)
        e += 1
    s = ("-" if x < 0 else "") + "0." + "%0*d" % (d, n) + "E" + \
        ("+" if e >= 0 else "-") + "%02d" % abs(e)
    return s.rjust(w)


def self_check(repo=None, count=20000, verbose=True):
    """Checks of the renderers, the ordering, the metric and, when the
    repository is at hand, the shipped reports.  Raises AssertionError."""
    import random
    # renderers: the documented cases
    assert fmt_f(0.5, 8, 5) == (" 0.50000", False)
    assert fmt_f(-0.25, 8, 5) == ("-0.25000", False)
    assert fmt_f(123.0, 8, 5) == ("********", True)
    assert fmt_f(100.0, 5, 2) == ("*****", True)
    assert fmt_f(100.0, 6, 2) == ("100.00", False)
    assert fmt_f(0.125, 6, 2)[0] == "  0.12" and fmt_f(0.375, 6, 2)[0] == "  0.38"
    assert fmt_e(0.0, 14, 4)[0] == "    0.0000E+00" == fmt_e(-0.0, 14, 4)[0]
    assert fmt_i(100000, 5) == ("*****", True)
    assert fmt_f(float("nan"), 10, 5) == (" NaN      ", False)
    assert fmt_f(-INF, 10, 5)[0] == " -Infinity" and fmt_f(INF, 10, 5)[0] == " Infinity "
    assert fmt_f(INF, 6, 2) == ("******", False) and fmt_f(INF, 5, 2)[0] == "*****"
    assert fmt_f(float("nan"), 5, 2)[0] == " NaN "
    assert fmt_f(-0.0, 10, 5)[0] == "   0.00000"
    assert fmt_f(-0.000001, 8, 5)[0] == " 0.00000"
    assert fmt_e(12.34, 14, 4)[0] == "    0.1234E+02"
    assert fmt_e(f32(-0.000123456), 14, 4)[0] == "   -0.1235E-03"
    assert e144(f32(12.34)) == fmt_e(f32(12.34), 14, 4)[0]
    assert layout_lines(["/"]) == ["", ""] and layout_lines(["/", "/"]) == ["", "", ""]
    assert layout_lines(["/", 2, "ab", "/"]) == ["", "  ab", ""]
    # renderers against exact fractions, on random single-precision values
    rnd = random.Random(1)
    for _ in range(count):
        kind = rnd.random()
        if kind < 0.3:
            x = f32(rnd.uniform(-20, 120))
        elif kind < 0.5:
            x = f32(rnd.randint(-200000, 200000) / 2.0 ** rnd.randint(0, 12))
        else:
            x = f32(math.ldexp(rnd.uniform(-1, 1), rnd.randint(-149, 127)))
        for w, d in ((8, 5), (8, 3), (10, 5), (6, 2), (5, 2)):
            assert fmt_f(x, w, d)[0] == _exact_f(x, w, d), (x, w, d)
        assert fmt_e(x, 14, 4)[0] == _exact_e(x, 14, 4), x
        if x > 0:
            assert e144(x) == _exact_e(x, 14, 4), x
        y = f32(rnd.uniform(-12, 120))
        z = f32(rnd.uniform(-12, 120))
        t, _ = xyz_fields(x, y, z)
        assert t == "   " + _exact_f(x, 8, 5) + "  " + _exact_f(y, 8, 5) + \
            "  " + _exact_f(z, 8, 5), (x, y, z)
    # decimal conversion against exact rounding of fractions
    for _ in range(count // 4):
        digits = str(rnd.randint(1, 10 ** rnd.randint(1, 25)))
        e10 = rnd.randint(-60, 40)
        v = decimal_to_f32(False, digits, e10)
        q = Fraction(int(digits)) * Fraction(10) ** e10
        if v is None:
            assert q >= Fraction(2 ** 128 - 2 ** 103)
        else:
            assert float(np.float32(v)) == v
            lo = Fraction(float(np.nextafter(np.float32(v), np.float32(0))))
            hi = Fraction(float(np.nextafter(np.float32(v), np.float32(np.inf))))
            fv = Fraction(v)
            assert abs(q - fv) <= abs(q - lo) and abs(q - fv) <= abs(q - hi)
    # the ordering: the documented cases
    def srt(keys):
        k = list(keys)
        c = list(range(1, len(k) + 1))
        sortirovka(k, len(k), c)
        return k, c
    assert srt([2, 1]) == ([1, 2], [2, 1])
    assert srt([5, 4, 3, 2, 1]) == ([1, 2, 3, 4, 5], [5, 4, 3, 2, 1])
    assert srt([3, 1, 2, 1, 3]) == ([1, 1, 2, 3, 3], [2, 4, 3, 1, 5])
    assert srt([7] * 5)[1] == [1, 4, 3, 2, 5] and srt([7] * 4)[1] == [1, 3, 2, 4]
    assert srt([7] * 3)[1] == [1, 2, 3] and srt([7] * 2)[1] == [1, 2]
    assert srt([0.5, 0.5, 0.25, 0.25]) == ([0.25, 0.25, 0.5, 0.5], [4, 3, 1, 2])
    for n in (1, 2, 3, 10, 100, 1000):
        keys = [rnd.choice([rnd.random(), 0.5, 1.0]) for _ in range(n)]
        k, c = srt(keys)
        assert k == sorted(keys) and sorted(c) == list(range(1, n + 1))
        assert all(keys[c[q] - 1] == k[q] for q in range(n))
    nan = float("nan")
    k, c = srt([nan, 1.0, nan, 0.5, 2.0, nan])
    assert sorted(c) == [1, 2, 3, 4, 5, 6]
    # a right angle: cos(90 k) is about 1.2168e-8
    ab = metric((4.0, 4.0, 4.0, 90.0, 90.0, 90.0))[3]
    assert abs(ab - 3.8937e-7) < 1e-10, ab
    # a cubic cell of edge 2, one atom at the origin, radius 2: the six face
    # images are the members, on the boundary
    src = (b"2 2 2 90 90 90 c\n2 2 2 90 90 90 c\nt\n2 r\n2 b\n1 k\nX k\nt\n"
           b"0 s\n0 s\n0 s\n0 s\n0 s\n1 s\n0 s\n0 s\n0 s\n0 s\nt\n1 n\n"
           b"1 X 0 0 0\n1 X 0 0 0\n")
    got, err, status = run(src)
    rows = [l for l in got.split(b"\r\n") if l.startswith(b"     ") and b"E" in l]
    assert [int(l.split()[0]) for l in rows] == [5, 11, 13, 15, 17, 23], rows
    assert all(l.endswith(b"2.000         0.0000E+00") for l in rows), rows
    # the shipped reports
    if repo is None:
        repo = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                             "..", ".."))
    pairs = []
    ex = os.path.join(repo, "examples")
    if os.path.isdir(ex):
        for name in sorted(os.listdir(ex)):
            pairs.append((os.path.join(ex, name, "input.txt"),
                          os.path.join(ex, name, "output.txt")))
    data = os.path.join(repo, "tests", "data")
    if os.path.isdir(data):
        for name in sorted(os.listdir(data)):
            if name.endswith("_input.txt"):
                exp = os.path.join(data, name[:-len("_input.txt")] + ".expected")
                if os.path.exists(exp):
                    pairs.append((os.path.join(data, name), exp))
    allsw = (os.path.join(data, "example_input.txt"),
             os.path.join(data, "example_all.expected"))
    pairs.append(allsw + (True,))
    for pair in pairs:
        inp, exp = pair[:2]
        if not (os.path.exists(inp) and os.path.exists(exp)):
            continue
        with open(inp, "rb") as f:
            src = f.read()
        if len(pair) > 2:
            # the same input with every report switch on
            lines = src.split(b"\n")
            at = [q for q, l in enumerate(lines) if l.startswith(b"switches")][0]
            for q in range(at + 1, at + 11):
                lines[q] = b"1" + lines[q][1:]
            src = b"\n".join(lines)
        with open(exp, "rb") as f:
            want = f.read()
        got, err, status = run(src)
        assert (got, err, status) == (want, b"", 0), inp
        if verbose:
            print("matches:", os.path.relpath(exp, repo))
    if verbose:
        print("self check passed")
    return True


# ---------------------------------------------------------------------------
# command line


def _open_unknown(path, unit):
    """Open with status UNKNOWN: read-write, created if missing, read-only
    when read-write access is refused.  Returns (fd, readonly)."""
    import errno
    try:
        fd = os.open(path, os.O_RDWR)
        return fd, False
    except OSError as e:
        err = e.errno
    if err == errno.ENOENT:
        try:
            fd = os.open(path, os.O_RDWR | os.O_CREAT, 0o666)
            return fd, False
        except OSError as e:
            err = e.errno
    elif err in (errno.EACCES, errno.EPERM, errno.EROFS):
        try:
            fd = os.open(path, os.O_RDONLY)
            return fd, True
        except OSError as e:
            err = e.errno
    if err in (errno.EACCES, errno.EPERM, errno.EROFS):
        raise Fatal(9, unit)
    if err == errno.ENAMETOOLONG:
        raise Fatal(43, unit)
    raise Fatal(30, unit)


def main():
    paths = {1: os.path.abspath("input.txt"), 2: os.path.abspath("output.txt")}
    fds = []
    try:
        fd_in, _ = _open_unknown("input.txt", 1)
        fds.append(fd_in)
        fd_out, out_ro = _open_unknown("output.txt", 2)
        fds.append(fd_out)
    except Fatal as f:
        sys.stderr.buffer.write(message_line("severe", f.number, f.unit, paths))
        sys.stderr.flush()
        for fd in fds:
            os.close(fd)
        return f.number & 0xFF
    chunks = []
    while True:
        b = os.read(fd_in, 1 << 20)
        if not b:
            break
        chunks.append(b)
    data = b"".join(chunks)
    content, err, status = program(data, paths, output_readonly=out_ro)
    if content is not None:
        os.lseek(fd_out, 0, 0)
        view = memoryview(content)
        while view:
            n = os.write(fd_out, view)
            view = view[n:]
        try:
            os.ftruncate(fd_out, len(content))
        except OSError:
            pass
    os.close(fd_in)
    os.close(fd_out)
    sys.stderr.buffer.write(err)
    sys.stderr.flush()
    return status


if __name__ == "__main__":
    sys.exit(main())
