// Graphviz DOT text of described trees: one digraph per tree, ready for dot -Tpdf.
#pragma once

#include <string>
#include <vector>

#include "tarvo/tree_description.h"

namespace tarvo {

// One digraph named "variant_K": boxes with the tested feature or the verdict, the counts and, in
// classification, a bar of the class mix; edges labelled with their interval or value set; a
// legend of the class colours as the graph's label.
std::string TreeToDot(const TreeDescription& tree);

// The digraphs of all trees, one after another, as one file holds them.
std::string TreesToDot(const std::vector<TreeDescription>& trees);

}  // namespace tarvo
