"""Feature tables as the engine's columns: numeric ones with NaN for missing values, nominal ones
as codes 1..k with their value names."""

import numbers

import numpy as np
import pandas as pd
from sklearn.utils import check_array


def _is_nominal_dtype(dtype):
    return (isinstance(dtype, pd.CategoricalDtype) or pd.api.types.is_object_dtype(dtype)
            or pd.api.types.is_string_dtype(dtype) or pd.api.types.is_bool_dtype(dtype))


def _texts(values):
    """The value names of a nominal column: str() of each value, None where it is missing."""
    return [None if _missing(v) else str(v) for v in values]


def _missing(value):
    if value is None or value is pd.NA or value is pd.NaT:
        return True
    return isinstance(value, numbers.Real) and value != value


def _numeric(name, values):
    try:
        values = np.asarray(values, dtype=np.float64)
    except (TypeError, ValueError) as error:
        raise ValueError(f"column {name}: values must be numbers or nominal ({error})") from None
    if np.isinf(values).any():
        raise ValueError(f"column {name}: infinite values are not allowed (NaN marks a missing one)")
    return values


def _nominal(name, values, value_names=None):
    """Codes in the order of value_names, or of first appearance without them."""
    texts = _texts(values)
    names = list(value_names) if value_names is not None else []
    index = {text: k for k, text in enumerate(names)}
    codes = np.empty(len(texts), dtype=np.float64)
    for i, text in enumerate(texts):
        if text is None:
            codes[i] = np.nan
            continue
        if text not in index:
            index[text] = len(names)
            names.append(text)
        codes[i] = index[text] + 1
    return (name, True, codes, names)


def feature_table(X, names):
    """X (a 2-d array or DataFrame) as a list of engine columns named by `names`.

    DataFrame columns that are categorical, object, string or bool are nominal (a categorical keeps
    the order of its categories); every other column is numeric. In an array of dtype object, a
    column is numeric when all its present values are numbers.
    """
    columns = []
    if isinstance(X, pd.DataFrame):
        for name, (_, series) in zip(names, X.items()):
            if isinstance(series.dtype, pd.CategoricalDtype):
                columns.append(_nominal(name, series.astype(object), series.cat.categories))
            elif _is_nominal_dtype(series.dtype):
                columns.append(_nominal(name, series))
            else:
                columns.append((name, False, _numeric(name, series.to_numpy(np.float64, na_value=np.nan)), []))
        return columns
    X = check_array(X, dtype=None, force_all_finite="allow-nan", ensure_2d=True)
    for j, name in enumerate(names):
        values = X[:, j]
        if X.dtype == object and not all(
                _missing(v) or (isinstance(v, numbers.Real) and not isinstance(v, bool)) for v in values):
            columns.append(_nominal(name, values))
        else:
            columns.append((name, False, _numeric(name, values), []))
    return columns
