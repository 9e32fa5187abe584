// BranchLabel, NodeTitle, NodeCounts and the class colours.
#include "tree_labels.h"

#include <cmath>
#include <vector>

#include "tarvo/numbers.h"

namespace tarvo {

namespace {

std::string Number(double value, int decimals = 2) {
  return FormatReal(value, 0, decimals);
}

// The fewest decimals, from two, at which the node's finite bounds that differ print differently.
int BoundDecimals(const TreeNodeDescription& node) {
  std::vector<double> bounds;
  for (const TreeBranchDescription& b : node.Branches) {
    if (b.Interval && !b.LowOpen) bounds.push_back(b.Low);
    if (b.Interval && !b.HighOpen) bounds.push_back(b.High);
  }
  int decimals = 2;
  for (; decimals < 8; ++decimals) {
    bool apart = true;
    for (size_t i = 0; i < bounds.size() && apart; ++i) {
      for (size_t j = i + 1; j < bounds.size() && apart; ++j) {
        apart =
            bounds[i] == bounds[j] || Number(bounds[i], decimals) != Number(bounds[j], decimals);
      }
    }
    if (apart) break;
  }
  return decimals;
}

bool IsUtf8(const std::string& bytes) {
  size_t i = 0;
  while (i < bytes.size()) {
    const unsigned char lead = static_cast<unsigned char>(bytes[i]);
    const size_t length = lead < 0x80           ? 1
                          : (lead >> 5) == 0x6  ? 2
                          : (lead >> 4) == 0xE  ? 3
                          : (lead >> 3) == 0x1E ? 4
                                                : 0;
    if (length == 0 || i + length > bytes.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(bytes[i + k]) >> 6) != 0x2) return false;
    }
    i += length;
  }
  return true;
}

}  // namespace

std::string ToUtf8(const std::string& bytes) {
  if (IsUtf8(bytes)) return bytes;
  std::string text;
  for (char c : bytes) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      text += c;
    } else {
      text += static_cast<char>(0xC0 | (byte >> 6));
      text += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return text;
}

std::string BranchLabel(const TreeNodeDescription& node, size_t k) {
  const TreeBranchDescription& branch = node.Branches[k];
  if (!branch.Interval) {
    std::string text;
    for (const std::string& value : branch.Values) {
      if (!text.empty()) text += ", ";
      text += ToUtf8(value);
    }
    return text;
  }
  if (branch.LowOpen && branch.HighOpen) return "any";
  const int d = BoundDecimals(node);
  if (branch.LowOpen) return "\u2264 " + Number(branch.High, d);
  if (branch.HighOpen) return "> " + Number(branch.Low, d);
  return "(" + Number(branch.Low, d) + ", " + Number(branch.High, d) + "]";
}

std::string NodeTitle(const TreeDescription& tree, const TreeNodeDescription& node) {
  if (!node.IsLeaf()) return ToUtf8(node.FeatureName);
  if (!tree.Classification) return "mean " + Number(node.Mean);
  if (node.Majority < static_cast<int32_t>(tree.ClassNames.size())) {
    return ToUtf8(tree.ClassNames[node.Majority]);
  }
  return "";
}

std::string NodeCounts(const TreeDescription& tree, const TreeNodeDescription& node) {
  std::string text =
      std::to_string(node.ObjectCount) + (node.ObjectCount == 1 ? " object" : " objects");
  if (tree.Classification) {
    text += ", " + std::to_string(node.Errors) + (node.Errors == 1 ? " error" : " errors");
  } else {
    text += ", sd " + Number(std::sqrt(node.Dispersion < 0 ? 0.0 : node.Dispersion));
  }
  return text;
}

const char* ClassColour(int32_t classIndex) {
  // Twelve colours that stay apart on screen and on paper (a qualitative palette).
  static const char* const kColours[12] = {"#1f77b4", "#ff7f0e", "#2ca02c", "#d62728",
                                           "#9467bd", "#8c564b", "#e377c2", "#7f7f7f",
                                           "#bcbd22", "#17becf", "#393b79", "#ad494a"};
  return kColours[((classIndex % 12) + 12) % 12];
}

}  // namespace tarvo
