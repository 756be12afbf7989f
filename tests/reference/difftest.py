#!/usr/bin/python3
"""Differential test of wsphere against the Python reference model.

    difftest.py --seed S --count N [--binary PATH ...] [--jobs J] [--keep DIR]
                [--no-model] [--max-atoms M] [--first K] [--only CATEGORY]
                [--timeout SEC] [--model-timeout SEC] [--quiet] [--wrapper CMD]

For each case k (made by generate.py from the seed and k alone) every binary
runs in a fresh temporary folder holding input.txt (and the earlier output.txt
when the case has one); the model (wsphere_model.run) runs in-process on the
same bytes.  Compared: the bytes of output.txt after the run, the message lines
on standard error (the run folder replaced by a placeholder) and the exit
status.  With --wrapper CMD (scripts/wine.sh) each binary whose name ends in
.exe runs through CMD, and message paths in Wine's Windows form of the run
folder (Z:\\tmp\\wsdiff-...\\input.txt) count as the run folder too; its
status is the low byte that Wine passes on.  Every binary is compared with
the model (unless --no-model) and every further binary with the first one.  A binary must also leave input.txt as it
was (or empty, when the case has none) and print nothing on standard output.

A case with a difference is kept in --keep DIR (default ./difftest-failures),
in DIR/s<seed>-<case>/, with the input, the earlier output and each side's
output, messages and status.  The last line printed is "N passed, M failed";
the exit status is 0 only when M is 0.
"""

import argparse
import concurrent.futures
import os
import shlex
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
if HERE not in sys.path:
    sys.path.insert(0, HERE)

import generate  # noqa: E402

DEFAULT_BINARY = os.path.normpath(os.path.join(HERE, "..", "..", "build", "wsphere"))
RUNDIR = "/@RUNDIR@"          # the run folder, as it appears in compared messages

_model = None
_opts = None


class ModelTimeout(Exception):
    pass


def _alarm(signum, frame):
    raise ModelTimeout()


def _init_worker(opts):
    global _model, _opts
    _opts = opts
    if opts["use_model"]:
        import wsphere_model
        _model = wsphere_model
    signal.signal(signal.SIGALRM, _alarm)


class Side:
    """What one program did with a case."""

    def __init__(self, label, output=None, stderr=b"", status=None, stdout=b"",
                 input_after=None, seconds=0.0, note=""):
        self.label = label
        self.output = output          # bytes, or None when output.txt is absent
        self.stderr = stderr
        self.status = status          # int 0..255, or a text such as "timeout"
        self.stdout = stdout
        self.input_after = input_after
        self.seconds = seconds
        self.note = note


def run_binary(label, binary, case, timeout):
    wrapper = _opts["wrapper"] if binary.endswith(".exe") else []
    d = os.path.realpath(tempfile.mkdtemp(prefix="wsdiff-"))
    try:
        inp = os.path.join(d, "input.txt")
        out = os.path.join(d, "output.txt")
        t0 = time.monotonic()
        for attempt in range(3):
            for name in (inp, out):
                if os.path.isfile(name):
                    os.remove(name)
            if case.input_bytes is not None:
                with open(inp, "wb") as f:
                    f.write(case.input_bytes)
            if case.old_output is not None:
                with open(out, "wb") as f:
                    f.write(case.old_output)
            try:
                p = subprocess.Popen(wrapper + [binary], cwd=d, stdin=subprocess.DEVNULL,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                     start_new_session=True)
            except OSError as e:
                status = "could not start: %s" % e
                stderr, stdout = b"", b""
                time.sleep(0.5)
                continue
            try:
                stdout, stderr = p.communicate(timeout=timeout)
                rc = p.returncode
                status = rc if rc >= 0 else "signal %d" % -rc
            except subprocess.TimeoutExpired:
                # the run and anything it started
                try:
                    os.killpg(p.pid, signal.SIGKILL)
                except OSError:
                    pass
                stdout, stderr = p.communicate()
                status = "timeout after %g s" % timeout
            # Wine itself sometimes loses the line to its server as a run
            # starts ("wine client error:... sendmsg: Bad file descriptor"):
            # that run is not the program's, and it is made again.
            if wrapper and stderr.startswith(b"wine client error:") and attempt < 2:
                continue
            break
        seconds = time.monotonic() - t0
        output = None
        if os.path.isfile(out):
            with open(out, "rb") as f:
                output = f.read()
        input_after = None
        if os.path.isfile(inp):
            with open(inp, "rb") as f:
                input_after = f.read()
        if wrapper:
            windows_d = "Z:" + d.replace("/", "\\")
            stderr = stderr.replace((windows_d + "\\").encode(), (RUNDIR + "/").encode())
        stderr = stderr.replace(d.encode(), RUNDIR.encode())
        return Side(label, output, stderr, status, stdout, input_after, seconds)
    finally:
        shutil.rmtree(d, ignore_errors=True)


