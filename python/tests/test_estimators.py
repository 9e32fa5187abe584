"""What users meet beyond scikit-learn's checks: pandas tables, labels of any type, missing values,
the engine's refusals, pickling and the helpers."""

import json
import pickle
import re

import numpy as np
import pandas as pd
import pytest

from tarvo import TarvoClassifier, TarvoRegressor, _engine, export_graphviz, export_text


def mixed_frame(objects=120, seed=3):
    rng = np.random.RandomState(seed)
    colour = rng.choice(["red", "green", "blue"], objects)
    size = rng.uniform(0, 10, objects)
    shape = pd.Categorical(rng.choice(["round", "flat"], objects), categories=["round", "flat", "long"])
    X = pd.DataFrame({"colour": colour, "size": size, "shape": shape})
    y = np.where((colour == "red") | (size > 7), "yes", "no")
    return X, pd.Series(y, name="answer")


def test_dataframe_with_nominal_columns_and_missing_values():
    X, y = mixed_frame()
    X.loc[[0, 5, 9], "size"] = np.nan
    X.loc[[1, 2], "colour"] = None
    model = TarvoClassifier(look_ahead=1).fit(X, y)
    assert list(model.feature_names_in_) == ["colour", "size", "shape"]
    assert model.n_features_in_ == 3
    assert list(model.classes_) == ["no", "yes"]
    assert model.score(X, y) > 0.8
    # The report names the columns and the target as the frame does.
    assert "THEN answer" in model.report_
    # A value the model never saw counts as missing instead of failing.
    new = X.head(3).copy()
    new["colour"] = ["purple", "red", "green"]
    assert model.predict(new).shape == (3,)
    proba = model.predict_proba(new)
    np.testing.assert_allclose(proba.sum(axis=1), 1.0)


@pytest.mark.parametrize("labels", [["cat", "dog", "emu"], [3, -1, 10]])
def test_class_labels_of_any_type_come_back_as_given(labels):
    rng = np.random.RandomState(0)
    X = rng.uniform(size=(90, 2))
    y = np.array(labels)[(X[:, 0] * 3).astype(int)]
    model = TarvoClassifier(look_ahead=1).fit(X, y)
    np.testing.assert_array_equal(model.classes_, np.unique(y))
    assert model.score(X, y) > 0.9
    assert set(model.predict(X)) <= set(labels)
    np.testing.assert_array_equal(model.classes_[model.predict_proba(X).argmax(axis=1)], model.predict(X))


def test_categorical_target_keeps_its_category_order():
    X, y = mixed_frame()
    y = pd.Series(pd.Categorical(y, categories=["yes", "maybe", "no"]), name="answer")
    model = TarvoClassifier(look_ahead=1).fit(X, y)
    assert list(model.classes_) == ["yes", "no"]
    np.testing.assert_array_equal(model.classes_[model.predict_proba(X).argmax(axis=1)], model.predict(X))


def test_what_the_engine_refuses_is_a_value_error():
    rng = np.random.RandomState(1)
    X = rng.uniform(size=(60, 2))
    with pytest.raises(ValueError, match="13 values, at most 12 classes"):
        TarvoClassifier(look_ahead=1).fit(X, np.arange(60) % 13)
    with pytest.raises(ValueError, match="infinit"):
        TarvoRegressor().fit(np.array([[1.0], [np.inf]]), [1.0, 2.0])
    with pytest.raises(ValueError, match="look_ahead"):
        TarvoRegressor(look_ahead="deep").fit(X, X[:, 0])
    with pytest.raises(ValueError, match="variants"):
        TarvoRegressor(variants=0).fit(X, X[:, 0])
    with pytest.raises(ValueError, match="repeated: a"):
        TarvoRegressor().fit(pd.DataFrame(X, columns=["a", "a"]), X[:, 0])
    model = TarvoRegressor(look_ahead=1).fit(X, X[:, 0])
    for width in (1, 3):
        with pytest.raises(ValueError, match=f"X has {width} features"):
            model.predict(rng.uniform(size=(4, width)))
    with pytest.raises(ValueError, match="damaged|not a model|JSON|model"):
        _engine.Model.from_text("{ not a model")


