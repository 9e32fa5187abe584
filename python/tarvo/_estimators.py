"""TarvoClassifier and TarvoRegressor: the engine's run as scikit-learn estimators."""

import itertools
import os
import tempfile
from numbers import Integral, Real

import numpy as np
import pandas as pd
from sklearn.base import BaseEstimator, ClassifierMixin, RegressorMixin
from sklearn.utils.multiclass import check_classification_targets
from sklearn.utils.validation import _get_feature_names, check_is_fitted, column_or_1d

from . import _engine
from ._columns import NAME_BYTES, feature_table

_CHI_SQUARE_FILE = os.path.join(os.path.dirname(__file__), "prog.par")


class _TarvoTree(BaseEstimator):
    """What both estimators share: the parameters, the run and the prediction.

    Parameters
    ----------
    look_ahead : float, default=1
        Depth of the split search's look-ahead; a fraction thins the features of the deeper searches.
    homogeneity : float or None, default=None
        Error frequency that stops a node (in regression the level of the chi-square test: 0.001,
        0.005, 0.01 or 0.05, or 0 for no test when pruned). None: 0.05, or 0 when pruned.
    prune : {"1se", "min", "none"} or None, default="min"
        Cost-complexity pruning with the size chosen on the folds: the smallest tree within one
        standard error of the least error, or the least error; None or "none" keeps trees as grown.
    variants : int, default=1
        Trees to grow, each without the root feature of the one before; they vote.
    target_weight : float or None, default=None
        Weight of the error or dispersion term of the split score. None: 1, or when pruning 25
        below look-ahead 2 and 0.5 from it on.
    monte_carlo : int, default=100
        Trials of the dispersion test for negative means.
    folds : int, default=10
        Folds of the cross-validation that measures the trees and chooses the pruned size; none
        when 1 or less (and then nothing is pruned).
    n_threads : int or None, default=None
        Threads of the split search; None: one per core.
    """

    def __init__(self, look_ahead=1, homogeneity=None, prune="min", variants=1, target_weight=None,
                 monte_carlo=100, folds=10, n_threads=None):
        self.look_ahead = look_ahead
        self.homogeneity = homogeneity
        self.prune = prune
        self.variants = variants
        self.target_weight = target_weight
        self.monte_carlo = monte_carlo
        self.folds = folds
        self.n_threads = n_threads

    def _more_tags(self):
        return {"allow_nan": True, "X_types": ["2darray", "string"]}

    # The run's settings, checked before the engine sees them.
    def _settings(self):
        settings = _engine.RunSettings()
        settings.look_ahead = _checked_real("look_ahead", self.look_ahead, 0.0, 10.0)
        prune = "none" if self.prune is None else self.prune
        if prune not in ("none", "min", "1se"):
            raise ValueError(f"prune={self.prune!r}: 'min', '1se', 'none' or None is expected")
        settings.prune = prune
        settings.folds = _checked_int("folds", self.folds, 0, 255)
        # A pruned run grows larger trees for pruning to cut back, unless these are set. Without
        # two folds nothing is pruned, and the trees grow as without pruning.
        pruned = prune != "none" and settings.folds > 1
        homogeneity = self.homogeneity
        if homogeneity is None:
            homogeneity = _engine.PRUNE_HOMOGENEITY if pruned else 0.05
        settings.homogeneity = _checked_real("homogeneity", homogeneity, 0.0, 1.0)
        target_weight = self.target_weight
        if target_weight is None:
            target_weight = _engine.prune_target_weight(settings.look_ahead) if pruned else 1.0
        settings.target_weight = _checked_real("target_weight", target_weight, 0.0, 1e6)
        if settings.target_weight == 0.0:
            raise ValueError("target_weight must be above 0")
        settings.monte_carlo = _checked_int("monte_carlo", self.monte_carlo, 0, 1_000_000)
        settings.variants = _checked_int("variants", self.variants, 1, 255)
        settings.threads = 0 if self.n_threads is None else _checked_int("n_threads", self.n_threads, 1, 256)
        return settings

    def _columns(self, X, reset):
        """X as the engine's columns and, when reset (in fit), X's feature names (None without)."""
        if not isinstance(X, pd.DataFrame) and not hasattr(X, "shape"):
            X = np.asarray(X, dtype=object if _has_text(X) else None)
        if len(X.shape) != 2:
            raise ValueError(f"Expected 2D array, got {len(X.shape)}D array instead. Reshape your data "
                             "with X.reshape(-1, 1) for one feature or X.reshape(1, -1) for one object.")
        width = X.shape[1]
        if reset:
            names = _get_feature_names(X)
            if width == 0:
                raise ValueError(f"0 feature(s) (shape=({X.shape[0]}, 0)) while a minimum of 1 is required.")
            if width > _engine.MAX_TABLE_COLUMNS - 1:
                raise ValueError(f"{width} features, at most {_engine.MAX_TABLE_COLUMNS - 1}")
        else:
            self._check_feature_names(X, reset=False)
            names = getattr(self, "feature_names_in_", None)
            if width != self.n_features_in_:
                raise ValueError(f"X has {width} features, but {type(self).__name__} is expecting "
                                 f"{self.n_features_in_} features as input")
        if X.shape[0] == 0:
            raise ValueError(f"0 sample(s) (shape=(0, {width})) while a minimum of 1 is required.")
        column_names = [f"x{j + 1}" for j in range(width)] if names is None else [str(name) for name in names]
        return feature_table(X, column_names), names

    def _fit(self, X, y, nominal, values, value_names, **fitted):
        """Grows the trees; the fitted attributes (`fitted` and the run's) replace the old ones only
        when the run succeeds, so that a failed refit leaves the estimator as it was."""
        settings = self._settings()
        features, feature_names = self._columns(X, reset=True)
        names = [column[0] for column in features]
        repeated = sorted({name for name in names if names.count(name) > 1})
        if repeated:
            # The model finds its columns by name when it predicts.
            raise ValueError(f"feature names must be distinct; repeated: {', '.join(repeated)}")
        target = (_target_name(names, y), nominal, values, value_names)
        if len(target[2]) != len(features[0][2]):
            raise ValueError(f"Found input variables with inconsistent numbers of samples: "
                             f"[{len(features[0][2])}, {len(target[2])}]")
        columns = features + [target]
        with tempfile.TemporaryDirectory(prefix="tarvo-") as folder:
            report_path = os.path.join(folder, "report.txt")
            result = _engine.fit(columns, len(columns), settings, report_path, _CHI_SQUARE_FILE,
                                 "(data in memory)")
            with open(report_path, "rb") as report:
                report_text = report.read().decode("utf-8", errors="replace")
        if result["fault"] is not None:
            raise ValueError(result["fault"].strip())
        model = result["model"]
        fitted.update(n_features_in_=len(features), report_=report_text, model_=model,
                      warnings_=list(result["warnings"]), dot_=result["dot"],
                      n_leaves_=int(result["leaves"]))
        if feature_names is not None:
            fitted["feature_names_in_"] = feature_names
        if result["feature_gains"] is not None:
            # Each tree's shares weighed by its vote, so that they sum to 1 unless no tree splits.
            importances = np.asarray(model.voting_weights) @ result["feature_gains"]
            total = importances.sum()
            fitted["feature_importances_"] = importances / total if total > 0 else importances
        if settings.folds > 1:
            fitted["cross_validation_error_"] = float(result["cross_validation_error"])
        # A refit drops what the last fit learned and this one does not (cross_validation_error_
        # after folds=1, feature_names_in_ after a DataFrame).
        for name in [name for name in vars(self) if name.endswith("_") and not name.startswith("_")]:
            delattr(self, name)
        for name, value in fitted.items():
            setattr(self, name, value)
        return self

    def _predictions(self, X):
        check_is_fitted(self, "model_")
        return _engine.predict(self.model_, self._columns(X, reset=False)[0])


