"""Fitting in parallel: the engine runs without the GIL, a grid search spreads over two processes,
and the same search runs on a Dask cluster through joblib."""

import threading
import time

import joblib
import numpy as np
import pytest
from sklearn.model_selection import GridSearchCV

from tarvo import TarvoClassifier

GRID = {"look_ahead": [1, 2], "homogeneity": [0.01, 0.1]}


def blobs(objects=150, seed=4):
    rng = np.random.RandomState(seed)
    X = rng.uniform(size=(objects, 4))
    y = (X[:, 0] + X[:, 1] > 1).astype(int) + (X[:, 2] > 0.7)
    return X, y


def test_fit_lets_other_python_threads_run():
    rng = np.random.RandomState(5)
    X = rng.uniform(size=(400, 8))
    y = (X @ rng.uniform(size=8) + rng.normal(scale=0.1, size=400) > 2).astype(int)
    ticks = []
    stop = threading.Event()

    def tick():
        while not stop.is_set():
            ticks.append(time.perf_counter())
            time.sleep(0.001)

    ticker = threading.Thread(target=tick)
    ticker.start()
    try:
        start = time.perf_counter()
        TarvoClassifier(look_ahead=2, folds=5, n_threads=1).fit(X, y)
        end = time.perf_counter()
    finally:
        stop.set()
        ticker.join()
    during = [t for t in ticks if start < t < end]
    # With the GIL held for the whole fit, the other thread would not tick at all meanwhile.
    assert end - start > 0.05, "the fit was too short to tell"
    assert len(during) > 10


def test_grid_search_on_two_processes():
    X, y = blobs()
    search = GridSearchCV(TarvoClassifier(folds=0), GRID, cv=3, n_jobs=2).fit(X, y)
    serial = GridSearchCV(TarvoClassifier(folds=0), GRID, cv=3, n_jobs=1).fit(X, y)
    np.testing.assert_array_equal(search.cv_results_["mean_test_score"],
                                  serial.cv_results_["mean_test_score"])
    assert search.best_score_ > 0.7


def test_grid_search_on_a_dask_cluster():
    distributed = pytest.importorskip("distributed", reason="python3-distributed is not installed")
    X, y = blobs()
    try:
        cluster = distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                           host="127.0.0.1", dashboard_address=None)
    except Exception as error:  # a machine where worker processes cannot start
        pytest.skip(f"a local Dask cluster cannot start here: {error}")
    with cluster, distributed.Client(cluster, timeout="60s") as client:
        client.wait_for_workers(2, timeout=60)
        with joblib.parallel_backend("dask"):
            search = GridSearchCV(TarvoClassifier(folds=0), GRID, cv=3).fit(X, y)
        workers = client.run(lambda: __import__("tarvo").__version__)
    serial = GridSearchCV(TarvoClassifier(folds=0), GRID, cv=3, n_jobs=1).fit(X, y)
    assert len(workers) == 2
    np.testing.assert_array_equal(search.cv_results_["mean_test_score"],
                                  serial.cv_results_["mean_test_score"])
