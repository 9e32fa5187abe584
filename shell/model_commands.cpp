// The model commands of the window: saving the last run's model, applying a saved one.
#include "model_commands.h"

#include <QAction>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QMainWindow>
#include <QTableWidget>
#include <string>

#include "dialogs.h"
#include "tarvo/csv_table.h"
#include "tarvo/model_file.h"
#include "tarvo/model_input.h"

namespace {

const QString kModelFilter = "Model files (*.json);;All files (*)";

QString Text(const std::string& bytes) {
  return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string FileName(const QString& name) {
  return QFile::encodeName(name).toStdString();
}

}  // namespace

TModelCommands::TModelCommands(TDialogs& dialogs, QMainWindow& window,
                               std::function<QString()> tableFileName)
    : QObject(&window), Dialogs(dialogs), Window(window), TableFileName(std::move(tableFileName)) {
  // The program's own icons: a model is saved like a file and applied like an opened one.
  SaveModelAction = new QAction(QIcon(":/icons/saveas.png"), "Save &Model...", this);
  SaveModelAction->setObjectName("FileSaveModel");
  SaveModelAction->setStatusTip("Save the trees of the last run as a model file");
  SaveModelAction->setEnabled(false);
  connect(SaveModelAction, &QAction::triggered, this, &TModelCommands::SaveModelExecute);
  ApplyModelAction = new QAction(QIcon(":/icons/open.png"), "&Apply Model...", this);
  ApplyModelAction->setObjectName("ApplyModel");
  ApplyModelAction->setStatusTip("Predict the objects of the open table with a saved model");
  connect(ApplyModelAction, &QAction::triggered, this, &TModelCommands::ApplyModelExecute);

  PredictionsDock = new QDockWidget("Predictions", &window);
  PredictionsDock->setObjectName("PredictionsDock");
  PredictionsTable = new QTableWidget(PredictionsDock);
  PredictionsTable->setObjectName("PredictionsTable");
  PredictionsTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
  PredictionsTable->verticalHeader()->hide();
  PredictionsDock->setWidget(PredictionsTable);
  window.addDockWidget(Qt::RightDockWidgetArea, PredictionsDock);
  PredictionsDock->hide();
}

void TModelCommands::SetModel(std::shared_ptr<const tarvo::Model> model) {
  LastModel = std::move(model);
  SaveModelAction->setEnabled(LastModel != nullptr);
}

void TModelCommands::SaveModelExecute() {
  if (!LastModel) return;
  const QString name = Dialogs.AskSaveFileName(&Window, "Save Model", QString(), kModelFilter,
                                               "json", nullptr, true);
  if (name.isEmpty()) return;
  try {
    tarvo::SaveModel(*LastModel, FileName(name));
  } catch (const tarvo::ModelError& error) {
    Dialogs.ShowError(&Window, Text(error.what()));
  }
}

void TModelCommands::ApplyModelExecute() {
  const QString table = TableFileName();
  if (table.isEmpty()) return;  // cancelled, or the window has said why
  if (!QFileInfo::exists(table)) {
    Dialogs.ShowError(&Window,
                      "Open a table first: the model predicts the objects of the open table.");
    return;
  }
  const QString modelName = Dialogs.AskOpenFileName(&Window, kModelFilter, "json");
  if (modelName.isEmpty()) return;
  try {
    const tarvo::Model model = tarvo::LoadModel(FileName(modelName));
    const std::string path = FileName(table);
    tarvo::Table objects;
    std::string fault;
    if (!tarvo::ReadObjectsToPredict(model, path, tarvo::TableFormatOfName(path), {}, objects,
                                     fault)) {
      Dialogs.ShowError(&Window, Text(fault));
      return;
    }
    ShowPredictions(model, tarvo::Predict(model, objects),
                    QFileInfo(modelName).fileName() + " on " + QFileInfo(table).fileName());
  } catch (const tarvo::ModelError& error) {
    Dialogs.ShowError(&Window, Text(error.what()));
  }
}

void TModelCommands::ShowPredictions(const tarvo::Model& model,
                                     const tarvo::Predictions& predictions, const QString& title) {
  const int trees = static_cast<int>(model.Trees.size());
  QStringList header{"object"};
  for (int t = 1; t <= trees; ++t) header << QString("variant_%1").arg(t);
  header << "vote";
  PredictionsTable->clear();
  PredictionsTable->setColumnCount(static_cast<int>(header.size()));
  PredictionsTable->setRowCount(static_cast<int>(predictions.Objects.size()));
  PredictionsTable->setHorizontalHeaderLabels(header);
  for (int j = 0; j < PredictionsTable->rowCount(); ++j) {
    const tarvo::ObjectPrediction& object = predictions.Objects[static_cast<size_t>(j)];
    PredictionsTable->setItem(j, 0, new QTableWidgetItem(QString::number(j + 1)));
    for (int t = 0; t < trees; ++t) {
      const std::string answer = tarvo::TreeAnswerText(model, object.Trees[static_cast<size_t>(t)]);
      PredictionsTable->setItem(j, t + 1, new QTableWidgetItem(Text(answer)));
    }
    PredictionsTable->setItem(j, trees + 1,
                              new QTableWidgetItem(Text(tarvo::VoteText(model, object.Vote))));
  }
  PredictionsTable->resizeColumnsToContents();
  PredictionsDock->setWindowTitle("Predictions: " + title);
  PredictionsDock->show();
}
