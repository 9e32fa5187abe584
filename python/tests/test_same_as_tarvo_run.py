"""Fitting on a shared table gives what tarvo-run gives on the table file: the same report, the same
model and the same predictions."""

import csv
import shutil
import subprocess

import numpy as np
import pytest

from conftest import SHARED_TABLES, shared_tables, table_frame
from tarvo import TarvoClassifier, TarvoRegressor

CHEAP_AT_TWO = {"iris", "wine", "glass", "cpu"}
TABLES = shared_tables()
CASES = [(name, task, target, 1, "none") for name, task, target in TABLES] + [
    (name, task, target, 2, "none") for name, task, target in TABLES if name in CHEAP_AT_TWO] + [
    (name, task, target, 1, "1se") for name, task, target in TABLES] + [
    (name, task, target, 2, "1se") for name, task, target in TABLES if name in {"iris", "cpu"}]


def without_input_line(report):
    return [line for line in report.splitlines() if not line.startswith("input file:")]


@pytest.mark.skipif(not CASES, reason="the shared tables (../shared/tables) are not beside the project")
@pytest.mark.parametrize("name,task,target,look_ahead,prune", CASES)
def test_same_trees_rules_and_predictions(name, task, target, look_ahead, prune, tarvo_run, prog_par,
                                          tmp_path):
    table = tmp_path / "table.txt"
    shutil.copyfile(SHARED_TABLES / f"{name}.txt", table)
    shutil.copyfile(prog_par, tmp_path / "prog.par")
    subprocess.run([tarvo_run, f"--target={target}", f"--look-ahead={look_ahead}", "--variants=2",
                    f"--prune={prune}", "--save-model=model.json", "-o", "report.txt", "table.txt"],
                   cwd=tmp_path, check=True, capture_output=True, timeout=600)
    subprocess.run([tarvo_run, "--apply=model.json", "-o", "votes.csv", "table.txt"],
                   cwd=tmp_path, check=True, capture_output=True, timeout=600)

    X, y = table_frame(table, target)
    kind = TarvoClassifier if task == "classification" else TarvoRegressor
    # Growth settings left unset: a pruned run takes the same larger growth as tarvo-run's.
    estimator = kind(look_ahead=look_ahead, variants=2, prune=prune).fit(X, y)

    report = (tmp_path / "report.txt").read_bytes().decode("utf-8", errors="replace")
    assert without_input_line(estimator.report_) == without_input_line(report)
    assert estimator.model_.text() == (tmp_path / "model.json").read_text()
    with open(tmp_path / "votes.csv", newline="") as rows:
        votes = [row["vote"] for row in csv.DictReader(rows)]
    predicted = estimator.predict(X)
    if task == "classification":
        assert [str(label) for label in predicted] == votes
    else:
        np.testing.assert_allclose(predicted, np.array(votes, dtype=float), rtol=0, atol=0.0005)