def run_model(case, model_timeout):
    t0 = time.monotonic()
    signal.setitimer(signal.ITIMER_REAL, model_timeout)
    try:
        out, err, status = _model.run(case.input_bytes, case.old_output,
                                      input_path=RUNDIR + "/input.txt",
                                      output_path=RUNDIR + "/output.txt")
        return Side("model", out, err, status, seconds=time.monotonic() - t0)
    except ModelTimeout:
        return Side("model", None, b"", "model timeout after %g s" % model_timeout,
                    seconds=time.monotonic() - t0, note="timeout")
    except Exception:
        return Side("model", None, traceback.format_exc().encode(), "model exception",
                    seconds=time.monotonic() - t0, note="exception")
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)


def show(line):
    text = line.decode("cp1251", errors="replace")
    return repr(text)


def first_difference(a, b):
    """(line number, line of a, line of b) of the first difference; lines are
    cut at LF and keep their CR, so a missing CR shows."""
    if a is None or b is None:
        return None
    la = a.split(b"\n")
    lb = b.split(b"\n")
    for k in range(max(len(la), len(lb))):
        x = la[k] if k < len(la) else None
        y = lb[k] if k < len(lb) else None
        if x != y:
            return k + 1, x, y
    return None


def describe_bytes(label, data):
    return "%s: %s" % (label, "absent" if data is None else "%d bytes" % len(data))


def compare(x, y):
    """Differences between two sides, as a list of text blocks."""
    diffs = []
    for check in ("status", "stderr", "output"):
        a, b = getattr(x, check), getattr(y, check)
        if a == b:
            continue
        if check == "status":
            diffs.append("status: %s %r, %s %r" % (x.label, a, y.label, b))
            continue
        head = "%s differs (%s vs %s; %s, %s)" % (
            check, x.label, y.label, describe_bytes(x.label, a), describe_bytes(y.label, b))
        fd = first_difference(a, b)
        if fd:
            n, la, lb = fd
            w = max(len(x.label), len(y.label))
            head += "\n    first difference at line %d:\n      %-*s %s\n      %-*s %s" % (
                n, w, x.label + ":", "<no line>" if la is None else show(la),
                w, y.label + ":", "<no line>" if lb is None else show(lb))
        diffs.append(head)
    return diffs


def self_checks(side, case):
    diffs = []
    expected_input = case.input_bytes if case.input_bytes is not None else b""
    if side.input_after != expected_input:
        diffs.append("input: %s left input.txt changed (%s, expected %d bytes)" % (
            side.label, describe_bytes("now", side.input_after), len(expected_input)))
    if side.stdout:
        diffs.append("stdout: %s printed on standard output: %s" % (
            side.label, show(side.stdout[:200])))
    return diffs