def test_pickle_keeps_the_model_file_text_and_its_predictions():
    rng = np.random.RandomState(2)
    X = rng.uniform(size=(80, 3))
    y = X[:, 0] * 2 + (X[:, 1] > 0.5)
    model = TarvoRegressor(look_ahead=1, variants=2).fit(X, y)
    state = model.__getstate__()
    assert "model_" in state
    copy = pickle.loads(pickle.dumps(model))
    assert copy.model_.text() == model.model_.text()
    np.testing.assert_array_equal(copy.predict(X), model.predict(X))
    assert copy.get_params() == model.get_params()
    # What pickle stores of the model is its model file text: JSON with the format version.
    text = model.model_.__getstate__()
    assert text == model.model_.text() and json.loads(text)["version"] == 1
    assert text.encode() in pickle.dumps(model)


def test_helpers_agree_with_the_report():
    X, y = mixed_frame()
    model = TarvoClassifier(look_ahead=1, variants=2, folds=5, prune=None).fit(X, y)
    error = float(re.search(r"5-fold crossvalidate error ([\d.]+)", model.report_).group(1))
    assert model.cross_validation_error_ == pytest.approx(error, abs=0.0005)
    text = export_text(model)
    assert text.count("Variant N") == model.model_.tree_count == 2
    assert len(re.findall(r"^ Rule +\d+,$", text, re.M)) == sum(model.model_.tree_leaves)
    assert "Objects NN" not in text
    assert not re.search(r"^ +\d+,", text, re.M)  # no object numbers under the class names
    dot = export_graphviz(model)
    assert dot.count("digraph variant_") == 2
    without_folds = TarvoClassifier(look_ahead=1, folds=0).fit(X, y)
    assert not hasattr(without_folds, "cross_validation_error_")


def test_regression_predicts_the_leaf_means():
    X = np.repeat(np.arange(4.0), 20).reshape(-1, 1)
    y = np.repeat([1.0, 1.0, 9.0, 9.0], 20)
    model = TarvoRegressor(look_ahead=1).fit(X, y)
    np.testing.assert_allclose(model.predict([[0.0], [3.0]]), [1.0, 9.0])
    # Without folds nothing is pruned, and the tree grows as without pruning.
    unpruned = TarvoRegressor(look_ahead=1, folds=1, prune="none").fit(X, y)
    assert TarvoRegressor(look_ahead=1, folds=1).fit(X, y).report_ == unpruned.report_ + (
        "\r\n Pruning needs at least 2 folds of cross-validation: the tree is not pruned\r\n")


def test_feature_importances_are_each_columns_share_of_the_gain():
    # Only the first column splits (the second is constant): it makes the whole gain.
    X = np.column_stack([np.repeat(np.arange(4.0), 20), np.zeros(80)])
    y = np.repeat([1.0, 1.0, 9.0, 9.0], 20)
    np.testing.assert_array_equal(TarvoRegressor(look_ahead=1).fit(X, y).feature_importances_, [1, 0])
    # The answer follows colour and size; shape is noise.
    X, y = mixed_frame(objects=300, seed=7)
    importances = TarvoClassifier(variants=2).fit(X, y).feature_importances_
    assert importances.shape == (3,) and importances.sum() == pytest.approx(1.0)
    assert min(importances[:2]) > 0.1 and importances[2] < 0.05


def test_pruning_is_a_parameter_with_its_own_growth():
    X, y = mixed_frame(objects=300, seed=7)
    pruned = TarvoClassifier(look_ahead=1, prune="1se").fit(X, y)
    assert " Pruning (1se) on 10 folds:" in pruned.report_
    rows = re.findall(r"^ +[\d.]+ +(\d+) +[\d.]+ +[\d.]+( +chosen)?$",
                      "\n".join(pruned.report_.splitlines()), re.M)
    # The tree kept is the row chosen, no larger than the tree as grown (the first row).
    chosen = [int(leaves) for leaves, mark in rows if mark]
    assert chosen == [pruned.n_leaves_] and pruned.n_leaves_ <= int(rows[0][0])
    assert TarvoClassifier(look_ahead=1, prune="none").fit(X, y).report_ == \
        TarvoClassifier(look_ahead=1, prune=None).fit(X, y).report_
    with pytest.raises(ValueError, match="prune"):
        TarvoClassifier(prune="max").fit(X, y)


