// The parameter panel GroupBox1: the edits of the five run parameters the user sets, the pruning
// setting, the column list of the open table (with its nominal columns when it is a CSV or TSV
// table) and the OK button, laid over the editor and not modal.
#pragma once

#include <QGroupBox>
#include <QList>
#include <QStringList>

#include "prune_setting.h"
#include "table_header.h"
#include "tarvo/parameters.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TParameterPanel : public QGroupBox {
  Q_OBJECT

 public:
  explicit TParameterPanel(QWidget* parent = nullptr);

  // Shows the parameters in the edits; what the edits held before is replaced.
  void Fill(const tarvo::RunParameters& parameters);
  // Shows the pruning setting; what the panel showed before is replaced.
  void FillPrune(const TPruneSetting& setting);
  // Lists the table's columns and picks the one to predict. The pick of a CSV or TSV table is kept
  // for that table, not in param.par, and the panel says so. A table that does not read lists
  // nothing; fault says why.
  void SetColumns(const QList<TTableColumn>& columns, int32_t featureToPredict,
                  bool csvTable = false, const QString& fault = QString());
  // Shows the columns asked to be nominal in a CSV or TSV table, as a comma-separated list; the
  // field is there only for such a table.
  void FillNominal(const QStringList& columns, bool csvTable);
  QStringList ReadNominal() const;
  // Shows the panel with the first edit's text selected for typing.
  void Open();
  // The edits as run parameters, the other values taken from base. Every edit is converted
  // before anything is returned: a text that is not a number throws, naming the field, and
  // leaves the focus on it.
  tarvo::RunParameters Read(const tarvo::RunParameters& base);
  TPruneSetting ReadPrune() const;
  // The edits or the pruning setting differ from what Fill and FillPrune put there.
  bool HasUnappliedEdits() const;

 signals:
  // OK, or Return in an edit or on the button.
  void OkRequested();
  // Escape: the panel closes without writing anything.
  void CloseRequested();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLineEdit* AddEdit(const char* name, const char* caption, int left, int top, const char* meaning);
  void CreatePruneChoice();
  void CreateColumnList();
  void CreateNominalEdit();
  void CreateOkButton();
  QStringList EditTexts() const;

  QLineEdit* Recursive_Embedding;
  QLineEdit* Homogeneity;
  QLineEdit* VariantsNumber;
  QLineEdit* FeatureToPredict;
  QLineEdit* FoldsCrossValidate;
  QCheckBox* Prune = nullptr;
  QComboBox* PruneRule = nullptr;
  QComboBox* ColumnList = nullptr;
  QLabel* ColumnLabel = nullptr;
  QLineEdit* NominalColumns = nullptr;
  QLabel* NominalLabel = nullptr;
  QPushButton* OK = nullptr;
  QStringList FilledTexts;  // what Fill and FillPrune put in the edits and the pruning setting
};
