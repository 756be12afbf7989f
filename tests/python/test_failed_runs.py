"""A printed output without a final structure: the package raises the message
wsphere-input prints, GULP's own error or the absence of an optimisation, when
the final structure is wanted, and reads the input structure all the same."""

import os
import subprocess

import pytest

import wsphere
from conftest import DATA, binary

FAILED = os.path.join(DATA, "gulp", "stw-ge-c0002-error.gout")
SINGLE = os.path.join(DATA, "gulp", "stw-ge-c0002-single.gout")
GIN = os.path.join(DATA, "gulp", "stw-ge-c0002.gin")

GULP_ERROR = (f"{FAILED}, line 508: GULP ended with an error: too many failed attempts to optimise; "
              "Problem in line search")
NO_OPTIMISATION = (f"{SINGLE}: the run did no optimisation (no 'Start of bulk optimisation'); run GULP with "
                   "the keyword optimise, or name the initial and the minimised structure as two files")

CASES = [
    ("failed run", lambda: wsphere.read_pair(FAILED), GULP_ERROR),
    ("failed run named second", lambda: wsphere.read_pair(GIN, FAILED), GULP_ERROR),
    ("failed run, final state", lambda: wsphere.read(FAILED, minimised=True), GULP_ERROR),
    ("single-point run", lambda: wsphere.read_pair(SINGLE), NO_OPTIMISATION),
]


@pytest.mark.parametrize("what, action, message", CASES, ids=[c[0] for c in CASES])
def test_the_message_names_why_the_final_structure_is_missing(what, action, message):
    with pytest.raises(wsphere.InputError) as raised:
        action()
    assert str(raised.value) == message


@pytest.mark.parametrize("path, message", [(FAILED, GULP_ERROR), (SINGLE, NO_OPTIMISATION)],
                         ids=["failed run", "single-point run"])
def test_wsphere_input_prints_the_same_message(tmp_path, path, message):
    program = os.path.abspath(binary("WSPHERE_INPUT_BINARY", "wsphere-input"))
    done = subprocess.run([program, path], cwd=tmp_path, capture_output=True, text=True)
    assert (done.returncode, done.stdout, done.stderr) == (1, "", f"wsphere-input: {message}\n")


@pytest.mark.parametrize("path", [FAILED, SINGLE], ids=["failed run", "single-point run"])
def test_such_a_run_still_gives_its_input_structure(path):
    whole = wsphere.read(os.path.join(DATA, "gulp", "stw-ge-c0002.gout"))
    initial = wsphere.read(path)
    assert initial.elements == whole.elements
    assert (initial.positions == whole.positions).all()
    first, last = wsphere.read_pair(path, os.path.join(DATA, "gulp", "stw-ge-c0002.res"))
    assert len(first) == len(last) == 186
