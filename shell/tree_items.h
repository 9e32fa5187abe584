// The graphics items of the Tree view: one per node (box, title, counts, class-mix bar) and one
// per edge (curve, arrowhead, interval or value-set label).
#pragma once

#include <QFont>
#include <QGraphicsItem>
#include <QPainterPath>
#include <QPolygonF>
#include <QStringList>
#include <QVector>

#include "tarvo/tree_description.h"

// The fonts of the picture, shared by measuring and painting.
struct TTreeFonts {
  TTreeFonts();
  QFont Title, Counts, Edge;
};

class TTreeNodeItem : public QGraphicsItem {
 public:
  enum { Type = UserType + 1 };
  TTreeNodeItem(const tarvo::TreeDescription& tree, const tarvo::TreeNodeDescription& node,
                const QRectF& box, const TTreeFonts& fonts);
  // The size a node's box needs for its texts and bar.
  static QSizeF Measure(const tarvo::TreeDescription& tree, const tarvo::TreeNodeDescription& node,
                        const TTreeFonts& fonts);

  int type() const override { return Type; }
  QRectF boundingRect() const override;
  void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override;
  const QString& title() const { return Title; }

 private:
  QRectF Box;
  QString Title, Counts;
  bool Leaf, Dashed;
  QVector<int> ClassCounts;  // empty in regression
  const TTreeFonts& Fonts;
};

class TTreeEdgeItem : public QGraphicsItem {
 public:
  enum { Type = UserType + 2 };
  TTreeEdgeItem(const QPainterPath& curve, const QPolygonF& arrow, const QRectF& labelBox,
                const QString& label, const TTreeFonts& fonts);
  // The size of an edge label's box.
  static QSizeF Measure(const QString& label, const TTreeFonts& fonts);

  int type() const override { return Type; }
  QRectF boundingRect() const override;
  void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override;

 private:
  QPainterPath Curve;
  QPolygonF Arrow;
  QRectF LabelBox;
  QString Label;
  const TTreeFonts& Fonts;
};
