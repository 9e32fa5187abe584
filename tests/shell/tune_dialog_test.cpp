// Run > Tune Parameters...: the dialog fills its table from a short grid, "Use these" writes
// param.par and the pruning setting, and Stop ends a search with the rows done so far.
#include "tune_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <clocale>

#include "shell_test_support.h"
#include "tuning_plot.h"

namespace {

// Class a at x = 1..10, b at x = 101..110: every setting that lets the root split is exact.
QByteArray StepTable() {
  QByteArray table = "20 2 ?\r\n1 0(2)\r\nx cls\r\n";
  for (int i = 1; i <= 10; ++i) table += QByteArray::number(i) + " a\r\n";
  for (int i = 101; i <= 110; ++i) table += QByteArray::number(i) + " b\r\n";
  return table;
}

// Three noisy numeric columns and a class: deep look-ahead takes many seconds on it.
QByteArray NoiseTable() {
  QByteArray table = "300 4 ?\r\n1 1 1 0(2)\r\na b c cls\r\n";
  uint32_t s = 7;
  for (int o = 1; o <= 300; ++o) {
    for (int f = 0; f < 3; ++f) {
      s = s * 1103515245u + 12345u;
      table += QByteArray::number((s >> 16) % 97) + " ";
    }
    table += (s >> 8) % 3 == 0 ? "y\r\n" : "n\r\n";
  }
  return table;
}

// Opens the table in the window, opens the dialog and starts the grid.
TTuneDialog& StartTuning(TForm1& form, TScriptedDialogs& dialogs, const QByteArray& table,
                         const QString& grid) {
  WriteBytes("table.txt", table);
  dialogs.OpenAnswers << QDir::current().filePath("table.txt");
  Trigger(form, "FileOpen1");
  Trigger(form, "TuneParams");
  auto& dialog = *Child<TTuneDialog>(form, "TuneDialog");
  Child<QLineEdit>(dialog, "GridEdit")->setText(grid);
  Child<QSpinBox>(dialog, "BudgetEdit")->setValue(0);
  QTest::mouseClick(Child<QPushButton>(dialog, "StartButton"), Qt::LeftButton);
  return dialog;
}

}  // namespace

class TTuneDialogTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TWorkingFolder> folder_;

 private slots:
  void initTestCase() { std::setlocale(LC_NUMERIC, "C"); }
  void init() {
    folder_ = std::make_unique<TWorkingFolder>();
    IsolateSettings(*folder_);
    PrepareRunFiles();
    WriteBytes("param.par", "1.000 1.000 0.050  100   1   2  10");
  }
  void cleanup() { folder_.reset(); }

  void FillsTheTableAndUseTheseWritesTheBestRow() {
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    TTuneDialog& dialog = StartTuning(form, dialogs, StepTable(), "rc=1,2 h=0.05,0.6 prune=none");
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsRunning(), 60000);
    auto* rows = Child<QTableWidget>(dialog, "RowsTable");
    QCOMPARE(rows->rowCount(), 4);
    // The plot draws one line per homogeneity, through both look-aheads, in look-ahead order.
    const auto& series = Child<TTuningPlot>(dialog, "TuningPlot")->Series();
    QCOMPARE(series.size(), size_t{2});
    for (const auto& [h, points] : series) {
      QCOMPARE(points.size(), size_t{2});
      QVERIFY(points[0].x() == 1 && points[1].x() == 2);
    }
    dialog.grab();  // paints the plot
    // The best row is selected when the search ends: look-ahead 1 at homogeneity 0.05.
    QTest::mouseClick(Child<QPushButton>(dialog, "UseTheseButton"), Qt::LeftButton);
    QCOMPARE(ReadBytes("param.par"), QByteArray("1.000 1.000 0.050  100   1   2  10"));
    // Sorting by the CV error puts the two exact rows first; any other row can be used too.
    rows->sortItems(2, Qt::DescendingOrder);
    QCOMPARE(rows->item(0, 1)->text(), QString("0.600"));
    rows->selectRow(0);
    QTest::mouseClick(Child<QPushButton>(dialog, "UseTheseButton"), Qt::LeftButton);
    QCOMPARE(ReadBytes("param.par").mid(12, 5), QByteArray("0.600"));
    QCOMPARE(Child<QLineEdit>(form, "Homogeneity")->text(), QString("0.600"));
    QCOMPARE(dialogs.Errors, QStringList());
    QVERIFY(!QFile::exists("output.txt"));

    // A param.par that cannot be written is not said to be written.
    {
      const TFileSizeLimit full(0);
      QTest::mouseClick(Child<QPushButton>(dialog, "UseTheseButton"), Qt::LeftButton);
    }
    QCOMPARE(dialogs.Errors, QStringList("Cannot create file param.par"));
    QVERIFY(Child<QLabel>(dialog, "StatusLabel")->text().startsWith("The setting was not kept"));
  }

  // Sorted by the Note column, the best row moves when it is marked: it stays the one selected.
  void BestRowStaysSelectedWhenItsNoteMovesIt() {
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    TTuneDialog& dialog = StartTuning(form, dialogs, StepTable(), "rc=1,2 h=0.05,0.6 prune=none");
    Child<QTableWidget>(dialog, "RowsTable")->sortByColumn(7, Qt::AscendingOrder);
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsRunning(), 60000);
    QTest::mouseClick(Child<QPushButton>(dialog, "UseTheseButton"), Qt::LeftButton);
    QCOMPARE(ReadBytes("param.par"), QByteArray("1.000 1.000 0.050  100   1   2  10"));
  }

  // A pruned row splits the step table where homogeneity 0.6 keeps the root a leaf: it is the
  // best, and using it turns pruning on with its rule while param.par keeps its homogeneity; the
  // row without pruning turns it off again.
  void UseTheseSetsThePruningOfTheRow() {
    WriteBytes("param.par", "1.000 2.000 0.300  100   1   2  10");
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    TTuneDialog& dialog = StartTuning(form, dialogs, StepTable(), "rc=1 h=0.6 prune=min,none");
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsRunning(), 60000);
    auto* rows = Child<QTableWidget>(dialog, "RowsTable");
    QCOMPARE(rows->rowCount(), 2);
    QCOMPARE(rows->horizontalHeaderItem(6)->text(), QString("Prune"));
    QTest::mouseClick(Child<QPushButton>(dialog, "UseTheseButton"), Qt::LeftButton);
    QCOMPARE(ReadBytes("param.par"), QByteArray("1.000 1.000 0.300  100   1   2  10"));
    Trigger(form, "ParamDialog");
    QVERIFY(Child<QCheckBox>(form, "Prune")->isChecked());
    QCOMPARE(Child<QComboBox>(form, "PruneRule")->currentText(), QString("min"));
    for (int r = 0; r < rows->rowCount(); ++r) {
      if (rows->item(r, 6)->text() == "none") rows->selectRow(r);
    }
    QTest::mouseClick(Child<QPushButton>(dialog, "UseTheseButton"), Qt::LeftButton);
    QCOMPARE(ReadBytes("param.par"), QByteArray("1.000 1.000 0.600  100   1   2  10"));
    QVERIFY(!Child<QCheckBox>(form, "Prune")->isChecked());
    QCOMPARE(dialogs.Errors, QStringList());
  }

  void StopEndsTheSearchKeepingTheRowsDone() {
    WriteBytes("param.par", "1.000 1.000 0.050  100   1   4  10");
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    TTuneDialog& dialog = StartTuning(form, dialogs, NoiseTable(), "rc=1,4,4,4 h=0.01 prune=none");
    auto* rows = Child<QTableWidget>(dialog, "RowsTable");
    QTRY_COMPARE_WITH_TIMEOUT(rows->rowCount(), 1, 60000);
    QVERIFY(dialog.IsRunning());
    QTest::mouseClick(Child<QPushButton>(dialog, "StopButton"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsRunning(), 60000);
    QCOMPARE(rows->rowCount(), 1);
    QVERIFY(Child<QPushButton>(dialog, "StartButton")->isEnabled());
  }

  // Stop Tree Growing during a search asks and stops the search, not Tarvo2; closing the window
  // asks first, and Yes stops the search.
  void StopAndCloseDuringASearchAskAndStopIt() {
    WriteBytes("param.par", "1.000 1.000 0.050  100   1   4  10");
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    TTuneDialog& dialog = StartTuning(form, dialogs, NoiseTable(), "rc=4,4 h=0.01 prune=none");
    QAction* stop = Child<QAction>(form, "StopBuilding");
    QVERIFY(stop->toolTip().contains("stops the tuning"));
    QVERIFY(!form.close());  // answered No
    Trigger(form, "StopBuilding");
    QVERIFY(dialog.IsRunning());
    QCOMPARE(dialogs.Questions.size(), 2);
    QCOMPARE(dialogs.Questions[1], QString("Stop?"));
    dialogs.AnswerYes = true;
    Trigger(form, "StopBuilding");
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsRunning(), 60000);
    QCOMPARE(dialogs.ExitRequests, 0);
    QVERIFY(stop->toolTip().contains("ends Tarvo2"));

    QTest::mouseClick(Child<QPushButton>(dialog, "StartButton"), Qt::LeftButton);
    QVERIFY(dialog.IsRunning());
    QVERIFY(form.close());
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsRunning(), 60000);
    QVERIFY(Child<QLabel>(dialog, "StatusLabel")->text().startsWith("Stopped"));
    QCOMPARE(dialogs.Questions.size(), 4);
    QCOMPARE(dialogs.Questions[3], dialogs.Questions[0]);
  }
};

QTEST_MAIN(TTuneDialogTest)
#include "tune_dialog_test.moc"
