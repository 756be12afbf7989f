#!/usr/bin/env python3
"""Draws the README's picture of the kyanite example: docs/kyanite-w.png, W by
atom above W by kind, from the package's analysis of examples/kyanite.

    scripts/make_pictures.sh        (builds the package first)
"""

import os
import sys

import matplotlib

matplotlib.use("Agg")

import wsphere  # noqa: E402
import wsphere.plot  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def main():
    result = wsphere.analyse_input(os.path.join(ROOT, "examples", "kyanite", "input.txt"))
    path = os.path.join(ROOT, "docs", "kyanite-w.png")
    figure = wsphere.plot.both(result, label=6)
    figure.suptitle("kyanite, 0 to 2.54 GPa: W of every atom (sphere 5 Å)")
    figure.savefig(path, dpi=100, metadata={"Software": None})
    print(path)
    return 0


if __name__ == "__main__":
    sys.exit(main())
