// The texts and colours of a tree picture, shared by the DOT and SVG writers and the window.
#pragma once

#include <cstdint>
#include <string>

#include "tarvo/tree_description.h"

namespace tarvo {

// What branch k of node says: "<= 3", "> 1.518", "(1.5, 3]" or the value set "red, green" (in the
// table's order of values). A bound takes the fewest decimals that keep the training values on
// either side of it apart, so that the label can be applied by hand; a description without those
// values gives two decimals, or as many more (up to eight) as keep the node's cut points apart.
std::string BranchLabel(const TreeNodeDescription& node, size_t k);

// A node's first line: the feature it tests, or a leaf's verdict (its class, or "mean 72.35"; a
// whole number without decimals).
std::string NodeTitle(const TreeDescription& tree, const TreeNodeDescription& node);

// A node's second line: "12 objects, 2 errors" or "12 objects, sd 5.12".
std::string NodeCounts(const TreeDescription& tree, const TreeNodeDescription& node);

// A fixed colour per class (0-based, repeating after twelve) as "#rrggbb".
const char* ClassColour(int32_t classIndex);

// Table texts are bytes: valid UTF-8 stays as it is, anything else is read as Latin-1.
std::string ToUtf8(const std::string& bytes);

}  // namespace tarvo
