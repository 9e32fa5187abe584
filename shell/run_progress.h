// The run's place in the status bar, beside the three panels: a bar with "tree n of m" and the
// time since the run began; after the run, how it ended.
#pragma once

#include <QElapsedTimer>
#include <QWidget>

class QLabel;
class QProgressBar;
class QTimer;

class TRunProgress : public QWidget {
  Q_OBJECT

 public:
  explicit TRunProgress(QWidget* parent = nullptr);

  // A run begins: the bar waits for the plan and the clock starts at 0:00.
  void Begin();
  void PlanTrees(int trees);
  void TreeStarted(int tree);
  // The run has ended; summary names how (for example "Stopped"), followed by the time it took.
  void End(const QString& summary);

 private:
  void ShowElapsed();

  QProgressBar* Bar;
  QLabel* Elapsed;
  QTimer* Ticker;
  QElapsedTimer Clock;
};
