// The parameter panel's widgets, what they show and how their texts become run parameters.
#include "parameter_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <algorithm>
#include <stdexcept>
#include <string>

#include "csv_target.h"
#include "tarvo/numbers.h"

namespace {

const char* const kFeatureTip =
    "The number of the column to predict, from 1. A nominal column gives classification trees, a "
    "numeric one regression trees. The list below shows the columns of the open table.";
const char* const kColumnListTip =
    "The columns of the open table, read from its header: pick the one to predict (Return takes "
    "the pick to FeatureToPredict)";
const char* const kCsvPickTip =
    "For a CSV or TSV table the column to predict is kept for that table in Tarvo2's own "
    "settings; param.par's FeatureToPredict, which numbers the columns of table files, stays as "
    "it is. Until you pick another one, the last column is predicted.";

// The text of a parameter edit as a real; refuses it, naming the field, when it is not a number.
double RealOf(QLineEdit& edit, const char* field) {
  double value = 0;
  if (!tarvo::ParseRealToken(edit.text().trimmed().toStdString(), value)) {
    edit.setFocus();
    edit.selectAll();
    throw std::runtime_error(std::string(field) + " must be a number; \"" +
                             edit.text().toStdString() + "\" is not.");
  }
  return value;
}

int32_t IntegerOf(QLineEdit& edit, const char* field) {
  int32_t value = 0;
  if (!tarvo::ParseIntegerToken(edit.text().trimmed().toStdString(), value)) {
    edit.setFocus();
    edit.selectAll();
    throw std::runtime_error(std::string(field) + " must be a whole number; \"" +
                             edit.text().toStdString() + "\" is not.");
  }
  return value;
}

}  // namespace

TParameterPanel::TParameterPanel(QWidget* parent) : QGroupBox("Parameters", parent) {
  setObjectName("GroupBox1");
  setGeometry(24, 96, 393, 231);
  setAutoFillBackground(true);
  // The mnemonics stay clear of the menu bar's letters (F, E, R, H).
  Recursive_Embedding =
      AddEdit("Recursive_Embedding", "Recursive&Complexity", 152, 48,
              "Look-ahead of the split search: the whole part is the number of levels a candidate "
              "split is grown further before it is judged (1 or more); a fraction f thins the "
              "features of the deeper searches. Two decimals are kept.");
  Homogeneity = AddEdit("Homogeneity", "Ho&mogeneity", 152, 88,
                        "When a node stops growing. Classification: the error frequency below "
                        "which a node counts as pure (0 to 1). Regression: the level of the "
                        "chi-square test, one of 0.001, 0.005, 0.01 or 0.05. Three decimals are "
                        "kept.");
  VariantsNumber = AddEdit("VariantsNumber", "&VariantsNumber", 328, 48,
                           "How many trees to grow (1 to 255); each later tree may not use the "
                           "feature at the root of the one before.");
  FeatureToPredict = AddEdit("FeatureToPredict", "Feature&ToPredict", 328, 88, kFeatureTip);
  FoldsCrossValidate = AddEdit("FoldsCrossValidate", "Fol&dsCrossValidate", 328, 128,
                               "The number of folds of the cross-validation that estimates each "
                               "tree's error (2 to 255); 1 or less grows the trees without it.");
  CreatePruneChoice();
  CreateColumnList();
  CreateNominalEdit();
  CreateOkButton();
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this, nullptr, nullptr,
                               Qt::WidgetWithChildrenShortcut);
  connect(escape, &QShortcut::activated, this, &TParameterPanel::CloseRequested);
  hide();
}

// A one-line edit with its label to its left; Return in it means OK.
QLineEdit* TParameterPanel::AddEdit(const char* name, const char* caption, int left, int top,
                                    const char* meaning) {
  auto* line = new QLineEdit(this);
  line->setObjectName(name);
  line->setGeometry(left, top, 41, line->sizeHint().height());
  line->setToolTip(meaning);
  auto* label = new QLabel(caption, this);
  label->setBuddy(line);
  label->setToolTip(meaning);
  label->adjustSize();
  label->move(left - 6 - label->width(), top + (line->height() - label->height()) / 2);
  connect(line, &QLineEdit::returnPressed, this, &TParameterPanel::OkRequested);
  return line;
}

