// A small plot beside the tuning rows: the CV error against look-ahead, one line per homogeneity,
// so that the shape of the search is seen at a glance.
#pragma once

#include <QWidget>
#include <map>
#include <vector>

#include "tarvo/tuning.h"

class TTuningPlot : public QWidget {
  Q_OBJECT

 public:
  explicit TTuningPlot(QWidget* parent = nullptr);

  void Clear();
  // Adds a scored row; rows without a score are not drawn.
  void AddRow(const tarvo::TuningRow& row);

  // The homogeneities drawn, and the points of each (look-ahead, CV error) in look-ahead order.
  const std::map<double, std::vector<QPointF>>& Series() const { return series_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::map<double, std::vector<QPointF>> series_;
};
