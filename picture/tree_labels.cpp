// BranchLabel, NodeTitle, NodeCounts and the class colours.
#include "tree_labels.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tarvo/numbers.h"

namespace tarvo {

namespace {

std::string Number(double value, int decimals = 2) {
  return FormatReal(value, 0, decimals);
}

// The fewest decimals, from two, at which the node's finite bounds that differ print differently.
// Printing rounds monotonically, so two bounds print alike only when every bound between them
// does: in ascending order, neighbours decide.
int BoundDecimals(const TreeNodeDescription& node) {
  std::vector<double> bounds;
  for (const TreeBranchDescription& b : node.Branches) {
    if (b.Interval && !b.LowOpen) bounds.push_back(b.Low);
    if (b.Interval && !b.HighOpen) bounds.push_back(b.High);
  }
  const bool ordered =
      std::none_of(bounds.begin(), bounds.end(), [](double x) { return std::isnan(x); });
  if (ordered) std::sort(bounds.begin(), bounds.end());
  int decimals = 2;
  for (; decimals < 8; ++decimals) {
    bool apart = true;
    for (size_t i = 0; i < bounds.size() && apart; ++i) {
      for (size_t j = i + 1;
           j < (ordered ? std::min(i + 2, bounds.size()) : bounds.size()) && apart; ++j) {
        apart =
            bounds[i] == bounds[j] || Number(bounds[i], decimals) != Number(bounds[j], decimals);
      }
    }
    if (apart) break;
  }
  return decimals;
}

// A bound as short as it can be while it keeps the training values on either side of it apart:
// `below` (at or below the bound) must stay at or below the printed number, `above` above it. The
// fewest decimals win; among numbers of as many decimals, the one nearest the bound. Without both
// neighbours, `fallback` decimals.
std::string BoundText(double bound, double below, double above, int fallback) {
  if (std::isnan(below) || std::isnan(above)) return Number(bound, fallback);
  for (int decimals = 0; decimals <= 12; ++decimals) {
    const double scale = std::pow(10.0, decimals);
    // The number of these decimals nearest the bound, else the smallest at or above `below`.
    for (const double candidate : {bound, std::ceil(below * scale) / scale}) {
      const std::string text = Number(candidate, decimals);
      const double printed = std::strtod(text.c_str(), nullptr);
      if (below <= printed && printed < above) return text;
    }
  }
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", bound);
  return text;
}

// A whole number prints without decimals ("mean 72"), any other with two.
std::string Figure(double value) {
  return value == std::trunc(value) && std::fabs(value) < 1e15 ? Number(value, 0) : Number(value);
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
    // In the order the table lists the feature's values, as a reader looks them up.
    std::vector<size_t> order(branch.Values.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    if (branch.ValuePlaces.size() == order.size()) {
      std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return branch.ValuePlaces[a] < branch.ValuePlaces[b];
      });
    }
    std::string text;
    for (const size_t i : order) {
      if (!text.empty()) text += ", ";
      text += ToUtf8(branch.Values[i]);
    }
    return text;
  }
  if (branch.LowOpen && branch.HighOpen) return "any";
  // The node's decimals serve only a bound without both neighbours; a node may have hundreds of
  // bounds, so they are worked out only then.
  const auto boundText = [&](double bound, double below, double above) {
    const bool alone = std::isnan(below) || std::isnan(above);
    return BoundText(bound, below, above, alone ? BoundDecimals(node) : 0);
  };
  const std::string low = boundText(branch.Low, branch.BelowLow, branch.AboveLow);
  const std::string high = boundText(branch.High, branch.BelowHigh, branch.AboveHigh);
  if (branch.LowOpen) return "\u2264 " + high;
  if (branch.HighOpen) return "> " + low;
  return "(" + low + ", " + high + "]";
}

std::string NodeTitle(const TreeDescription& tree, const TreeNodeDescription& node) {
  if (!node.IsLeaf()) return ToUtf8(node.FeatureName);
  if (!tree.Classification) return "mean " + Figure(node.Mean);
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
    text += ", sd " + Figure(std::sqrt(node.Dispersion < 0 ? 0.0 : node.Dispersion));
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
