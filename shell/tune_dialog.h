// Run > Tune Parameters...: the search over look-ahead, homogeneity and pruning settings on a
// worker thread, its rows in a sortable table as they arrive, and "Use these" for the chosen row.
#pragma once

#include <QDialog>
#include <atomic>
#include <vector>

#include "tarvo/parameters.h"
#include "tarvo/tuning.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QHBoxLayout;
class TBackgroundTask;
class TTuningPlot;

class TTuneDialog : public QDialog {
  Q_OBJECT

 public:
  explicit TTuneDialog(QWidget* parent = nullptr);
  // Stops a search in progress and waits for it.
  ~TTuneDialog() override;

  // The table the next search runs on (a .csv, .tsv or .tab file read as such a table, with csv),
  // the parameters it keeps for the others, and a note on the column it predicts, when there is
  // one.
  void SetTable(const QString& fileName, const tarvo::RunParameters& base,
                const QString& note = QString(), const tarvo::CsvOptions& csv = {});
  bool IsRunning() const;
  // Asks the search to stop, as Stop does; the rows done so far stay.
  void RequestStop();
  // Says that the row chosen with "Use these" could not be kept (param.par or the settings).
  void ShowSettingNotKept();

 signals:
  // "Use these" was pressed on a row.
  void SettingChosen(const tarvo::TuningRow& row);
  // A search has started or has finished.
  void RunningChanged();

 private:
  void StartClick();
  void UseTheseClick();
  void AddRow(const tarvo::TuningRow& row);
  // The search's row shown in table row r, whatever the sorting.
  const tarvo::TuningRow& RowShownAt(int r) const;
  void ShowProgress(double fraction);
  void SearchFinished();
  void UpdateButtons();
  QHBoxLayout* CreateSettings();
  QHBoxLayout* CreateResults();
  void CreateProgress();
  QHBoxLayout* CreateButtons();

  QString TableFileName;
  tarvo::RunParameters Base;
  tarvo::CsvOptions Csv;
  std::atomic<bool> StopRequested{false};
  TBackgroundTask* Search;
  // Written by the worker, read once it has finished.
  tarvo::TuningResult Result;
  QString WorkerError;
  // The rows in the order they arrived; each table row keeps its index.
  std::vector<tarvo::TuningRow> Arrived;

  QLineEdit* GridEdit;
  QSpinBox* BudgetEdit;
  QTableWidget* RowsTable;
  TTuningPlot* Plot;
  QProgressBar* ProgressBar;
  QLabel* StatusLabel;
  QPushButton* StartButton;
  QPushButton* StopButton;
  QPushButton* UseTheseButton;
  QPushButton* CloseButton;
  QLabel* Honesty;
};