def keep_case(keep_dir, seed, case, sides, diffs, binaries):
    d = os.path.join(keep_dir, "s%s-%s" % (seed, case.name))
    if os.path.isdir(d):
        shutil.rmtree(d)
    os.makedirs(d)
    if case.input_bytes is not None:
        with open(os.path.join(d, "input.txt"), "wb") as f:
            f.write(case.input_bytes)
    if case.old_output is not None:
        with open(os.path.join(d, "old_output.txt"), "wb") as f:
            f.write(case.old_output)
    for s in sides:
        if s.output is not None:
            with open(os.path.join(d, s.label + ".output.txt"), "wb") as f:
                f.write(s.output)
        with open(os.path.join(d, s.label + ".stderr.txt"), "wb") as f:
            f.write(s.stderr or b"")
        with open(os.path.join(d, s.label + ".status.txt"), "w") as f:
            f.write("%s\n" % (s.status,))
    with open(os.path.join(d, "case.txt"), "w") as f:
        f.write("case: %s\ncategory: %s\nnote: %s\nseed: %s\n" % (
            case.name, case.category, case.note, seed))
        f.write("input.txt: %s\nearlier output.txt: %s\n" % (
            "missing" if case.input_bytes is None else "%d bytes" % len(case.input_bytes),
            "none" if case.old_output is None else "%d bytes" % len(case.old_output)))
        for k, b in enumerate(binaries):
            f.write("bin%d: %s\n" % (k + 1, b))
        f.write("\n" + "\n".join(diffs) + "\n")
    return d


def run_case(k):
    try:
        return _run_case(k)
    except Exception:
        return {"k": k, "name": "%05d-?" % k, "category": "harness", "note": "",
                "diffs": ["harness error:\n" + traceback.format_exc()], "kept": None,
                "model_s": 0.0, "bin_s": 0.0, "status": None}


def _run_case(k):
    o = _opts
    case = generate.make_case(o["seed"], k, o["max_atoms"])
    if o["only"] and case.category not in o["only"]:
        return None
    sides = []
    for n, b in enumerate(o["binaries"]):
        sides.append(run_binary("bin%d" % (n + 1), b, case, o["timeout"]))
    model = run_model(case, o["model_timeout"]) if o["use_model"] else None
    diffs = []
    for s in sides:
        diffs += self_checks(s, case)
    if model is not None:
        if model.note:
            diffs.append("%s: %s\n%s" % (model.status, model.note,
                                         model.stderr.decode("utf-8", "replace")))
        else:
            for s in sides:
                diffs += compare(model, s)
    for s in sides[1:]:
        diffs += compare(sides[0], s)
    kept = None
    if diffs:
        kept = keep_case(o["keep"], o["seed"], case,
                         ([model] if model is not None else []) + sides, diffs, o["names"])
    return {
        "k": k, "name": case.name, "category": case.category, "note": case.note,
        "diffs": diffs, "kept": kept,
        "model_s": model.seconds if model is not None else 0.0,
        "bin_s": sum(s.seconds for s in sides),
        "status": model.status if model is not None else sides[0].status,
    }


def wrapper_command(text):
    """The --wrapper command as a list, a relative path to it made absolute
    (the runs start in their own folders)."""
    words = shlex.split(text) if text else []
    if words and os.path.exists(words[0]):
        words[0] = os.path.abspath(words[0])
    return words


def main(argv=None):
    ap = argparse.ArgumentParser(description="compare wsphere with the reference model")
    ap.add_argument("--seed", help="seed of the case generator (default: from the clock)")
    ap.add_argument("--count", type=int, default=200)
    ap.add_argument("--first", type=int, default=0, help="index of the first case")
    ap.add_argument("--binary", action="append", default=None,
                    help="program to test (repeatable; default build/wsphere)")
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--keep", default="difftest-failures",
                    help="folder for the cases with a difference")
    ap.add_argument("--no-model", action="store_true", help="compare binaries only")
    ap.add_argument("--max-atoms", type=int, default=None)
    ap.add_argument("--only", action="append", default=None, metavar="CATEGORY",
                    help="run only the cases of this category (repeatable)")
    ap.add_argument("--timeout", type=float, default=60.0, help="seconds per binary run")
    ap.add_argument("--model-timeout", type=float, default=300.0, help="seconds per model run")
    ap.add_argument("--quiet", action="store_true", help="one line per failing case")
    ap.add_argument("--wrapper", default=None, metavar="CMD",
                    help="command that runs each .exe binary (scripts/wine.sh)")
    args = ap.parse_args(argv)

    seed = args.seed if args.seed is not None else str(int(time.time()))
    print("seed: %s" % seed, flush=True)

    binaries = [os.path.abspath(b) for b in (args.binary or [DEFAULT_BINARY])]
    for b in binaries:
        if not os.access(b, os.X_OK):
            print("difftest: no executable program at %s" % b, file=sys.stderr)
            return 2
    # test copies, so that a rebuild during the run changes nothing
    snap = tempfile.mkdtemp(prefix="wsdiff-bin-")
    tested = []
    for n, b in enumerate(binaries):
        c = os.path.join(snap, "bin%d-%s" % (n + 1, os.path.basename(b)))
        shutil.copy2(b, c)
        tested.append(c)
        print("bin%d: %s" % (n + 1, b))
    try:
        return _main(args, seed, binaries, tested)
    finally:
        shutil.rmtree(snap, ignore_errors=True)


