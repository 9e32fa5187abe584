// Draws the tuning rows as lines of CV error over look-ahead, in the class colours of the Tree view
// so that the first homogeneity is always the same colour.
#include "tuning_plot.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "tree_labels.h"

TTuningPlot::TTuningPlot(QWidget* parent) : QWidget(parent) {
  setObjectName("TuningPlot");
  setMinimumSize(220, 160);
}

void TTuningPlot::Clear() {
  series_.clear();
  update();
}

void TTuningPlot::AddRow(const tarvo::TuningRow& row) {
  if (row.Outcome != tarvo::TuningOutcome::Scored) return;
  std::vector<QPointF>& points = series_[{row.Prune, row.Homogeneity}];
  const QPointF point(row.RecursiveComplexity, row.CrossValidationError);
  points.insert(std::upper_bound(points.begin(), points.end(), point,
                                 [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); }),
                point);
  update();
}

void TTuningPlot::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().base());
  painter.setRenderHint(QPainter::Antialiasing);
  const QFontMetrics metrics(font());
  const int line = metrics.height();
  const QRectF area =
      QRectF(rect()).adjusted(metrics.horizontalAdvance("0.000") + 10, line,
                              -metrics.horizontalAdvance("h 0.000") - 24, -2 * line - 4);
  painter.setPen(palette().color(QPalette::Text));
  painter.drawRect(area);
  if (series_.empty()) {
    painter.drawText(area, Qt::AlignCenter, "CV error by look-ahead");
    return;
  }
  double xLow = 1e300, xHigh = -1e300, yLow = 1e300, yHigh = -1e300;
  for (const auto& [key, points] : series_) {
    for (const QPointF& p : points) {
      xLow = std::min(xLow, p.x());
      xHigh = std::max(xHigh, p.x());
      yLow = std::min(yLow, p.y());
      yHigh = std::max(yHigh, p.y());
    }
  }
  const double xFirst = xLow, xLast = xHigh, yFirst = yLow, yLast = yHigh;
  // A single value still needs a span to be placed in the middle of its axis.
  if (xHigh == xLow) xLow -= 0.5, xHigh += 0.5;
  if (yHigh == yLow) yLow -= 0.05, yHigh += 0.05;
  // A margin keeps the lines off the frame.
  const double xPad = (xHigh - xLow) * 0.05, yPad = (yHigh - yLow) * 0.08;
  xLow -= xPad, xHigh += xPad, yLow -= yPad, yHigh += yPad;
  const auto place = [&](const QPointF& p) {
    return QPointF(area.left() + (p.x() - xLow) / (xHigh - xLow) * area.width(),
                   area.bottom() - (p.y() - yLow) / (yHigh - yLow) * area.height());
  };
  const auto text = [](double value) { return QString::number(value, 'f', 3); };
  painter.drawText(QPointF(2, place({xFirst, yLast}).y() + line / 3.0), text(yLast));
  painter.drawText(QPointF(2, place({xFirst, yFirst}).y() + line / 3.0), text(yFirst));
  for (const double x : {xFirst, xLast}) {
    const QString label = QString::number(x);
    painter.drawText(QPointF(place({x, yFirst}).x() - metrics.horizontalAdvance(label) / 2.0,
                             area.bottom() + line),
                     label);
  }
  painter.drawText(area.adjusted(0, 0, 0, 2 * line + 4), Qt::AlignHCenter | Qt::AlignBottom,
                   "look-ahead");

  int index = 0;
  for (const auto& [key, points] : series_) {
    const QColor colour(QString::fromLatin1(tarvo::ClassColour(index)));
    painter.setPen(QPen(colour, 2));
    QPainterPath path(place(points.front()));
    for (const QPointF& p : points) path.lineTo(place(p));
    painter.drawPath(path);
    for (const QPointF& p : points) painter.drawEllipse(place(p), 3, 3);
    const QPointF at(area.right() + 8, area.top() + line * (index + 1));
    painter.drawLine(at, at + QPointF(10, 0));
    painter.setPen(palette().color(QPalette::Text));
    const QString label = key.first == tarvo::PruneRule::None
                              ? "h " + text(key.second)
                              : QString::fromLatin1(tarvo::PruneRuleName(key.first));
    painter.drawText(at + QPointF(14, line / 3.0), label);
    ++index;
  }
}