class TarvoClassifier(ClassifierMixin, _TarvoTree):
    """A classification tree (or a vote of variant trees) grown with a look-ahead split search.

    Missing values are NaN, None or pd.NA and are handled by the engine itself: an
    object whose tested value is missing stops at that node, which answers with its majority.
    """

    _nominal_target = True

    def fit(self, X, y):
        categorical = isinstance(getattr(y, "dtype", None), pd.CategoricalDtype)
        y = _target_values(y)
        check_classification_targets(y)
        if categorical:
            # A categorical target keeps the order of its categories (the ones that occur).
            used = pd.Series(pd.Categorical(y)).cat.remove_unused_categories()
            if used.isna().any():
                raise ValueError("y must not hold missing values")
            classes = used.cat.categories.to_numpy()
            codes = used.cat.codes.to_numpy()
        else:
            classes, codes = np.unique(y, return_inverse=True)
        names = [str(label) for label in classes]
        if len(set(names)) != len(names):
            raise ValueError("class labels must have distinct texts")
        return self._fit(X, y, True, codes.astype(np.float64) + 1.0, names, classes_=classes)

    def predict(self, X):
        vote = self._predictions(X)["vote"]
        return self.classes_[vote.astype(np.intp) - 1]

    def predict_proba(self, X):
        """A single tree: the class mix of the node that answered. Several trees: each class's
        share of the trees' weighted vote, so that the largest share (the first of equal ones) is
        the class `predict` gives."""
        predictions = self._predictions(X)
        if self.model_.tree_count == 1:
            counts = predictions["class_counts"][:, 0, :].astype(np.float64)
            return counts / np.maximum(counts.sum(axis=1, keepdims=True), 1.0)
        answers = predictions["trees"].astype(np.intp) - 1
        shares = np.zeros((len(answers), len(self.classes_)))
        objects = np.arange(len(answers))
        # Added tree by tree, as the vote adds them, so that equal shares are equal here too.
        for tree, weight in enumerate(self.model_.voting_weights):
            shares[objects, answers[:, tree]] += weight
        return shares


