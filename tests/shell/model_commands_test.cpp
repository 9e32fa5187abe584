// Save Model after a run and Apply Model on the open table: the model file, the predictions in
// the dock beside the editor (which keeps what it shows), and the messages of a bad model file.
#include <QDockWidget>
#include <QTableWidget>

#include "shell_test_support.h"
#include "tarvo/model_file.h"

class TModelCommandsTest : public TShellTest {
  Q_OBJECT

 private:
  void PrepareFolder() override {
    PrepareRunFiles();
    WriteBytes("param.par", "1.000 1.000 0.050  100   2   1  10");  // two variants vote
    CopyFileHere(TARVO_EXAMPLE_TABLE, folder_->Path("table.txt"));
  }

 private slots:
  void SavedModelPredictsTheOpenTableBesideTheEditor() {
    TScriptedDialogs dialogs;
    dialogs.OpenAnswers << folder_->Path("table.txt");
    TForm1 form(dialogs);
    QAction* save = Child<QAction>(form, "FileSaveModel");
    QVERIFY(!save->isEnabled());  // no run, no model
    Trigger(form, "FileOpen1");
    GrowTree(form);
    QVERIFY(save->isEnabled());
    dialogs.SaveAnswers << folder_->Path("sort.json");
    save->trigger();
    QCOMPARE(dialogs.Errors, QStringList());
    QVERIFY(dialogs.SaveAsksBeforeReplacing);
    const tarvo::Model model = tarvo::LoadModel(folder_->Path("sort.json").toStdString());
    QCOMPARE(model.Trees.size(), size_t{2});

    const QString report = EditorText(form);
    dialogs.OpenAnswers << folder_->Path("sort.json");
    Trigger(form, "ApplyModel");
    QCOMPARE(dialogs.Errors, QStringList());
    QCOMPARE(EditorText(form), report);
    auto* dock = Child<QDockWidget>(form, "PredictionsDock");
    QVERIFY(!dock->isHidden());
    auto* table = Child<QTableWidget>(form, "PredictionsTable");
    QCOMPARE(table->rowCount(), 43);  // its 40 rows, then the 3 of its prediction section
    QCOMPARE(table->columnCount(), 4);
    QCOMPARE(table->horizontalHeaderItem(3)->text(), QString("vote"));
    // The rows of the example table, object 1 of class short: both variants and the vote agree.
    QCOMPARE(table->item(0, 0)->text(), QString("1"));
    QCOMPARE(table->item(0, 1)->text(), QString("short"));
    QCOMPARE(table->item(0, 3)->text(), QString("short"));
  }

  // Apply Model predicts the table as the editor holds it: unsaved edits are saved first, as Grow
  // Tree saves them.
  void ApplyModelSavesTheTableEditsFirst() {
    const QString table = folder_->Path("table.txt");
    TScriptedDialogs dialogs;
    dialogs.OpenAnswers << table;
    TForm1 form(dialogs);
    Trigger(form, "FileOpen1");
    GrowTree(form);
    dialogs.SaveAnswers << folder_->Path("sort.json");
    Trigger(form, "FileSaveModel");
    dialogs.OpenAnswers << table << folder_->Path("sort.json");
    Trigger(form, "FileOpen1");
    TypeOver(form, EditorText(form).replace("? 175 red loam 70.0", "? 99 red sand 30.0"));
    Trigger(form, "ApplyModel");
    QCOMPARE(dialogs.Errors, QStringList());
    QVERIFY(ReadBytes(table).contains("\r\n? 99 red sand 30.0\r\n"));
    QCOMPARE(Child<QTableWidget>(form, "PredictionsTable")->item(40, 3)->text(), QString("short"));
  }

  void BadModelFileGetsItsMessage() {
    TScriptedDialogs dialogs;
    dialogs.OpenAnswers << folder_->Path("table.txt") << folder_->Path("bad.json");
    WriteBytes(folder_->Path("bad.json"), "{\"format\": \"tarvo-model\", \"version\": 99}");
    TForm1 form(dialogs);
    Trigger(form, "FileOpen1");
    Trigger(form, "ApplyModel");
    QCOMPARE(dialogs.Errors.size(), 1);
    QVERIFY2(dialogs.Errors[0].contains("format version 99"), qPrintable(dialogs.Errors[0]));
    QVERIFY(Child<QDockWidget>(form, "PredictionsDock")->isHidden());
  }
};

QTEST_MAIN(TModelCommandsTest)
#include "model_commands_test.moc"