// Pruning and its rule, beside the first column of edits; the rule is chosen while pruning is on.
void TParameterPanel::CreatePruneChoice() {
  const char* meaning =
      "Prune every tree back to the size that the run's cross-validation folds choose: min takes "
      "the subtree with the least CV error, 1se the smallest one within one standard error of it "
      "(FoldsCrossValidate must be 2 or more). A pruned run first grows larger trees: homogeneity "
      "0, and target weight 25 below look-ahead 2 or 0.5 from it on, in place of param.par's; at "
      "look-ahead 1 a classification tree is grown with Gini and with entropy impurity, and "
      "cross-validation keeps the better. The setting is kept in Tarvo2's own settings, not in "
      "param.par; OK applies it.";
  Prune = new QCheckBox("&Prune", this);
  Prune->setObjectName("Prune");
  Prune->setToolTip(meaning);
  Prune->adjustSize();
  Prune->move(16, 128 + 2);
  PruneRule = new QComboBox(this);
  PruneRule->setObjectName("PruneRule");
  PruneRule->addItem(tarvo::PruneRuleName(tarvo::PruneRule::Min),
                     static_cast<int>(tarvo::PruneRule::Min));
  PruneRule->addItem(tarvo::PruneRuleName(tarvo::PruneRule::OneSe),
                     static_cast<int>(tarvo::PruneRule::OneSe));
  PruneRule->setToolTip(meaning);
  PruneRule->setGeometry(152 - 16, 128, 57, PruneRule->sizeHint().height());
  PruneRule->setEnabled(false);
  connect(Prune, &QCheckBox::toggled, PruneRule, &QWidget::setEnabled);
}

// The columns of the open table; picking one fills FeatureToPredict, which stays editable.
void TParameterPanel::CreateColumnList() {
  ColumnList = new QComboBox(this);
  ColumnList->setObjectName("ColumnList");
  ColumnList->setGeometry(16, 188, 220, ColumnList->sizeHint().height());
  ColumnLabel = new QLabel("Col&umn to predict:", this);
  ColumnLabel->setObjectName("ColumnLabel");
  ColumnLabel->setBuddy(ColumnList);
  ColumnLabel->adjustSize();
  ColumnLabel->move(16, 188 - 4 - ColumnLabel->height());
  connect(ColumnList, &QComboBox::activated, this, [this](int index) {
    FeatureToPredict->setText(QString::number(ColumnList->itemData(index).toInt()));
  });
  connect(FeatureToPredict, &QLineEdit::textEdited, this, [this](const QString& text) {
    ColumnList->setCurrentIndex(ColumnList->findData(text.trimmed().toInt()));
  });
  ColumnList->installEventFilter(this);
}

// Below the column list, for a CSV or TSV table only: a table file's header says each column's
// kind.
void TParameterPanel::CreateNominalEdit() {
  const char* meaning =
      "Columns of this CSV or TSV table to read as nominal even when their values are numbers "
      "(class codes such as 0 and 1): their names or numbers, separated by commas. A nominal "
      "column to predict gives classification trees. Kept for this table in Tarvo2's own "
      "settings; OK applies it.";
  NominalColumns = new QLineEdit(this);
  NominalColumns->setObjectName("NominalColumns");
  NominalColumns->setToolTip(meaning);
  NominalLabel = new QLabel("&Nominal columns:", this);
  NominalLabel->setObjectName("NominalLabel");
  NominalLabel->setBuddy(NominalColumns);
  NominalLabel->setToolTip(meaning);
  NominalLabel->adjustSize();
  const int top = 188 + ColumnList->height() + 8;
  const int left = 16 + NominalLabel->width() + 6;
  NominalColumns->setGeometry(left, top, 16 + 220 - left, NominalColumns->sizeHint().height());
  NominalLabel->move(16, top + (NominalColumns->height() - NominalLabel->height()) / 2);
  connect(NominalColumns, &QLineEdit::returnPressed, this, &TParameterPanel::OkRequested);
  NominalColumns->hide();
  NominalLabel->hide();
}

void TParameterPanel::CreateOkButton() {
  OK = new QPushButton("OK", this);
  OK->setObjectName("OK");
  OK->setGeometry(275 - 24, 261 - 96, 41, 41);
  OK->setAutoDefault(true);  // Return on the button presses it
  OK->setToolTip(
      "Write the values to param.par and close the panel (Return in a field); Escape closes it "
      "without writing");
  connect(OK, &QPushButton::clicked, this, &TParameterPanel::OkRequested);
}

