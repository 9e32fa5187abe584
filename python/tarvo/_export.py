"""A fitted estimator's trees as text and as a picture."""

import re

from sklearn.utils.validation import check_is_fitted

from ._columns import NAME_BYTES

# The lines that list the training objects of a rule: numbers (in classification under each
# class's name).
_OBJECT_LIST_LINE = re.compile(r"^[\s\d,]*$")


def _class_lines(estimator):
    """The lines that head each class's objects in a rule's list: one blank and the class's name
    as the report writes names, cut to NAME_BYTES bytes (or up to three fewer, so as not to cut a
    character) and read as the report is read, a cut character becoming U+FFFD."""
    lines = set()
    for label in getattr(estimator, "classes_", ()):
        name = str(label).encode("utf-8")
        cuts = [len(name)] if len(name) <= NAME_BYTES else range(NAME_BYTES - 3, NAME_BYTES + 1)
        for cut in cuts:
            lines.add(" " + name[:cut].decode("utf-8", errors="replace"))
    return lines


def export_text(estimator):
    """The rules of the estimator's trees as its report writes them, each variant's from its
    "Variant N" line on, without the numbers of the training objects each rule holds."""
    check_is_fitted(estimator, "model_")
    lines = estimator.report_.splitlines()
    starts = [i for i, line in enumerate(lines) if line.startswith("Variant N")]
    class_lines = _class_lines(estimator)
    kept = []
    listing = False
    for line in lines[starts[0] if starts else 0:]:
        if line.lstrip().startswith("Objects NN"):
            listing = True
            continue
        if listing and (_OBJECT_LIST_LINE.match(line) or line in class_lines):
            continue
        listing = False
        kept.append(line)
    return "\n".join(kept) + "\n"


def export_graphviz(estimator):
    """The estimator's trees as Graphviz DOT text, one digraph per tree (for `dot -Tsvg`)."""
    check_is_fitted(estimator, "model_")
    return estimator.dot_
