"""Where the Python tests find the shared tables and the command-line program they compare with."""

import csv
import os
import pathlib

import numpy as np
import pandas as pd
import pytest

from tarvo import _engine

PROJECT = pathlib.Path(__file__).resolve().parents[2]
SHARED_TABLES = PROJECT.parent / "shared" / "tables"


def shared_tables():
    """(name, task, target column) of each shared table; none when the folder is not here."""
    listing = SHARED_TABLES / "list.csv"
    if not listing.exists():
        return []
    with open(listing, newline="") as rows:
        return [(row["name"], row["task"], int(row["target"])) for row in csv.DictReader(rows)]


def table_frame(path, target):
    """A table file's objects as features X (a DataFrame) and target y (a Series), as the engine's
    own reader reads them: nominal columns become categoricals in the file's value order."""
    rows, _ = _engine.read_table_file(str(path), target)
    data = {}
    for name, nominal, values, value_names in rows:
        if nominal:
            codes = np.where(np.isnan(values), -1, values - 1).astype(int)
            data[name] = pd.Categorical.from_codes(codes, categories=value_names)
        else:
            data[name] = values
    frame = pd.DataFrame(data)
    y = frame.pop(rows[target - 1][0])
    return frame, y


@pytest.fixture(scope="session")
def tarvo_run():
    program = os.environ.get("TARVO_RUN")
    if not program or not os.access(program, os.X_OK):
        pytest.skip("TARVO_RUN does not name the tarvo-run program (the CMake test run sets it)")
    return program


@pytest.fixture(scope="session")
def prog_par():
    path = os.environ.get("TARVO_PROG_PAR", str(PROJECT / "data" / "prog.par"))
    if not os.path.exists(path):
        pytest.skip("no chi-square table data/prog.par")
    return path