// Return in the column list confirms the pick and goes on to FeatureToPredict: it neither applies
// the panel nor lets the next keys fall into the editor.
bool TParameterPanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ColumnList && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      FeatureToPredict->setFocus();
      FeatureToPredict->selectAll();
      return true;
    }
  }
  return QGroupBox::eventFilter(watched, event);
}

void TParameterPanel::Fill(const tarvo::RunParameters& parameters) {
  Recursive_Embedding->setText(
      QString::fromStdString(tarvo::FormatReal(parameters.RecursiveComplexity, 3, 2)));
  Homogeneity->setText(QString::fromStdString(tarvo::FormatReal(parameters.Homogeneity, 4, 3)));
  VariantsNumber->setText(QString::number(parameters.VariantsNumber));
  FeatureToPredict->setText(QString::number(parameters.FeatureToPredict));
  FoldsCrossValidate->setText(QString::number(parameters.FoldsCrossValidate));
  FilledTexts = EditTexts();
}

void TParameterPanel::FillPrune(const TPruneSetting& setting) {
  Prune->setChecked(setting.On);
  PruneRule->setCurrentIndex(PruneRule->findData(static_cast<int>(setting.Rule)));
  FilledTexts = EditTexts();
}

void TParameterPanel::SetColumns(const QList<TTableColumn>& columns, int32_t featureToPredict,
                                 bool csvTable, const QString& fault) {
  // Short enough to stay clear of the OK button beside the list.
  ColumnLabel->setText(csvTable ? "Col&umn to predict in this table:" : "Col&umn to predict:");
  ColumnLabel->adjustSize();
  const QString csvTip = csvTable ? QString("\n") + kCsvPickTip : QString();
  FeatureToPredict->setToolTip(kFeatureTip + csvTip);
  ColumnList->setToolTip(kColumnListTip + csvTip + (fault.isEmpty() ? "" : "\n" + fault));
  ColumnList->clear();
  for (const TTableColumn& column : columns)
    ColumnList->addItem(QString("%1  %2 (%3)")
                            .arg(column.Number)
                            .arg(column.Name, column.Nominal ? "nominal" : "numeric"),
                        column.Number);
  ColumnList->setPlaceholderText(ColumnList->count() ? "Pick a column"
                                 : fault.isEmpty()   ? "No table is open"
                                                     : "The table does not read");
  ColumnList->setCurrentIndex(ColumnList->findData(featureToPredict));
}

void TParameterPanel::FillNominal(const QStringList& columns, bool csvTable) {
  NominalColumns->setText(columns.join(", "));
  NominalColumns->setVisible(csvTable);
  NominalLabel->setVisible(csvTable);
  const int bottom = csvTable ? NominalColumns->geometry().bottom() + 12 : 231;
  resize(width(), std::max(231, bottom));
  FilledTexts = EditTexts();
}

QStringList TParameterPanel::ReadNominal() const {
  return SplitColumnList(NominalColumns->text());
}

void TParameterPanel::Open() {
  show();
  raise();
  Recursive_Embedding->setFocus();
  Recursive_Embedding->selectAll();
}

tarvo::RunParameters TParameterPanel::Read(const tarvo::RunParameters& base) {
  tarvo::RunParameters parameters = base;
  parameters.RecursiveComplexity = RealOf(*Recursive_Embedding, "RecursiveComplexity");
  parameters.Homogeneity = RealOf(*Homogeneity, "Homogeneity");
  parameters.VariantsNumber = IntegerOf(*VariantsNumber, "VariantsNumber");
  parameters.FeatureToPredict = IntegerOf(*FeatureToPredict, "FeatureToPredict");
  parameters.FoldsCrossValidate = IntegerOf(*FoldsCrossValidate, "FoldsCrossValidate");
  return parameters;
}

TPruneSetting TParameterPanel::ReadPrune() const {
  TPruneSetting setting;
  setting.On = Prune->isChecked();
  setting.Rule = static_cast<tarvo::PruneRule>(PruneRule->currentData().toInt());
  return setting;
}

bool TParameterPanel::HasUnappliedEdits() const {
  return EditTexts() != FilledTexts;
}

QStringList TParameterPanel::EditTexts() const {
  return {Recursive_Embedding->text(), Homogeneity->text(),
          VariantsNumber->text(),      FeatureToPredict->text(),
          FoldsCrossValidate->text(),  Prune->isChecked() ? "prune" : "",
          PruneRule->currentText(),    NominalColumns->text()};
}