class TarvoRegressor(RegressorMixin, _TarvoTree):
    """A regression tree (or a vote of variant trees) grown with a look-ahead split search.

    Missing values are NaN, None or pd.NA and are handled by the engine itself: an
    object whose tested value is missing stops at that node, which answers with its mean.
    """

    _nominal_target = False

    def fit(self, X, y):
        y = _target_values(y)
        try:
            values = np.asarray(y, dtype=np.float64)
        except (TypeError, ValueError):
            raise ValueError("y must hold numbers for a regression") from None
        if not np.isfinite(values).all():
            raise ValueError("y must not hold NaN or infinite values")
        return self._fit(X, y, False, values, [])

    def predict(self, X):
        return self._predictions(X)["vote"]


def _target_values(y):
    if y is None:
        raise ValueError("requires y to be passed, but the target y is None")
    name = getattr(y, "name", None)
    if isinstance(getattr(y, "dtype", None), pd.CategoricalDtype):
        return pd.Series(y, name=name)
    values = column_or_1d(y, warn=True)
    if name is not None:
        values = pd.Series(values, name=name)
    return values


def _target_name(feature_names, y):
    """The target column's name: y's own (or "y"), prefixed until the model, which finds its
    columns by name or by a name cut to NAME_BYTES bytes, cannot take a feature for it."""
    name = str(getattr(y, "name", None) or "y")
    taken = [feature.encode("utf-8", errors="surrogatepass") for feature in feature_names]
    for k in itertools.count():
        # Underscores first; numbered prefixes then differ within the cut, so one is free at last.
        candidate = "_" * k + name if k <= NAME_BYTES else f"_{k}_{name}"
        encoded = candidate.encode("utf-8", errors="surrogatepass")
        if not any(_same_name(encoded, feature) for feature in taken):
            return candidate


def _same_name(a, b):
    """Whether two names (bytes) are one, or one is the other cut to NAME_BYTES bytes."""
    shorter, longer = (a, b) if len(a) < len(b) else (b, a)
    return a == b or (len(shorter) == NAME_BYTES and longer.startswith(shorter))


def _has_text(X):
    try:
        return np.asarray(X).dtype.kind in "OUS"
    except (TypeError, ValueError):
        return True


def _checked_real(name, value, low, high):
    if isinstance(value, bool) or not isinstance(value, Real) or not low <= value <= high:
        raise ValueError(f"{name}={value!r}: a number from {low:g} to {high:g} is expected")
    return float(value)


def _checked_int(name, value, low, high):
    if isinstance(value, bool) or not isinstance(value, Integral) or not low <= value <= high:
        raise ValueError(f"{name}={value!r}: a whole number from {low} to {high} is expected")
    return int(value)
