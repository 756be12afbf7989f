"""Shared paths and helpers of the package's tests. The package under test is
the one on PYTHONPATH (the build tree's, when CTest runs these tests)."""

import math
import os
import shutil
import sys

import pytest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
EXAMPLES = os.path.join(ROOT, "examples")
DATA = os.path.join(ROOT, "tests", "data")
EXAMPLE_NAMES = ["quartz", "kyanite", "lawsonite"]

sys.path.insert(0, os.path.join(ROOT, "tests", "reference"))


def example(name, file):
    return os.path.join(EXAMPLES, name, file)


def binary(variable, name):
    path = os.environ.get(variable) or shutil.which(name) or os.path.join(ROOT, "build", name)
    if not os.path.exists(path):
        pytest.skip(f"{name} is not built (set {variable})")
    return path


def same_as_printed(value, text, decimals):
    """Whether a single prints as the report's field `text` does."""
    text = text.strip()
    if math.isnan(value):
        return text.lower() == "nan"
    if text in ("Infinity", "-Infinity"):
        return value == (math.inf if text == "Infinity" else -math.inf)
    if set(text) == {"*"}:
        return abs(value) >= 10.0 ** (len(text) - decimals - 2)
    return f"{value:.{decimals}f}" == text


def assert_matches_report(result, report):
    """W and compliance of every atom equal the report's W table rows."""
    rows = report.w_rows["W table"]
    assert len(rows) == len(result), "the report's W table has another number of atoms"
    for i, row in enumerate(rows):
        assert row["number"] == i + 1
        assert row["name"] == result.names[i][:6].strip()
        assert same_as_printed(float(result.w[i]), row["w"], 5), (i, result.w[i], row["w"])
        assert same_as_printed(float(result.compliance[i]), row["compliance"], 2), \
            (i, result.compliance[i], row["compliance"])


def pytest_report_header(config):
    import test_against_program
    return f"generated inputs: seed {test_against_program.SEED} (WSPHERE_TEST_SEED repeats it)"
