"""A fitted estimator's trees as text and as a picture."""

from sklearn.utils.validation import check_is_fitted


def export_text(estimator):
    """The rules of the estimator's trees, as its report writes them."""
    check_is_fitted(estimator, "model_")
    return estimator.report_


def export_graphviz(estimator):
    """The estimator's trees as Graphviz DOT text, one digraph per tree (for `dot -Tsvg`)."""
    check_is_fitted(estimator, "model_")
    return estimator.dot_
