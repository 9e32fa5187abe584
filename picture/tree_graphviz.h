// Graphviz in the process: a tree's picture as SVG, and the layout of a tree whose boxes and edge
// labels the caller measures and draws itself (the window).
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "tarvo/tree_description.h"

namespace tarvo {

class PictureError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The picture of TreeToDot(tree), laid out by dot and rendered as SVG text.
std::string RenderTreeSvg(const TreeDescription& tree);

struct TreeLayout {
  struct Point {
    double X = 0, Y = 0;
  };
  struct Box {
    double X = 0, Y = 0, Width = 0, Height = 0;  // top left corner and size
  };
  struct Edge {
    int32_t From = 0, To = 0;  // node indices
    // A cubic Bezier path: the start, then three points per segment.
    std::vector<Point> Curve;
    bool Arrow = false;  // an arrowhead from the curve's end to ArrowTip
    Point ArrowTip;
    Box Label;  // where its label goes
  };
  double Width = 0, Height = 0;
  std::vector<Box> Nodes;   // as TreeDescription::Nodes
  std::vector<Edge> Edges;  // the branches of node 0, then of node 1, ...
};

struct Size {
  double Width = 0, Height = 0;
};

// Lays out the tree from left to right with dot: node i gets nodeSizes[i], edge k a label of
// labelSizes[k] (edges in TreeLayout::Edges order). Units are points; y grows downwards.
TreeLayout LayOutTree(const TreeDescription& tree, const std::vector<Size>& nodeSizes,
                      const std::vector<Size>& labelSizes);

}  // namespace tarvo
