"""Feature tables as the engine's columns: numeric ones with NaN for missing values, nominal ones
as codes 1..k with their value names."""

import numbers

import numpy as np
import pandas as pd
from sklearn.utils import check_array


def _is_nominal_dtype(dtype):
    return (isinstance(dtype, pd.CategoricalDtype) or pd.api.types.is_object_dtype(dtype)
            or pd.api.types.is_string_dtype(dtype) or pd.api.types.is_bool_dtype(dtype))


# Table files and reports keep a name's first 20 bytes; the model finds a column by its name so cut too.
NAME_BYTES = 20


def _texts(values):
    """The value names of a nominal column, None where a value is missing."""
    return [None if _missing(v) else _text(v) for v in values]


def _text(value):
    """str() of a value; bytes (as numpy's dtype S holds them) decoded as UTF-8, else as Latin-1,
    so that different bytes stay different values."""
    if isinstance(value, (bytes, np.bytes_)):
        try:
            return bytes(value).decode("utf-8")
        except UnicodeDecodeError:
            return bytes(value).decode("latin-1")
    return str(value)


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
    names = []
    index = {}
    for text in [_text(v) for v in value_names] if value_names is not None else []:
        if text not in index:  # categories whose texts are one and the same are one value
            index[text] = len(names)
            names.append(text)
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
    column is numeric when all its present values are numbers; an array of strings, bytes or bools
    is nominal, as such a DataFrame column is.
    """
    columns = []
    if isinstance(X, pd.DataFrame):
        for name, (_, series) in zip(names, X.items()):
            if isinstance(series.dtype, pd.CategoricalDtype):
                # Categories of any type (intervals, numbers) are named by their texts, as values are.
                columns.append(_nominal(name, series.astype(object), series.cat.categories))
            elif _is_nominal_dtype(series.dtype):
                columns.append(_nominal(name, series))
            else:
                columns.append((name, False, _numeric(name, series.to_numpy(np.float64, na_value=np.nan)), []))
        return columns
    X = check_array(X, dtype=None, force_all_finite="allow-nan", ensure_2d=True)
    if X.dtype.kind in "USb":
        X = X.astype(object)
    for j, name in enumerate(names):
        values = X[:, j]
        if X.dtype != object:
            columns.append((name, False, _numeric(name, values), []))
        elif all(_missing(v) or (isinstance(v, numbers.Real) and not isinstance(v, bool)) for v in values):
            # pd.NA and None are missing numbers too.
            columns.append((name, False, _numeric(name, [np.nan if _missing(v) else v for v in values]), []))
        else:
            columns.append(_nominal(name, values))
    return columns
