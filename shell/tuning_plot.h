// A small plot beside the tuning rows: the CV error against look-ahead, one line per homogeneity
// without pruning and one per pruning rule, so that the shape of the search is seen at a glance.
#pragma once

#include <QWidget>
#include <map>
#include <utility>
#include <vector>

#include "tarvo/tuning.h"

class TTuningPlot : public QWidget {
  Q_OBJECT

 public:
  explicit TTuningPlot(QWidget* parent = nullptr);

  void Clear();
  // Adds a scored row; rows without a score are not drawn.
  void AddRow(const tarvo::TuningRow& row);

  // The lines drawn, keyed by pruning rule and homogeneity (a pruned line's homogeneity is that of
  // its growth), and the points of each (look-ahead, CV error) in look-ahead order.
  using TSeriesKey = std::pair<tarvo::PruneRule, double>;
  const std::map<TSeriesKey, std::vector<QPointF>>& Series() const { return series_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::map<TSeriesKey, std::vector<QPointF>> series_;
};
