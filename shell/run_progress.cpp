// The run's progress bar and clock in the status bar.
#include "run_progress.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>

namespace {

// m:ss, or h:mm:ss from an hour on.
QString ClockText(qint64 milliseconds) {
  const qint64 seconds = milliseconds / 1000;
  const auto twoDigits = [](qint64 n) { return QString("%1").arg(n, 2, 10, QChar('0')); };
  if (seconds < 3600) return QString("%1:%2").arg(seconds / 60).arg(twoDigits(seconds % 60));
  return QString("%1:%2:%3")
      .arg(seconds / 3600)
      .arg(twoDigits(seconds / 60 % 60), twoDigits(seconds % 60));
}

}  // namespace

TRunProgress::TRunProgress(QWidget* parent) : QWidget(parent) {
  setObjectName("RunProgress");
  // One width throughout, so that the status bar never shifts as a run starts and ends.
  setFixedWidth(190);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(6);
  Bar = new QProgressBar(this);
  Bar->setObjectName("TreeProgress");
  Bar->setFixedWidth(110);
  Bar->setFormat("tree %v of %m");
  Bar->setToolTip("The trees of this run: the one growing now and how many the run plans");
  Elapsed = new QLabel(this);
  Elapsed->setObjectName("ElapsedTime");
  Elapsed->setToolTip("Time since the run began");
  layout->addWidget(Bar);
  layout->addWidget(Elapsed);
  Ticker = new QTimer(this);
  Ticker->setInterval(1000);
  connect(Ticker, &QTimer::timeout, this, &TRunProgress::ShowElapsed);
  Bar->hide();
}

void TRunProgress::Begin() {
  // Until the plan is known the bar shows that something is under way.
  Bar->setRange(0, 0);
  Bar->setFormat("starting");
  Bar->show();
  Clock.start();
  Ticker->start();
  ShowElapsed();
}

void TRunProgress::PlanTrees(int trees) {
  Bar->setFormat("tree %v of %m");
  Bar->setRange(0, trees);
  Bar->setValue(0);
}

void TRunProgress::TreeStarted(int tree) {
  // A run may grow fewer trees than planned, never more; keep the bar honest all the same.
  if (tree > Bar->maximum()) Bar->setMaximum(tree);
  Bar->setValue(tree);
}

void TRunProgress::End(const QString& summary) {
  Ticker->stop();
  Bar->hide();
  Elapsed->setText(QString("%1 %2").arg(summary, ClockText(Clock.elapsed())));
}

void TRunProgress::ShowElapsed() {
  Elapsed->setText(ClockText(Clock.elapsed()));
}
