// The Tune Parameters dialog: a worker thread runs the grid and posts each row and the progress
// back to the dialog's thread; the table sorts by the numbers, not by their texts.
#include "tune_dialog.h"

#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <limits>

#include "background_task.h"
#include "tarvo/csv_table.h"
#include "tarvo/engine.h"
#include "tarvo/numbers.h"
#include "tuning_plot.h"

namespace {

enum Column { kLookAhead, kHomogeneity, kError, kStandardError, kLeaves, kSeconds, kPrune, kNote };

// Where a table row keeps the index of its search row.
constexpr int kArrivalRole = Qt::UserRole + 1;

// A cell that shows a text and sorts by a number.
class TNumberItem : public QTableWidgetItem {
 public:
  TNumberItem(const QString& text, double value) : QTableWidgetItem(text) {
    setData(Qt::UserRole, value);
    setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  }
  bool operator<(const QTableWidgetItem& other) const override {
    return data(Qt::UserRole).toDouble() < other.data(Qt::UserRole).toDouble();
  }
};

QString Fixed(double value, int decimals) {
  return QString::fromStdString(tarvo::FormatReal(value, 1, decimals));
}

constexpr double kUnscored = std::numeric_limits<double>::infinity();  // sorts after every score

}  // namespace

TTuneDialog::TTuneDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("TuneDialog");
  setWindowTitle("Tune Parameters");
  setModal(false);
  Search = new TBackgroundTask(this);
  connect(Search, &TBackgroundTask::Finished, this, &TTuneDialog::SearchFinished);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(CreateSettings());
  layout->addLayout(CreateResults(), 1);
  CreateProgress();
  layout->addWidget(ProgressBar);
  layout->addWidget(StatusLabel);
  layout->addWidget(Honesty);
  layout->addLayout(CreateButtons());
  resize(900, 420);
  UpdateButtons();
}

// The grid to try and the time budget.
QHBoxLayout* TTuneDialog::CreateSettings() {
  GridEdit = new QLineEdit(this);
  GridEdit->setObjectName("GridEdit");
  GridEdit->setPlaceholderText("rc=1,2,2.5,3 h=0.01,0.05,0.1,0.2 prune=none,1se,min");
  GridEdit->setToolTip(
      "Values to try; empty for the default grid (a numeric target takes "
      "homogeneity 0.001, 0.005, 0.01 and 0.05). Each look-ahead runs every homogeneity without "
      "pruning, and one row per pruning rule (none, 1se, min) grown as a pruned run grows");
  BudgetEdit = new QSpinBox(this);
  BudgetEdit->setObjectName("BudgetEdit");
  BudgetEdit->setRange(0, 24 * 3600);
  BudgetEdit->setValue(300);
  BudgetEdit->setSuffix(" s");
  BudgetEdit->setSpecialValueText("no limit");
  auto* gridLabel = new QLabel("&Grid:", this);
  gridLabel->setBuddy(GridEdit);
  auto* budgetLabel = new QLabel("Time &budget:", this);
  budgetLabel->setBuddy(BudgetEdit);
  auto* settings = new QHBoxLayout;
  settings->addWidget(gridLabel);
  settings->addWidget(GridEdit, 1);
  settings->addWidget(budgetLabel);
  settings->addWidget(BudgetEdit);
  return settings;
}

// The rows of the search, sortable by their numbers, and their plot.
QHBoxLayout* TTuneDialog::CreateResults() {
  RowsTable = new QTableWidget(0, 8, this);
  RowsTable->setObjectName("RowsTable");
  RowsTable->setHorizontalHeaderLabels({"Look-ahead", "Homogeneity", "CV error", "Std. error",
                                        "Leaves", "Seconds", "Prune", "Note"});
  RowsTable->horizontalHeader()->setStretchLastSection(true);
  RowsTable->verticalHeader()->hide();
  RowsTable->setSelectionBehavior(QAbstractItemView::SelectRows);
  RowsTable->setSelectionMode(QAbstractItemView::SingleSelection);
  RowsTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
  RowsTable->setSortingEnabled(true);
  connect(RowsTable, &QTableWidget::itemSelectionChanged, this, &TTuneDialog::UpdateButtons);

  Plot = new TTuningPlot(this);
  auto* results = new QHBoxLayout;
  results->addWidget(RowsTable, 3);
  results->addWidget(Plot, 2);
  return results;
}

