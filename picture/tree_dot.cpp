// TreeToDot: node boxes as HTML-like labels, so that the class-mix bar is drawn by Graphviz.
#include "tree_dot.h"

#include <algorithm>
#include <cstdio>

#include "tree_labels.h"

namespace tarvo {

namespace {

constexpr int kBarWidth = 100;  // points
constexpr const char* kFont = "Helvetica";

// A control byte (a name may hold any byte but a separator) cannot stand in XML, even as a
// character reference, and Graphviz drops a label that holds one: it shows as U+FFFD.
constexpr const char* kReplacement = "\xEF\xBF\xBD";

bool IsControl(char c) {
  return static_cast<unsigned char>(c) < 0x20;
}

// Text inside an HTML-like label.
std::string Html(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (IsControl(c)) {
      out += kReplacement;
      continue;
    }
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// Text inside a quoted DOT string.
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (IsControl(c)) {
      out += kReplacement;
      continue;
    }
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

// Letters of a UTF-8 text.
int Letters(const std::string& text) {
  int letters = 0;
  for (char c : text) letters += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  return letters;
}

// One cell per class present, widths in proportion to the counts (cumulative rounding, so that
// they add up to the bar's width). The cells are not of fixed size: when the texts above are wider
// than the bar, Graphviz widens the cells and the bar stays whole.
std::string ClassBar(const TreeNodeDescription& node, int barWidth, int& cells) {
  std::string row;
  cells = 0;
  int32_t total = 0;
  for (int32_t count : node.ClassCounts) total += count;
  if (total <= 0) return row;
  int32_t before = 0;
  int edge = 0;
  for (size_t c = 0; c < node.ClassCounts.size(); ++c) {
    if (node.ClassCounts[c] <= 0) continue;
    before += node.ClassCounts[c];
    const int next =
        static_cast<int>((static_cast<int64_t>(before) * barWidth + total / 2) / total);
    const int width = std::max(1, next - edge);
    edge = next;
    row += "<TD WIDTH=\"" + std::to_string(width) + "\" HEIGHT=\"8\" BGCOLOR=\"" +
           ClassColour(static_cast<int32_t>(c)) + "\"></TD>";
    ++cells;
  }
  return row;
}

std::string NodeLabel(const TreeDescription& tree, const TreeNodeDescription& node) {
  const std::string title = NodeTitle(tree, node), counts = NodeCounts(tree, node);
  // As wide as the texts are likely to be (a generous guess at Helvetica's letter widths), so that
  // the bar is seldom widened unevenly.
  const int barWidth = std::max({kBarWidth, Letters(title) * 7, Letters(counts) * 5});
  int cells = 0;
  const std::string bar = tree.Classification ? ClassBar(node, barWidth, cells) : "";
  const std::string span = cells > 1 ? " COLSPAN=\"" + std::to_string(cells) + "\"" : "";
  std::string label = "<TABLE BORDER=\"0\" CELLBORDER=\"0\" CELLSPACING=\"0\" CELLPADDING=\"1\">";
  label += "<TR><TD" + span + "><B>" + Html(title) + "</B></TD></TR>";
  label += "<TR><TD" + span + "><FONT POINT-SIZE=\"9\">" + Html(counts) + "</FONT></TD></TR>";
  if (cells > 0) label += "<TR>" + bar + "</TR>";
  return label + "</TABLE>";
}

std::string Legend(const TreeDescription& tree) {
  std::string label = "<TABLE BORDER=\"0\" CELLSPACING=\"2\" CELLPADDING=\"1\"><TR>";
  for (size_t c = 0; c < tree.ClassNames.size(); ++c) {
    label += "<TD FIXEDSIZE=\"TRUE\" WIDTH=\"10\" HEIGHT=\"10\" BGCOLOR=\"" +
             std::string(ClassColour(static_cast<int32_t>(c))) + "\"></TD><TD ALIGN=\"LEFT\">" +
             Html(ToUtf8(tree.ClassNames[c])) + "</TD>";
  }
  return label + "</TR></TABLE>";
}

bool IsDashed(const TreeNodeDescription& node) {
  return node.IsLeaf() && !node.Homogeneous;
}

// The picture's heading: what was grown from what, the class colours, and what a dashed box means
// when the tree has one.
std::string Heading(const TreeDescription& tree) {
  std::string title = tree.TableName.empty() ? std::string() : ToUtf8(tree.TableName) + ": ";
  char lookAhead[32];
  std::snprintf(lookAhead, sizeof lookAhead, "%g", tree.LookAhead);
  title += ToUtf8(tree.PredictedName) + ", look-ahead " + lookAhead + ", variant " +
           std::to_string(tree.Variant);
  std::string label = "<TABLE BORDER=\"0\" CELLSPACING=\"0\" CELLPADDING=\"2\">";
  label += "<TR><TD><FONT POINT-SIZE=\"12\"><B>" + Html(title) + "</B></FONT></TD></TR>";
  if (tree.Classification && !tree.ClassNames.empty()) {
    label += "<TR><TD>" + Legend(tree) + "</TD></TR>";
  }
  if (std::any_of(tree.Nodes.begin(), tree.Nodes.end(), IsDashed)) {
    label +=
        "<TR><TD>dashed box: a leaf that growing left mixed (its rule cannot be "
        "continued)</TD></TR>";
  }
  return label + "</TABLE>";
}

}  // namespace

std::string TreeToDot(const TreeDescription& tree) {
  std::string dot = "digraph variant_" + std::to_string(tree.Variant) + " {\n";
  dot += "  graph [rankdir=LR, ordering=out, nodesep=0.15, ranksep=0.5, fontname=" + Quoted(kFont) +
         ", fontsize=10, labelloc=t, labeljust=l, label=<" + Heading(tree) + ">];\n";
  dot += "  node [shape=box, style=\"rounded,filled\", fillcolor=\"#f4f4f4\", fontname=" +
         Quoted(kFont) + ", fontsize=11, margin=\"0.08,0.04\"];\n";
  dot += "  edge [fontname=" + Quoted(kFont) + ", fontsize=9, arrowsize=0.6];\n";
  for (size_t i = 0; i < tree.Nodes.size(); ++i) {
    const TreeNodeDescription& node = tree.Nodes[i];
    dot += "  n" + std::to_string(i) + " [label=<" + NodeLabel(tree, node) + ">";
    if (node.IsLeaf()) dot += ", fillcolor=white";
    // A leaf that growing left mixed is drawn dashed: its rule "can not be continued".
    if (IsDashed(node)) dot += ", style=\"rounded,dashed\"";
    dot += "];\n";
  }
  for (size_t i = 0; i < tree.Nodes.size(); ++i) {
    const TreeNodeDescription& node = tree.Nodes[i];
    for (size_t k = 0; k < node.Branches.size(); ++k) {
      dot += "  n" + std::to_string(i) + " -> n" + std::to_string(node.Branches[k].Child) +
             " [label=" + Quoted(BranchLabel(node, k)) + "];\n";
    }
  }
  return dot + "}\n";
}

std::string TreesToDot(const std::vector<TreeDescription>& trees) {
  std::string dot;
  for (const TreeDescription& tree : trees) dot += TreeToDot(tree);
  return dot;
}

}  // namespace tarvo
