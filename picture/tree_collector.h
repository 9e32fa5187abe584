// A tree observer that keeps a copy of every reported tree, for drawing after the run.
#pragma once

#include <vector>

#include "tarvo/tree_description.h"

namespace tarvo {

class TreeCollector : public TreeObserver {
 public:
  void OnTree(const TreeDescription& tree) override { Trees.push_back(tree); }
  std::vector<TreeDescription> Trees;
};

}  // namespace tarvo