// The progress bar, the status line and the note on the best row's error.
void TTuneDialog::CreateProgress() {
  ProgressBar = new QProgressBar(this);
  ProgressBar->setObjectName("ProgressBar");
  ProgressBar->setRange(0, 1000);
  ProgressBar->setTextVisible(false);
  StatusLabel = new QLabel(this);
  StatusLabel->setObjectName("StatusLabel");
  StatusLabel->setWordWrap(true);
  Honesty = new QLabel(
      "The best row's CV error is optimistic: the setting was chosen on the same folds that "
      "measured it.",
      this);
  Honesty->setWordWrap(true);
}

QHBoxLayout* TTuneDialog::CreateButtons() {
  StartButton = new QPushButton("&Start", this);
  StartButton->setObjectName("StartButton");
  StopButton = new QPushButton("S&top", this);
  StopButton->setObjectName("StopButton");
  UseTheseButton = new QPushButton("&Use these", this);
  UseTheseButton->setObjectName("UseTheseButton");
  UseTheseButton->setToolTip(
      "Write the selected row's look-ahead and homogeneity to param.par and set Prune to its "
      "rule; a pruned row keeps the homogeneity of param.par");
  CloseButton = new QPushButton("Close", this);
  connect(StartButton, &QPushButton::clicked, this, &TTuneDialog::StartClick);
  connect(StopButton, &QPushButton::clicked, this, &TTuneDialog::RequestStop);
  connect(UseTheseButton, &QPushButton::clicked, this, &TTuneDialog::UseTheseClick);
  connect(CloseButton, &QPushButton::clicked, this, &QDialog::close);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(StartButton);
  buttons->addWidget(StopButton);
  buttons->addStretch(1);
  buttons->addWidget(UseTheseButton);
  buttons->addWidget(CloseButton);
  return buttons;
}

TTuneDialog::~TTuneDialog() {
  // The search writes Result until it returns: it must end before the members go.
  StopRequested = true;
  Search->Wait();
}

bool TTuneDialog::IsRunning() const {
  return Search->IsRunning();
}

void TTuneDialog::SetTable(const QString& fileName, const tarvo::RunParameters& base,
                           const QString& note, const tarvo::CsvOptions& csv) {
  if (IsRunning()) return;
  TableFileName = fileName;
  Base = base;
  Csv = csv;
  StatusLabel->setText("Table: " + fileName + (note.isEmpty() ? "" : ". " + note));
}

void TTuneDialog::StartClick() {
  if (IsRunning()) return;
  tarvo::TuningOptions options;
  std::string message;
  if (!tarvo::ParseTuningGrid(GridEdit->text().toStdString(), options.Grid, message)) {
    StatusLabel->setText(QString::fromStdString("Grid: " + message));
    return;
  }
  options.BudgetSeconds = BudgetEdit->value();
  options.CancelRequested = &StopRequested;
  // The callbacks run on the worker; the dialog's own thread fills the table.
  options.RowDone = [this](const tarvo::TuningRow& row) {
    Search->Post([this, row] { AddRow(row); });
  };
  options.Progress = [this](const tarvo::TuningProgress& where) {
    const double fraction = where.Fraction();
    Search->Post([this, fraction] { ShowProgress(fraction); });
  };

  RowsTable->setRowCount(0);
  Arrived.clear();
  Plot->Clear();
  ProgressBar->setValue(0);
  StatusLabel->setText("Tuning " + TableFileName + "...");
  StopRequested = false;
  Result = tarvo::TuningResult();
  WorkerError.clear();
  const std::string file = QFile::encodeName(TableFileName).toStdString();
  options.InputFormat = tarvo::TableFormatOfName(file);
  options.Csv = Csv;
  const tarvo::RunParameters base = Base;
  try {
    Search->Start([this, file, base, options] {
      try {
        Result = tarvo::TuneParameters(base, file, options);
      } catch (const std::exception& error) {
        WorkerError = QString::fromLocal8Bit(error.what());
      }
    });
  } catch (const std::exception& error) {
    StatusLabel->setText(QString("Cannot start the search: %1").arg(error.what()));
  }
  UpdateButtons();
  emit RunningChanged();
}

void TTuneDialog::RequestStop() {
  if (!IsRunning()) return;
  StopRequested = true;
  StatusLabel->setText("Stopping...");
  UpdateButtons();
}

