// RenderTreeSvg and LayOutTree over libgvc: one Graphviz context per call, freed on every path.
#include "tree_graphviz.h"

#include <graphviz/gvc.h>

#include <cmath>
#include <memory>

#include "tree_dot.h"

namespace tarvo {

namespace {

// Graphviz's C interface takes plain char pointers for texts it does not change.
char* Text(const char* text) {
  return const_cast<char*>(text);
}

// A context and one graph, released in the right order.
class TGraphvizJob {
 public:
  TGraphvizJob() : context_(gvContext()) {
    if (!context_) throw PictureError("Graphviz could not start");
  }
  ~TGraphvizJob() {
    if (graph_) {
      if (laidOut_) gvFreeLayout(context_, graph_);
      agclose(graph_);
    }
    gvFreeContext(context_);
  }
  TGraphvizJob(const TGraphvizJob&) = delete;
  TGraphvizJob& operator=(const TGraphvizJob&) = delete;

  void Read(const std::string& dot) {
    graph_ = agmemread(dot.c_str());
    if (!graph_) throw PictureError("Graphviz could not read the tree");
  }
  void Open() { graph_ = agopen(Text("tree"), Agdirected, nullptr); }
  void LayOut() {
    if (gvLayout(context_, graph_, "dot") != 0) throw PictureError("Graphviz could not lay out");
    laidOut_ = true;
  }
  std::string Render(const char* format) {
    char* data = nullptr;
    unsigned int length = 0;
    if (gvRenderData(context_, graph_, format, &data, &length) != 0 || !data) {
      throw PictureError(std::string("Graphviz could not render ") + format);
    }
    std::string result(data, length);
    gvFreeRenderData(data);
    return result;
  }
  Agraph_t* Graph() const { return graph_; }

 private:
  GVC_t* context_;
  Agraph_t* graph_ = nullptr;
  bool laidOut_ = false;
};

std::string Inches(double points) {
  return std::to_string(points / 72.0);
}

// An edge label of a fixed size: an empty table cell that the caller fills.
std::string FixedLabel(const Size& size) {
  const auto whole = [](double v) { return std::to_string(static_cast<int>(std::ceil(v))); };
  return "<TABLE BORDER=\"0\" CELLBORDER=\"0\" CELLPADDING=\"0\" CELLSPACING=\"0\"><TR>"
         "<TD FIXEDSIZE=\"TRUE\" WIDTH=\"" +
         whole(size.Width) + "\" HEIGHT=\"" + whole(size.Height) + "\"></TD></TR></TABLE>";
}

}  // namespace

std::string RenderTreeSvg(const TreeDescription& tree) {
  TGraphvizJob job;
  job.Read(TreeToDot(tree));
  job.LayOut();
  return job.Render("svg");
}

TreeLayout LayOutTree(const TreeDescription& tree, const std::vector<Size>& nodeSizes,
                      const std::vector<Size>& labelSizes) {
  TGraphvizJob job;
  job.Open();
  Agraph_t* g = job.Graph();
  // Left to right, as in TreeToDot: a tree of many leaves stays compact (boxes are wider than
  // tall).
  agattr(g, AGRAPH, Text("rankdir"), Text("LR"));
  agattr(g, AGRAPH, Text("ordering"), Text("out"));
  agattr(g, AGRAPH, Text("nodesep"), Text("0.15"));
  agattr(g, AGRAPH, Text("ranksep"), Text("0.5"));
  agattr(g, AGNODE, Text("shape"), Text("box"));
  agattr(g, AGNODE, Text("fixedsize"), Text("true"));
  agattr(g, AGNODE, Text("label"), Text(""));
  agattr(g, AGNODE, Text("width"), Text("1"));
  agattr(g, AGNODE, Text("height"), Text("0.5"));
  agattr(g, AGEDGE, Text("label"), Text(""));
  agattr(g, AGEDGE, Text("arrowsize"), Text("0.6"));

  std::vector<Agnode_t*> nodes;
  for (size_t i = 0; i < tree.Nodes.size(); ++i) {
    Agnode_t* n = agnode(g, Text(("n" + std::to_string(i)).c_str()), 1);
    const Size size = i < nodeSizes.size() ? nodeSizes[i] : Size{72, 36};
    agset(n, Text("width"), Text(Inches(size.Width).c_str()));
    agset(n, Text("height"), Text(Inches(size.Height).c_str()));
    nodes.push_back(n);
  }
  std::vector<Agedge_t*> edges;
  TreeLayout layout;
  for (size_t i = 0; i < tree.Nodes.size(); ++i) {
    for (const TreeBranchDescription& branch : tree.Nodes[i].Branches) {
      const size_t k = edges.size();
      Agedge_t* e =
          agedge(g, nodes[i], nodes[branch.Child], Text(("e" + std::to_string(k)).c_str()), 1);
      if (k < labelSizes.size()) {
        char* html = agstrdup_html(g, Text(FixedLabel(labelSizes[k]).c_str()));
        agset(e, Text("label"), html);
        agstrfree(g, html);
      }
      edges.push_back(e);
      TreeLayout::Edge edge;
      edge.From = static_cast<int32_t>(i);
      edge.To = branch.Child;
      layout.Edges.push_back(edge);
    }
  }
  job.LayOut();

  // Graphviz's y grows upwards from the bottom of the bounding box.
  const boxf bb = GD_bb(g);
  layout.Width = bb.UR.x - bb.LL.x;
  layout.Height = bb.UR.y - bb.LL.y;
  const auto place = [&](pointf p) { return TreeLayout::Point{p.x - bb.LL.x, bb.UR.y - p.y}; };
  for (Agnode_t* n : nodes) {
    const TreeLayout::Point centre = place(ND_coord(n));
    const double w = ND_width(n) * 72.0, h = ND_height(n) * 72.0;
    layout.Nodes.push_back({centre.X - w / 2, centre.Y - h / 2, w, h});
  }
  for (size_t k = 0; k < edges.size(); ++k) {
    TreeLayout::Edge& edge = layout.Edges[k];
    const splines* spl = ED_spl(edges[k]);
    if (spl && spl->size > 0) {
      const bezier& curve = spl->list[0];
      for (int p = 0; p < curve.size; ++p) edge.Curve.push_back(place(curve.list[p]));
      edge.Arrow = curve.eflag != 0;
      if (edge.Arrow) edge.ArrowTip = place(curve.ep);
    }
    if (const textlabel_t* label = ED_label(edges[k])) {
      const TreeLayout::Point centre = place(label->pos);
      edge.Label = {centre.X - label->dimen.x / 2, centre.Y - label->dimen.y / 2, label->dimen.x,
                    label->dimen.y};
    }
  }
  return layout;
}

}  // namespace tarvo
