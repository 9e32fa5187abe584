// The results list: a dock with one row per run of this session (table, start, CV error, how it
// ended, parameters). Choosing a row asks the window to show that run's report and trees.
#pragma once

#include <QDateTime>
#include <QDockWidget>
#include <QString>
#include <QStringList>
#include <vector>

#include "engine_run.h"
#include "tarvo/parameters.h"
#include "tarvo/pruning.h"
#include "tarvo/tree_description.h"
#include "text_file.h"

class QTreeWidget;

// What the window keeps of one run.
struct TRunRecord {
  QString Table;                    // the file the run read
  tarvo::RunParameters Parameters;  // as the run used them: param.par's, with a pruned run's growth
  tarvo::PruneRule Prune = tarvo::PruneRule::None;
  QStringList Nominal;  // the columns of a CSV or TSV table read as nominal on request
  QDateTime Started;
  qint64 Milliseconds = 0;
  TRunOutcome::TEnd End = TRunOutcome::TEnd::Completed;
  QString Error;            // a failed run's message
  bool TableFault = false;  // the report holds a fault of the table instead of trees
  bool CrossValidated = false;
  double CrossValidationError = 0;  // of the first tree
  bool HasReport = false;           // false when the run left no report to show
  QString Report;                   // the report's text as the editor shows it
  TTextFormat ReportFormat;
  std::vector<tarvo::TreeDescription> Trees;
};

class TResultsList : public QDockWidget {
  Q_OBJECT

 public:
  explicit TResultsList(QWidget* parent = nullptr);

  // Adds a row for the run; returns its index.
  int AddRun(TRunRecord run);
  const TRunRecord& Record(int index) const { return Runs[static_cast<size_t>(index)]; }
  int Count() const { return static_cast<int>(Runs.size()); }
  // Marks the row of the run shown, or none (-1), without telling RunChosen.
  void MarkShown(int index);

 signals:
  // The user chose the row of run index (0-based).
  void RunChosen(int index);

 private:
  std::vector<TRunRecord> Runs;
  QTreeWidget* Rows;
};

// How a run ended, in a word or two: "complete", "table fault", "stopped", "failed".
QString EndText(const TRunRecord& run);
// The run parameters that the panel shows, the pruning rule and the columns asked to be nominal
// when there are any, in one short line.
QString ParametersText(const tarvo::RunParameters& parameters,
                       tarvo::PruneRule prune = tarvo::PruneRule::None,
                       const QStringList& nominal = {});
