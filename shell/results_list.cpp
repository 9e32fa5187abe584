// The results list's rows and the texts they show.
#include "results_list.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QSignalBlocker>
#include <QTreeWidget>

#include "tarvo/numbers.h"

namespace {

// The parameters, the longest text, come last so that the figures stay in sight.
enum Column { kNumber, kTable, kStarted, kError, kEnd, kParameters, kColumns };

QString Fixed(double value, int decimals) {
  return QString::fromStdString(tarvo::FormatReal(value, 1, decimals));
}

}  // namespace

QString EndText(const TRunRecord& run) {
  switch (run.End) {
    case TRunOutcome::TEnd::Completed:
      return run.TableFault ? "table fault" : "complete";
    case TRunOutcome::TEnd::Stopped:
      return "stopped";
    case TRunOutcome::TEnd::Failed:
      break;
  }
  return "failed";
}

QString ParametersText(const tarvo::RunParameters& p, tarvo::PruneRule prune,
                       const QStringList& nominal) {
  QString text = QString("look-ahead %1, homogeneity %2, variants %3, column %4, folds %5")
                     .arg(Fixed(p.RecursiveComplexity, 2), Fixed(p.Homogeneity, 3))
                     .arg(p.VariantsNumber)
                     .arg(p.FeatureToPredict)
                     .arg(p.FoldsCrossValidate);
  if (prune != tarvo::PruneRule::None) text += QString(", prune ") + tarvo::PruneRuleName(prune);
  if (!nominal.isEmpty()) text += ", nominal " + nominal.join(',');
  return text;
}

TResultsList::TResultsList(QWidget* parent) : QDockWidget("Runs", parent) {
  setObjectName("ResultsList");
  // Like the Tree view it shows after the first run and stays: there is no command to reopen it.
  setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
  Rows = new QTreeWidget(this);
  Rows->setObjectName("RunRows");
  Rows->setColumnCount(kColumns);
  Rows->setHeaderLabels({"#", "Table", "Started", "CV error", "End", "Parameters"});
  Rows->setRootIsDecorated(false);
  Rows->setUniformRowHeights(true);
  Rows->setAllColumnsShowFocus(true);
  Rows->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  Rows->header()->setStretchLastSection(false);
  Rows->setToolTip("The runs of this session: choose one to show its report and trees");
  // Another column of the row shown is the same run: nothing to show again.
  connect(Rows, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* item, QTreeWidgetItem* previous) {
            if (item && item != previous) emit RunChosen(Rows->indexOfTopLevelItem(item));
          });
  setWidget(Rows);
}

int TResultsList::AddRun(TRunRecord run) {
  const int index = Count();
  auto* row = new QTreeWidgetItem;
  row->setText(kNumber, QString::number(index + 1));
  row->setText(kTable, QFileInfo(run.Table).fileName());
  row->setToolTip(kTable, run.Table);
  const QString parameters = ParametersText(run.Parameters, run.Prune, run.Nominal);
  row->setText(kParameters, parameters);
  row->setToolTip(kParameters, parameters);
  row->setText(kStarted, run.Started.toString("HH:mm:ss"));
  row->setToolTip(kStarted,
                  QString("%1, %2 s")
                      .arg(run.Started.toString(Qt::ISODate), Fixed(run.Milliseconds / 1000.0, 1)));
  row->setText(kError, run.CrossValidated ? Fixed(run.CrossValidationError, 3) : "-");
  row->setText(kEnd, EndText(run));
  row->setToolTip(kEnd, run.End == TRunOutcome::TEnd::Failed ? run.Error : EndText(run));
  for (int column : {kNumber, kError}) row->setTextAlignment(column, Qt::AlignRight);
  Runs.push_back(std::move(run));
  {
    const QSignalBlocker quiet(Rows);
    Rows->addTopLevelItem(row);
  }
  Rows->scrollToItem(row);
  return index;
}

void TResultsList::MarkShown(int index) {
  const QSignalBlocker quiet(Rows);
  Rows->setCurrentItem(index >= 0 ? Rows->topLevelItem(index) : nullptr);
  if (index < 0) Rows->clearSelection();
}
