// Which file Grow Tree and Tune read, that a table nobody edited keeps its bytes, the column a CSV
// table predicts, and the results list that keeps the session's runs.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>

#include "shell_test_support.h"

namespace {

const QByteArray kGuide = "How to use Tarvo\nOpen a table, then Grow Tree.\n";

// The example table with CR LF and LF mixed: saving it would make every line end CR LF.
QByteArray MixedLineEnds() {
  QByteArray table = ReadBytes(TARVO_EXAMPLE_TABLE).replace("\r\n", "\n");
  return table.replace("\n1 ", "\r\n1 ");
}

QTreeWidget& Rows(TForm1& form) {
  return *Child<QTreeWidget>(form, "RunRows");
}

}  // namespace

class TRunTableTest : public TShellTest {
  Q_OBJECT

 private:
  void PrepareFolder() override { PrepareRunFiles(); }
  void Open(TForm1& form, TScriptedDialogs& dialogs, const QString& name) {
    dialogs.OpenAnswers << name;
    Trigger(form, "FileOpen1");
  }

 private slots:
  void TableWithoutEditsIsNeverWritten_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("readOnly");
    QTest::newRow("mixed line ends") << MixedLineEnds() << false;
    QTest::newRow("read-only") << MixedLineEnds() << true;
    QTest::newRow("binary") << QByteArray("40 5 ?\n\x00\x01\x02\r\xff\xfe\n\r\n\x1b", 16) << false;
  }
  void TableWithoutEditsIsNeverWritten() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, readOnly);
    const QString table = folder_->Path("table.txt");
    WriteBytes(table, bytes);
    if (readOnly) QVERIFY(QFile::setPermissions(table, QFileDevice::ReadOwner));
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    Open(form, dialogs, table);
    GrowTree(form);
    GrowTree(form);
    Trigger(form, "TuneParams");
    QCOMPARE(ReadBytes(table), bytes);
    QCOMPARE(Rows(form).topLevelItemCount(), 2);
    if (bytes.contains('\0')) {
      // Said once, on Open, and shown read-only; the engine then judges the table.
      QCOMPARE(dialogs.Notes.size(), 1);
      QVERIFY(dialogs.Notes[0].startsWith("table.txt is not a text file"));
      QVERIFY(EditorText(form).contains("Error"));
    } else {
      QCOMPARE(dialogs.Notes, QStringList());
      QVERIFY(EditorText(form).contains("Variant N  1"));
    }
    QCOMPARE(dialogs.Errors, QStringList());
  }

  void RunAfterSavingTheReportStillRunsTheTable() {
    const QString table = folder_->Path("table.txt");
    CopyFileHere(TARVO_EXAMPLE_TABLE, table);
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    Open(form, dialogs, table);
    GrowTree(form);
    const QString report = folder_->Path("report1.txt");
    dialogs.SaveAnswers << report;
    Trigger(form, "FileSave");
    QCOMPARE(form.currentFileName(), report);
    // The panel lists the columns of the table, not of the report shown.
    Trigger(form, "ParamDialog");
    QCOMPARE(Child<QComboBox>(form, "ColumnList")->count(), 5);
    GrowTree(form);
    QCOMPARE(dialogs.Errors, QStringList());
    QCOMPARE(dialogs.Questions, QStringList());
    QVERIFY(EditorText(form).contains("input file: " + table));
    QCOMPARE(form.tableFileName(), table);
    QCOMPARE(ReadBytes(report), ReadBytes("output.txt"));
    QVERIFY(!Child<QWidget>(form, "TreeView")->isHidden());
  }

  void TextThatIsNotATableOffersTheLastTable() {
    const QString table = folder_->Path("table.txt");
    CopyFileHere(TARVO_EXAMPLE_TABLE, table);
    WriteBytes("TARVO.TXT", kGuide);
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    // Before any table: said, and nothing runs.
    Open(form, dialogs, folder_->Path("TARVO.TXT"));
    Trigger(form, "TreeBuild");
    QVERIFY(!form.isRunning());
    QCOMPARE(dialogs.Notes.size(), 1);
    QVERIFY2(dialogs.Notes[0].startsWith("TARVO.TXT is not a table"), qPrintable(dialogs.Notes[0]));
    QVERIFY(!QFile::exists("output.txt"));

    Open(form, dialogs, table);
    Open(form, dialogs, folder_->Path("TARVO.TXT"));
    Trigger(form, "TreeBuild");  // answered No
    QVERIFY(!form.isRunning());
    QCOMPARE(dialogs.Questions.size(), 1);
    QVERIFY(dialogs.Questions[0].contains("Grow Tree on the last table, " + table));
    QCOMPARE(EditorText(form), QString::fromLatin1(kGuide));

    dialogs.AnswerYes = true;
    GrowTree(form);
    QVERIFY(EditorText(form).contains("input file: " + table));
    QCOMPARE(ReadBytes("TARVO.TXT"), kGuide);
    QCOMPARE(dialogs.Errors, QStringList());
  }

  // The text after Save As is not the file's: the run reads the file as saved, and the edits it
  // would replace are asked about first.
  void EditsAfterSaveAsAreAskedAboutBeforeTheRun() {
    const QString table = folder_->Path("typed.txt");
    TScriptedDialogs dialogs;
    dialogs.SaveAnswers << table;
    TForm1 form(dialogs);
    const QByteArray saved = ReadBytes(TARVO_EXAMPLE_TABLE).replace("\r\n", "\n");
    TypeOver(form, QString::fromLatin1(saved));
    Trigger(form, "FileSaveAs1");
    QCOMPARE(form.tableFileName(), table);
    TypeOver(form, "not kept");
    Trigger(form, "TreeBuild");  // Cancel
    QVERIFY(!form.isRunning());
    QCOMPARE(EditorText(form), QString("not kept"));
    dialogs.ChoiceAnswers << 1;  // Discard
    GrowTree(form);
    QVERIFY(EditorText(form).contains("input file: " + table));
    QCOMPARE(ReadBytes(table), saved);
    QCOMPARE(dialogs.Questions.size(), 2);
  }

  void ResultsListShowsEachRunAgain() {
    const QString table = folder_->Path("table.txt");
    CopyFileHere(TARVO_EXAMPLE_TABLE, table);
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    Open(form, dialogs, table);
    GrowTree(form);
    const QString first = EditorText(form);
    WriteBytes("param.par", "1.000 1.000 0.050  100   1   2  5");
    GrowTree(form);
    const QString second = EditorText(form);
    QVERIFY(first != second);

    QTreeWidget& rows = Rows(form);
    QCOMPARE(rows.topLevelItemCount(), 2);
    QCOMPARE(rows.currentItem(), rows.topLevelItem(1));
    QCOMPARE(rows.topLevelItem(0)->text(1), QString("table.txt"));
    QCOMPARE(rows.topLevelItem(1)->text(5),
             QString("look-ahead 1.00, homogeneity 0.050, variants 1, column 2, folds 5"));
    QCOMPARE(rows.topLevelItem(0)->text(4), QString("complete"));
    QVERIFY(rows.topLevelItem(0)->text(3).contains('.'));

    rows.setCurrentItem(rows.topLevelItem(0));
    QCOMPARE(EditorText(form), first);
    QCOMPARE(PanelText(form, 0), QString("output.txt (run 1)"));
    QCOMPARE(form.currentFileName(), table);
    // Unsaved edits are not dropped without asking: Cancel keeps them and the row shown. Another
    // column of that row shows the same run: nothing is asked.
    TypeOver(form, "my notes");
    rows.setCurrentItem(rows.topLevelItem(0), 3);
    QCOMPARE(dialogs.Questions.size(), 0);
    rows.setCurrentItem(rows.topLevelItem(1));
    QCOMPARE(EditorText(form), QString("my notes"));
    QCOMPARE(rows.currentItem(), rows.topLevelItem(0));
    QVERIFY(dialogs.Questions[0].startsWith("output.txt (run 1) has unsaved edits."));
    dialogs.ChoiceAnswers << 1;  // Discard
    rows.setCurrentItem(rows.topLevelItem(1));
    QCOMPARE(EditorText(form), second);
    QCOMPARE(PanelText(form, 0), QString("output.txt"));
    QCOMPARE(dialogs.Questions.size(), 2);

    // A run shown again runs its table again, as after the run itself.
    GrowTree(form);
    QCOMPARE(rows.topLevelItemCount(), 3);
    QCOMPARE(ReadBytes(table), ReadBytes(TARVO_EXAMPLE_TABLE));
  }

  // A CSV table opens from the first filter and runs as CSV, predicting its last column until
  // another is picked for it; the status line says which. Pruning and Tune predict the same one.
  void CsvTableRunsTheColumnPickedForIt() {
    QByteArray csv = "x,cls,y\n";
    for (int i = 1; i <= 20; ++i) {  // class a at x = 1..10, b at x = 101..110
      csv += i <= 10 ? QByteArray::number(i) + ",a," : QByteArray::number(i + 90) + ",b,";
      csv += QByteArray::number(i % 7) + "\n";
    }
    const QString table = folder_->Path("step.csv");
    WriteBytes(table, csv);
    const QByteArray parameters = ReadBytes("param.par");
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    Open(form, dialogs, table);
    for (const char* pattern : {"*.txt", "*.csv", "*.tsv", "*.tab"})
      QVERIFY(dialogs.OpenFilter.section(";;", 0, 0).contains(pattern));
    GrowTree(form);
    QCOMPARE(dialogs.Notes, QStringList());
    const QLabel* status = Child<QLabel>(form, "RunWarning");
    QCOMPARE(status->toolTip(), QString("Predicting y, the last column of step.csv"));
    QVERIFY(EditorText(form).contains("input file: " + table));
    QCOMPARE(Rows(form).topLevelItem(0)->text(5),
             QString("look-ahead 1.00, homogeneity 0.050, variants 1, column 3, folds 10"));

    Trigger(form, "ParamDialog");
    Child<QLineEdit>(form, "FeatureToPredict")->setText("2");
    Child<QCheckBox>(form, "Prune")->setChecked(true);
    QTest::mouseClick(Child<QPushButton>(form, "OK"), Qt::LeftButton);
    GrowTree(form);
    QCOMPARE(status->toolTip(), QString("Predicting cls, column 2 of step.csv"));
    // A pruned run of a nominal column grows with homogeneity 0.
    QCOMPARE(Rows(form).topLevelItem(1)->text(5),
             QString("look-ahead 1.00, homogeneity 0.000, variants 1, column 2, folds 10, "
                     "prune 1se"));
    QCOMPARE(ReadBytes("param.par"), parameters);
    QCOMPARE(form.parameters().FeatureToPredict, 1);

    // The report saved with a .csv name stays a report: the next run is the table's again.
    dialogs.SaveAnswers << folder_->Path("report.csv");
    Trigger(form, "FileSave");
    GrowTree(form);
    QCOMPARE(status->toolTip(), QString("Predicting cls, column 2 of step.csv"));
    QCOMPARE(ReadBytes(table), csv);

    Trigger(form, "TuneParams");
    auto& tune = *Child<QDialog>(form, "TuneDialog");
    QVERIFY(Child<QLabel>(tune, "StatusLabel")->text().endsWith("column 2 of step.csv"));
    Child<QLineEdit>(tune, "GridEdit")->setText("rc=1 h=0.05 prune=none");
    QTest::mouseClick(Child<QPushButton>(tune, "StartButton"), Qt::LeftButton);
    auto* tuned = Child<QTableWidget>(tune, "RowsTable");
    QTRY_COMPARE_WITH_TIMEOUT(tuned->rowCount(), 1, 60000);
    QCOMPARE(tuned->item(0, 2)->text(), QString("0.000"));  // the step splits every fold exactly
    QCOMPARE(dialogs.Errors, QStringList());
  }

  // Numeric class codes of a CSV table are classes once the panel names their column nominal: the
  // run, the list of columns and the results list follow, and a column the table lacks is refused.
  void CsvColumnNamedNominalGrowsClassificationTrees() {
    QByteArray csv = "x,code\n";
    for (int i = 1; i <= 20; ++i) csv += QByteArray::number(i) + (i <= 10 ? ",0\n" : ",1\n");
    const QString table = folder_->Path("codes.csv");
    WriteBytes(table, csv);
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    Open(form, dialogs, table);
    Trigger(form, "ParamDialog");
    auto* nominal = Child<QLineEdit>(form, "NominalColumns");
    QVERIFY(!nominal->isHidden());
    nominal->setText("x, cost");
    QTest::mouseClick(Child<QPushButton>(form, "OK"), Qt::LeftButton);
    QCOMPARE(dialogs.Errors.size(), 1);
    QVERIFY2(dialogs.Errors[0].startsWith("Nominal columns: codes.csv has no column cost"),
             qPrintable(dialogs.Errors[0]));
    nominal->setText("code");
    QTest::mouseClick(Child<QPushButton>(form, "OK"), Qt::LeftButton);
    GrowTree(form);
    QVERIFY(EditorText(form).contains("Number of classes=   2"));
    QVERIFY(Rows(form).topLevelItem(0)->text(5).endsWith(", nominal code"));

    Trigger(form, "ParamDialog");
    QCOMPARE(nominal->text(), QString("code"));
    QCOMPARE(Child<QComboBox>(form, "ColumnList")->currentText(), QString("2  code (nominal)"));
    nominal->clear();
    QTest::mouseClick(Child<QPushButton>(form, "OK"), Qt::LeftButton);
    GrowTree(form);
    QVERIFY(!EditorText(form).contains("Number of classes"));
    QCOMPARE(dialogs.Errors.size(), 1);

    // A header that is not UTF-8 shows as Latin-1, but the run looks names up by their bytes: a
    // name typed as shown is refused at OK, as the run would refuse it; its number is not.
    const QString latin = folder_->Path("latin.csv");
    WriteBytes(latin, "caf\xe9,code\n1,0\n2,1\n");
    Open(form, dialogs, latin);
    Trigger(form, "ParamDialog");
    QCOMPARE(Child<QComboBox>(form, "ColumnList")->itemText(0),
             QString::fromUtf8("1  caf\u00e9 (numeric)"));
    nominal->setText(QString::fromUtf8("caf\u00e9"));
    QTest::mouseClick(Child<QPushButton>(form, "OK"), Qt::LeftButton);
    QCOMPARE(dialogs.Errors.size(), 2);
    QVERIFY2(dialogs.Errors[1].startsWith(
                 QString::fromUtf8("Nominal columns: latin.csv has no column caf\u00e9")),
             qPrintable(dialogs.Errors[1]));
    nominal->setText("1");
    QTest::mouseClick(Child<QPushButton>(form, "OK"), Qt::LeftButton);
    QCOMPARE(dialogs.Errors.size(), 2);

    // The header as the editor holds it, not as on disk, is the one the list is checked against.
    Open(form, dialogs, table);
    auto* editor = Child<QPlainTextEdit>(form, "RichEdit1");
    editor->setPlainText(QString(csv).replace("code", "grade"));
    editor->document()->setModified(true);  // as typing leaves it
    Trigger(form, "ParamDialog");
    nominal->setText("grade");
    QTest::mouseClick(Child<QPushButton>(form, "OK"), Qt::LeftButton);
    QCOMPARE(dialogs.Errors.size(), 2);
    GrowTree(form);
    QVERIFY(EditorText(form).contains("Number of classes=   2"));

    // A table opened while the panel shows refills it: a table file has no nominal list.
    Trigger(form, "ParamDialog");
    QVERIFY(!nominal->isHidden());
    Open(form, dialogs, TARVO_EXAMPLE_TABLE);
    QVERIFY(nominal->isHidden());
  }
};

QTEST_MAIN(TRunTableTest)
#include "run_table_test.moc"