def _main(args, seed, binaries, tested):
    use_model = not args.no_model
    if use_model:
        try:
            import wsphere_model  # noqa: F401
            if not hasattr(wsphere_model, "run"):
                raise ImportError("wsphere_model has no run()")
        except Exception as e:
            print("difftest: cannot load the model (%s); use --no-model" % e, file=sys.stderr)
            return 2
    elif len(binaries) < 2:
        print("difftest: with --no-model give at least two --binary", file=sys.stderr)
        return 2
    if args.only:
        known = {c for c, _ in generate.CATEGORIES}
        bad = [c for c in args.only if c not in known]
        if bad:
            print("difftest: unknown category %s; known: %s" % (
                ", ".join(bad), ", ".join(sorted(known))), file=sys.stderr)
            return 2

    opts = {
        "seed": seed, "binaries": tested, "names": binaries, "use_model": use_model,
        "max_atoms": args.max_atoms, "timeout": args.timeout,
        "model_timeout": args.model_timeout, "keep": os.path.abspath(args.keep),
        "only": set(args.only) if args.only else None,
        "wrapper": wrapper_command(args.wrapper),
    }
    ks = range(args.first, args.first + args.count)
    again_opts = "".join(" --binary %s" % b for b in binaries) if args.binary else ""
    if args.no_model:
        again_opts += " --no-model"
    if args.wrapper:
        again_opts += " --wrapper %s" % shlex.quote(args.wrapper)
    if args.max_atoms is not None:
        again_opts += " --max-atoms %d" % args.max_atoms
    t0 = time.monotonic()
    per_cat = {}
    passed = failed = 0
    model_s = bin_s = 0.0

    def handle(r):
        nonlocal passed, failed, model_s, bin_s
        if r is None:
            return
        c = per_cat.setdefault(r["category"], [0, 0])
        model_s += r["model_s"]
        bin_s += r["bin_s"]
        if r["diffs"]:
            failed += 1
            c[1] += 1
            if args.quiet:
                print("FAIL %s (%s): %s" % (r["name"], r["note"],
                                            r["diffs"][0].splitlines()[0]), flush=True)
            else:
                print("FAIL %s (%s)" % (r["name"], r["note"]))
                for dtxt in r["diffs"]:
                    print("  " + dtxt.replace("\n", "\n  "))
                print("  kept in %s" % r["kept"])
                print("  again: %s --seed %s --first %d --count 1%s" % (
                    sys.argv[0], seed, r["k"], again_opts), flush=True)
        else:
            passed += 1
            c[0] += 1

    if args.jobs <= 1:
        _init_worker(opts)
        for k in ks:
            handle(run_case(k))
    else:
        with concurrent.futures.ProcessPoolExecutor(
                max_workers=args.jobs, initializer=_init_worker, initargs=(opts,)) as ex:
            for r in ex.map(run_case, ks, chunksize=2):
                handle(r)

    elapsed = time.monotonic() - t0
    total = passed + failed
    print("per category (passed/cases):")
    for cat in [c for c, _ in generate.CATEGORIES] + sorted(
            set(per_cat) - {c for c, _ in generate.CATEGORIES}):
        if cat in per_cat:
            p, f = per_cat[cat]
            print("  %-13s %4d/%d" % (cat, p, p + f))
    print("%d cases in %.1f s: %.1f cases/s (model %.1f s, binaries %.1f s in all)" % (
        total, elapsed, total / elapsed if elapsed > 0 else 0.0, model_s, bin_s))
    print("%d passed, %d failed" % (passed, failed))
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