@pytest.mark.filterwarnings("ignore:X does not have valid feature names")
def test_nominal_columns_in_any_form_fit_and_predict_alike():
    y = np.array(["a", "a", "b", "b"] * 10)
    # Categories that are not texts: intervals and numbers.
    for column in (pd.cut([5, 15, 25, 35] * 10, [0, 10, 20, 40]), pd.Categorical([1, 2, 3, 4] * 10)):
        X = pd.DataFrame({"band": column})
        np.testing.assert_array_equal(TarvoClassifier(look_ahead=1).fit(X, y).predict(X), y)
    # Arrays of strings, bytes and bools are nominal, as a list of strings or a DataFrame column is.
    texts = [["red"], ["red"], ["blue"], ["green"]] * 10
    model = TarvoClassifier(look_ahead=1).fit(np.array(texts), y)
    for X in (texts, np.array(texts), np.array(texts, dtype="S")):
        np.testing.assert_array_equal(model.predict(X), y)
    # Bytes that are not UTF-8 stay as different as they are.
    latin1, accents = np.array([[b"caf\xe9"], [b"caf\xe8"]] * 20), ["e", "f"] * 20
    assert TarvoClassifier(look_ahead=1).fit(latin1, accents).score(latin1, accents) == 1.0
    flags = pd.DataFrame({"p": [True, True, False, False] * 10, "q": [True, False] * 20})
    np.testing.assert_array_equal(TarvoClassifier(look_ahead=1).fit(flags, y).predict(flags.values), y)
    # pd.NA among numbers in an array of objects is a missing number.
    X = pd.DataFrame({"age": pd.array([5, 15, None, 35] * 10, dtype="Int64"), "c": ["r", "g"] * 20})
    model = TarvoClassifier(look_ahead=1).fit(X, y)
    np.testing.assert_array_equal(model.predict(X.to_numpy()), model.predict(X))


def test_a_failed_refit_keeps_the_last_fit():
    rng = np.random.RandomState(0)
    X = rng.uniform(size=(60, 2))
    y = np.where(X[:, 0] > 0.5, "a", "b")
    model = TarvoClassifier(look_ahead=1).fit(pd.DataFrame(X, columns=["p", "q"]), y)
    fitted = dict(vars(model))
    with pytest.raises(ValueError, match="13 values"):
        model.fit(X, np.arange(60) % 13)
    assert vars(model) == fitted
    np.testing.assert_array_equal(model.predict(pd.DataFrame(X, columns=["p", "q"])), y)
    # A refit keeps nothing of the last fit that it does not learn itself.
    model.set_params(folds=1).fit(X, y)
    assert not hasattr(model, "cross_validation_error_") and not hasattr(model, "feature_names_in_")


def test_predict_proba_of_several_trees_is_their_vote():
    rng = np.random.RandomState(0)
    X = rng.uniform(size=(200, 3))
    y = (X[:, 0] + X[:, 1] + 0.6 * rng.rand(200) > 1.3).astype(int)
    model = TarvoClassifier(look_ahead=1, variants=2).fit(X, y)
    np.testing.assert_array_equal(model.classes_[model.predict_proba(X).argmax(axis=1)], model.predict(X))
    # Without folds the two trees weigh the same: where they disagree, both take the first class.
    X[:, 1] = X[:, 0] + rng.normal(scale=0.2, size=200)
    model = TarvoClassifier(look_ahead=1, variants=2, folds=0).fit(X, y)
    new = rng.uniform(size=(200, 3))
    proba = model.predict_proba(new)
    assert (proba == 0.5).all(axis=1).any()
    np.testing.assert_array_equal(model.classes_[proba.argmax(axis=1)], model.predict(new))


def test_names_the_engine_cuts_to_20_bytes():
    # A target whose cut name is a feature's is renamed, so that predict does not take one for the other.
    X = pd.DataFrame({"temperature_in_kelvi": ["hot", "cold"] * 20})
    y = pd.Series([3.0, 1.0] * 20, name="temperature_in_kelvin_x")
    np.testing.assert_array_equal(TarvoRegressor(look_ahead=1).fit(X, y).predict(X), y)
    # export_text knows a class's name also when the cut falls inside a character.
    X = np.array([[1.0], [2.0]] * 20)
    text = export_text(TarvoClassifier(look_ahead=1, folds=0).fit(X, ["a" + "Ä" * 10, "b"] * 20))
    assert "Objects NN" not in text and not re.search(r"^ +\d+,", text, re.M)
    assert not re.search(r"^ aÄ", text, re.M)
    with pytest.raises(ValueError, match="300 features, at most 254"):
        TarvoRegressor().fit(np.zeros((5, 300)), np.zeros(5))
