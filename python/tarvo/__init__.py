"""Tarvo's look-ahead decision trees as scikit-learn estimators."""

from ._estimators import TarvoClassifier, TarvoRegressor
from ._export import export_graphviz, export_text

__all__ = ["TarvoClassifier", "TarvoRegressor", "export_text", "export_graphviz"]
__version__ = "2.0"
