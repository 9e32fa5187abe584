// TTreeNodeItem and TTreeEdgeItem: measured with Qt's fonts, placed where Graphviz laid them out.
#include "tree_items.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>

#include "tree_labels.h"

namespace {

constexpr qreal kPadding = 6;
constexpr qreal kBarHeight = 8;
constexpr qreal kMinimumBar = 90;

QString Text(const std::string& utf8) {
  return QString::fromStdString(utf8);
}

}  // namespace

TTreeFonts::TTreeFonts()
    : Title("Liberation Sans"), Counts("Liberation Sans"), Edge("Liberation Sans") {
  Title.setStyleHint(QFont::SansSerif);
  Title.setPixelSize(13);
  Title.setBold(true);
  Counts.setStyleHint(QFont::SansSerif);
  Counts.setPixelSize(11);
  Edge.setStyleHint(QFont::SansSerif);
  Edge.setPixelSize(11);
}

TTreeNodeItem::TTreeNodeItem(const tarvo::TreeDescription& tree,
                             const tarvo::TreeNodeDescription& node, const QRectF& box,
                             const TTreeFonts& fonts)
    : Box(box),
      Title(Text(tarvo::NodeTitle(tree, node))),
      Counts(Text(tarvo::NodeCounts(tree, node))),
      Leaf(node.IsLeaf()),
      Dashed(node.IsLeaf() && !node.Homogeneous),
      Fonts(fonts) {
  if (tree.Classification) {
    for (int32_t count : node.ClassCounts) ClassCounts.push_back(count);
  }
}

QSizeF TTreeNodeItem::Measure(const tarvo::TreeDescription& tree,
                              const tarvo::TreeNodeDescription& node, const TTreeFonts& fonts) {
  const QFontMetricsF title(fonts.Title), counts(fonts.Counts);
  const qreal width =
      std::max({kMinimumBar, title.horizontalAdvance(Text(tarvo::NodeTitle(tree, node))),
                counts.horizontalAdvance(Text(tarvo::NodeCounts(tree, node)))});
  qreal height = title.height() + counts.height() + 2 * kPadding;
  if (tree.Classification) height += kBarHeight + kPadding / 2;
  return QSizeF(std::ceil(width + 2 * kPadding), std::ceil(height));
}

QRectF TTreeNodeItem::boundingRect() const {
  return Box.adjusted(-1, -1, 1, 1);
}

void TTreeNodeItem::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) {
  painter->setRenderHint(QPainter::Antialiasing);
  QPen border(Qt::black, 1, Dashed ? Qt::DashLine : Qt::SolidLine);
  painter->setPen(border);
  painter->setBrush(Leaf ? QColor(Qt::white) : QColor(0xf4, 0xf4, 0xf4));
  painter->drawRoundedRect(Box.adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);

  const QFontMetricsF title(Fonts.Title), counts(Fonts.Counts);
  QRectF line(Box.left(), Box.top() + kPadding, Box.width(), title.height());
  painter->setPen(Qt::black);
  painter->setFont(Fonts.Title);
  painter->drawText(line, Qt::AlignCenter, Title);
  line = QRectF(Box.left(), line.bottom(), Box.width(), counts.height());
  painter->setFont(Fonts.Counts);
  painter->drawText(line, Qt::AlignCenter, Counts);

  int total = 0;
  for (int count : ClassCounts) total += count;
  if (total <= 0) return;
  const QRectF bar(Box.left() + kPadding, line.bottom() + kPadding / 2, Box.width() - 2 * kPadding,
                   kBarHeight);
  painter->setPen(Qt::NoPen);
  int before = 0;
  for (int c = 0; c < ClassCounts.size(); ++c) {
    if (ClassCounts[c] <= 0) continue;
    const qreal left = bar.left() + bar.width() * before / total;
    before += ClassCounts[c];
    const qreal right = bar.left() + bar.width() * before / total;
    painter->setBrush(QColor(tarvo::ClassColour(c)));
    painter->drawRect(QRectF(left, bar.top(), right - left, bar.height()));
  }
}

TTreeEdgeItem::TTreeEdgeItem(const QPainterPath& curve, const QPolygonF& arrow,
                             const QRectF& labelBox, const QString& label, const TTreeFonts& fonts)
    : Curve(curve), Arrow(arrow), LabelBox(labelBox), Label(label), Fonts(fonts) {}

QSizeF TTreeEdgeItem::Measure(const QString& label, const TTreeFonts& fonts) {
  const QFontMetricsF metrics(fonts.Edge);
  return QSizeF(std::ceil(metrics.horizontalAdvance(label) + 4), std::ceil(metrics.height() + 2));
}

QRectF TTreeEdgeItem::boundingRect() const {
  return Curve.boundingRect().united(Arrow.boundingRect()).united(LabelBox).adjusted(-2, -2, 2, 2);
}

void TTreeEdgeItem::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) {
  painter->setRenderHint(QPainter::Antialiasing);
  painter->setPen(QPen(Qt::black, 1));
  painter->setBrush(Qt::NoBrush);
  painter->drawPath(Curve);
  painter->setBrush(Qt::black);
  if (!Arrow.isEmpty()) painter->drawPolygon(Arrow);
  painter->setFont(Fonts.Edge);
  painter->drawText(LabelBox, Qt::AlignCenter, Label);
}