void TTuneDialog::AddRow(const tarvo::TuningRow& row) {
  Plot->AddRow(row);
  const bool scored = row.Outcome == tarvo::TuningOutcome::Scored;
  RowsTable->setSortingEnabled(false);
  const int r = RowsTable->rowCount();
  RowsTable->insertRow(r);
  auto* lookAhead = new TNumberItem(Fixed(row.RecursiveComplexity, 3), row.RecursiveComplexity);
  lookAhead->setData(kArrivalRole, static_cast<int>(Arrived.size()));
  Arrived.push_back(row);
  RowsTable->setItem(r, kLookAhead, lookAhead);
  RowsTable->setItem(r, kHomogeneity, new TNumberItem(Fixed(row.Homogeneity, 3), row.Homogeneity));
  auto number = [&](double value, int decimals, bool known) {
    return new TNumberItem(known ? Fixed(value, decimals) : "-", known ? value : kUnscored);
  };
  RowsTable->setItem(r, kError, number(row.CrossValidationError, 3, scored));
  RowsTable->setItem(r, kStandardError,
                     number(row.StandardError, 3, scored && row.StandardError >= 0));
  RowsTable->setItem(r, kLeaves, number(row.Leaves, 0, scored));
  RowsTable->setItem(r, kSeconds,
                     number(row.Seconds, 1, row.Outcome != tarvo::TuningOutcome::NotRun));
  RowsTable->setItem(r, kPrune, new QTableWidgetItem(tarvo::PruneRuleName(row.Prune)));
  RowsTable->setItem(r, kNote, new QTableWidgetItem(QString::fromStdString(row.Note)));
  RowsTable->setSortingEnabled(true);
}

void TTuneDialog::ShowProgress(double fraction) {
  ProgressBar->setValue(static_cast<int>(fraction * 1000));
}

void TTuneDialog::SearchFinished() {
  ProgressBar->setValue(1000);
  QString status;
  switch (Result.End) {
    case tarvo::TuningEnd::Completed:
      status = "Done.";
      break;
    case tarvo::TuningEnd::OverBudget:
      status = "The time budget ended the search.";
      break;
    case tarvo::TuningEnd::Cancelled:
      status = "Stopped: the rows done so far.";
      break;
    case tarvo::TuningEnd::NotStarted:
      status = "Cannot tune: " + QString::fromStdString(Result.Message).trimmed();
      break;
  }
  if (!WorkerError.isEmpty()) status = WorkerError;
  // Mark and select the best row wherever sorting has put it; the mark itself may move it when
  // the rows are sorted by their notes.
  if (Result.Best >= 0) {
    const tarvo::TuningRow& best = Result.Rows[static_cast<size_t>(Result.Best)];
    for (int r = 0; r < RowsTable->rowCount(); ++r) {
      if (RowsTable->item(r, kLookAhead)->data(kArrivalRole).toInt() != Result.Best) continue;
      QTableWidgetItem* note = RowsTable->item(r, kNote);
      note->setText(note->text().isEmpty() ? "best" : "best; " + note->text());
      RowsTable->selectRow(note->row());
      break;
    }
    status += " Best: look-ahead " + Fixed(best.RecursiveComplexity, 3) + ", homogeneity " +
              Fixed(best.Homogeneity, 3) + ", prune " + tarvo::PruneRuleName(best.Prune) +
              " (ties go to the lower look-ahead, then no pruning, then the higher "
              "homogeneity).";
  }
  StatusLabel->setText(status);
  UpdateButtons();
  emit RunningChanged();
}

void TTuneDialog::UseTheseClick() {
  const QList<QTableWidgetItem*> selected = RowsTable->selectedItems();
  if (selected.isEmpty()) return;
  const tarvo::TuningRow& row = RowShownAt(selected.first()->row());
  // Said first: a receiver that fails to keep the setting replaces it (ShowSettingNotKept).
  const QString written = "Written to param.par: look-ahead " + Fixed(row.RecursiveComplexity, 3);
  StatusLabel->setText(row.Prune == tarvo::PruneRule::None
                           ? written + ", homogeneity " + Fixed(row.Homogeneity, 3) +
                                 "; pruning is off."
                           : written + " (its homogeneity kept); pruning is on, rule " +
                                 tarvo::PruneRuleName(row.Prune) + ".");
  emit SettingChosen(row);
}

void TTuneDialog::ShowSettingNotKept() {
  StatusLabel->setText("The setting was not kept: see the message.");
}

const tarvo::TuningRow& TTuneDialog::RowShownAt(int r) const {
  return Arrived[static_cast<size_t>(RowsTable->item(r, kLookAhead)->data(kArrivalRole).toInt())];
}

void TTuneDialog::UpdateButtons() {
  const bool running = IsRunning();
  StartButton->setEnabled(!running);
  StopButton->setEnabled(running && !StopRequested);
  GridEdit->setEnabled(!running);
  BudgetEdit->setEnabled(!running);
  const QList<QTableWidgetItem*> selected = RowsTable->selectedItems();
  const bool scored =
      !selected.isEmpty() &&
      RowsTable->item(selected.first()->row(), kError)->data(Qt::UserRole).toDouble() != kUnscored;
  UseTheseButton->setEnabled(!running && scored);
}
