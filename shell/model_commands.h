// File > Save Model... and Run > Apply Model...: the model of the last completed run kept in a
// file, and a saved model applied to the open table, its predictions shown in a dock beside the
// editor (the editor keeps the table).
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "tarvo/model.h"

class QAction;
class QDockWidget;
class QMainWindow;
class QTableWidget;
class TDialogs;

class TModelCommands : public QObject {
  Q_OBJECT

 public:
  // tableFileName gives the table to predict, resolved as Grow Tree resolves it (unsaved edits of
  // the table saved first); empty when the user cancelled or was told why there is none.
  TModelCommands(TDialogs& dialogs, QMainWindow& window, std::function<QString()> tableFileName);

  // The model of the run that has just completed; null when the run gave none.
  void SetModel(std::shared_ptr<const tarvo::Model> model);

  QAction* SaveModelAction = nullptr;   // enabled while there is a model to save
  QAction* ApplyModelAction = nullptr;  // asks for a model file, predicts the open table
  QDockWidget* PredictionsDock = nullptr;
  QTableWidget* PredictionsTable = nullptr;

  void SaveModelExecute();
  void ApplyModelExecute();

 private:
  void ShowPredictions(const tarvo::Model& model, const tarvo::Predictions& predictions,
                       const QString& title);

  TDialogs& Dialogs;
  QMainWindow& Window;
  std::function<QString()> TableFileName;
  std::shared_ptr<const tarvo::Model> LastModel;
};
