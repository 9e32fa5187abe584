// Grow Tree: which text is saved before the run, what the engine is run on, what the window shows
// afterwards, the progress on the status bar and the engine's errors.
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <clocale>

#include "shell_test_support.h"

namespace {

// The example table with line feeds and one column renamed, so that a report shows which text it
// was grown from.
QByteArray ExampleTable(const char* secondColumn = "height") {
  QByteArray table = ReadBytes(TARVO_EXAMPLE_TABLE).replace("\r\n", "\n");
  table.replace("sort height colour", QByteArray("sort ") + secondColumn + " colour");
  return table;
}

// Records the text of a status panel each time it is painted.
class TPaintRecorder : public QObject {
 public:
  QStringList Painted;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) Painted << static_cast<QLabel*>(watched)->text();
    return false;
  }
};

}  // namespace

class TRunCommandTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TWorkingFolder> folder_;

  // Writes the example as table.txt and makes it the answer of the next Open dialog.
  QString QueueExampleTable(TScriptedDialogs& dialogs) {
    const QString table = folder_->Path("table.txt");
    WriteBytes(table, ExampleTable());
    dialogs.OpenAnswers << table;
    return table;
  }

 private slots:
  void initTestCase() { std::setlocale(LC_NUMERIC, "C"); }
  void init() {
    folder_ = std::make_unique<TWorkingFolder>();
    PrepareRunFiles();
  }
  void cleanup() { folder_.reset(); }

  void GrowTreeSavesTheOpenedTableAndShowsTheReport() {
    TScriptedDialogs dialogs;
    const QString table = QueueExampleTable(dialogs);
    TForm1 form(dialogs);
    Trigger(form, "FileOpen1");
    Child<QPlainTextEdit>(form, "RichEdit1")->setPlainText(ExampleTable("stature"));

    Trigger(form, "TreeBuild");
    QCOMPARE(dialogs.Errors, QStringList());
    QCOMPARE(ReadBytes(table), ExampleTable("stature"));
    const QString report = EditorText(form);
    QVERIFY2(report.contains("input file: " + table), qPrintable(report.left(200)));
    QVERIFY(report.contains(" stature <="));
    QCOMPARE(report.toUtf8(), ReadBytes("output.txt").replace("\r\n", "\n"));
    QCOMPARE(PanelText(form, 0), QString("output.txt"));
    QCOMPARE(form.lastLoadedFileName(), QString("output.txt"));
    QCOMPARE(form.currentFileName(), table);
  }

  void SecondGrowTreeRunsOnTheFileAndLeavesItAlone() {
    TScriptedDialogs dialogs;
    const QString table = QueueExampleTable(dialogs);
    TForm1 form(dialogs);
    Trigger(form, "FileOpen1");
    Trigger(form, "TreeBuild");
    // Changed on disk between the runs: the report shown must not be written over it.
    WriteBytes(table, ExampleTable("stature"));
    Trigger(form, "TreeBuild");
    QCOMPARE(ReadBytes(table), ExampleTable("stature"));
    QVERIFY(EditorText(form).contains(" stature <="));
    QCOMPARE(form.currentFileName(), table);
  }

  void EditsAfterSaveAsAreNotSavedByGrowTree() {
    const QString table = folder_->Path("typed.txt");
    TScriptedDialogs dialogs;
    dialogs.SaveAnswers << table;
    TForm1 form(dialogs);
    Trigger(form, "FileNew");
    auto* editor = Child<QPlainTextEdit>(form, "RichEdit1");
    editor->setPlainText(ExampleTable());
    Trigger(form, "FileSaveAs1");
    editor->setPlainText(ExampleTable("stature"));
    Trigger(form, "TreeBuild");
    QCOMPARE(ReadBytes(table), ExampleTable());
    QVERIFY(EditorText(form).contains(" height <="));
  }

  void NamesDifferingOnlyInLetterCaseAreDifferent() {
    const QString upper = folder_->Path("Table.txt");
    const QString lower = folder_->Path("table.txt");
    WriteBytes(upper, ExampleTable());
    TScriptedDialogs dialogs;
    dialogs.OpenAnswers << upper;
    dialogs.SaveAnswers << lower;
    TForm1 form(dialogs);
    Trigger(form, "FileOpen1");
    Trigger(form, "FileSaveAs1");
    Child<QPlainTextEdit>(form, "RichEdit1")->setPlainText(ExampleTable("stature"));
    Trigger(form, "TreeBuild");
    QCOMPARE(ReadBytes(lower), ExampleTable());
    QCOMPARE(ReadBytes(upper), ExampleTable());
  }

  void AutoreadIsNeverSavedAndTheRunIsOnUntitled() {
    WriteBytes("autoread.txt", "Welcome\n");
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    Child<QPlainTextEdit>(form, "RichEdit1")->setPlainText("changed\n");
    Trigger(form, "TreeBuild");
    QCOMPARE(ReadBytes("autoread.txt"), QByteArray("Welcome\n"));
    QVERIFY(!QFile::exists("untitled.txt"));
    QVERIFY(EditorText(form).startsWith("No input file found.\n"));
    QCOMPARE(PanelText(form, 0), QString("output.txt"));
  }

  void GrowTreeWithoutParamParRunsWithZeros() {
    QVERIFY(QFile::remove("param.par"));
    TScriptedDialogs dialogs;
    const QString table = QueueExampleTable(dialogs);
    TForm1 form(dialogs);
    Trigger(form, "FileOpen1");
    Trigger(form, "TreeBuild");
    QVERIFY(EditorText(form).startsWith(" Error: wrong number of predicted feature"));
    QCOMPARE(form.parameters().FeatureToPredict, 0);
    QCOMPARE(form.parameters().TargetWeight, 0.0);
    // The status bar says why, over the panels, which keep their texts.
    const QString message = form.statusBar()->currentMessage();
    QVERIFY2(message.startsWith("Warning: param.par: cannot be read"), qPrintable(message));
    QCOMPARE(PanelText(form, 0), QString("output.txt"));

    // Once Parameters has created the file, the next run grows a tree.
    Trigger(form, "ParamDialog");
    Trigger(form, "TreeBuild");
    QVERIFY(EditorText(form).contains("Variant N  1"));
  }

  void EngineErrorIsShownAndTheEditorKeepsItsText() {
    QVERIFY(QFile::remove("prog.par"));
    TScriptedDialogs dialogs;
    const QString table = QueueExampleTable(dialogs);
    TForm1 form(dialogs);
    Trigger(form, "FileOpen1");
    Child<QPlainTextEdit>(form, "RichEdit1")->setPlainText(ExampleTable("stature"));
    Trigger(form, "TreeBuild");
    QCOMPARE(dialogs.Errors.size(), 1);
    QVERIFY2(dialogs.Errors[0].contains("prog.par"), qPrintable(dialogs.Errors[0]));
    QCOMPARE(EditorText(form), QString::fromLatin1(ExampleTable("stature")));
    QCOMPARE(form.lastLoadedFileName(), table);
    QCOMPARE(form.currentFileName(), table);
    QCOMPARE(PanelText(form, 0), table);
  }

  void TableThatIsTheReportFileIsRefusedAndKept() {
    TScriptedDialogs dialogs;
    const QString table = folder_->Path("output.txt");
    WriteBytes(table, ExampleTable());
    dialogs.OpenAnswers << table;
    TForm1 form(dialogs);
    Trigger(form, "FileOpen1");
    Trigger(form, "TreeBuild");
    QCOMPARE(dialogs.Errors.size(), 1);
    QVERIFY2(dialogs.Errors[0].contains("is the report file output.txt"),
             qPrintable(dialogs.Errors[0]));
    QCOMPARE(ReadBytes(table), ExampleTable());
    QCOMPARE(EditorText(form), QString::fromLatin1(ExampleTable()));
    QCOMPARE(form.currentFileName(), table);
  }

  void ReportThatCannotBeWrittenIsShownAndTheEditorKeepsTheTable() {
    if (!QFile::exists("/dev/full")) QSKIP("no /dev/full");
    QVERIFY(QFile::link("/dev/full", "output.txt"));
    TScriptedDialogs dialogs;
    const QString table = QueueExampleTable(dialogs);
    TForm1 form(dialogs);
    Trigger(form, "FileOpen1");
    Trigger(form, "TreeBuild");
    QCOMPARE(dialogs.Errors, QStringList{"Cannot write file output.txt (No space left on device)"});
    QCOMPARE(EditorText(form), QString::fromLatin1(ExampleTable()));
    QCOMPARE(form.lastLoadedFileName(), table);
  }

  // A name of 23 bytes is cut at 20, inside its tenth two-byte character: the report holds one
  // broken byte. Everything else shows as the UTF-8 it is, and Save As writes the same bytes.
  void ReportWithANameCutInsideACharacterShowsTheRestAsUtf8() {
    WriteBytes("param.par", "1.000 1.000 0.050  100   1   2   0");
    TScriptedDialogs dialogs;
    const QString table = folder_->Path("table.txt");
    WriteBytes(
        table,
        "4 2 ?\n1 0(2)\na\xc3\xa4\xc3\xa4\xc3\xa4\xc3\xa4\xc3\xa4\xc3\xa4\xc3\xa4\xc3\xa4\xc3\xa4"
        "\xc3\xa4\xc3\xa4 cls\n1 \xc3\xa9\n2 \xc3\xa9\n3 b\n4 b\n");
    dialogs.OpenAnswers << table;
    dialogs.SaveAnswers << folder_->Path("copy.txt");
    TForm1 form(dialogs);
    Trigger(form, "FileOpen1");
    Trigger(form, "TreeBuild");
    const QString cut = "a" + QString(9, QChar(0xe4)) + QChar(0xc3);
    QVERIFY2(EditorText(form).contains(" " + cut + " <=    2.50,"), qPrintable(EditorText(form)));
    QVERIFY(EditorText(form).contains(QString::fromUtf8(" THEN cls =\xc3\xa9\n")));
    Trigger(form, "FileSaveAs1");
    QCOMPARE(ReadBytes(folder_->Path("copy.txt")), ReadBytes("output.txt"));
  }

  void FailedSaveBeforeTheRunStopsIt() {
    TScriptedDialogs dialogs;
    const QString table = QueueExampleTable(dialogs);
    TForm1 form(dialogs);
    Trigger(form, "FileOpen1");
    // A folder where the table was: the save fails even for a privileged user.
    QVERIFY(QFile::remove(table));
    QVERIFY(QDir().mkdir(table));
    Trigger(form, "TreeBuild");
    QCOMPARE(dialogs.Errors.size(), 1);
    QVERIFY(dialogs.Errors[0].startsWith("Cannot create file " + table));
    QVERIFY(!QFile::exists("output.txt"));
    QCOMPARE(form.lastLoadedFileName(), table);
  }

  void ProgressShowsDuringTheRunAndIsClearedAfter() {
    TScriptedDialogs dialogs;
    const QString table = QueueExampleTable(dialogs);
    TForm1 form(dialogs);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    Trigger(form, "FileOpen1");
    TPaintRecorder nodes, folds;
    Child<QLabel>(form, "Panel1")->installEventFilter(&nodes);
    Child<QLabel>(form, "Panel2")->installEventFilter(&folds);

    Trigger(form, "TreeBuild");
    QVERIFY2(!nodes.Painted.filter(QRegularExpression("^ Node [0-9]+$")).isEmpty(),
             qPrintable(nodes.Painted.join('|')));
    for (int fold = 1; fold <= 10; ++fold)
      QVERIFY2(folds.Painted.contains(QString(" Variant 1 Fold %1").arg(fold)),
               qPrintable(folds.Painted.join('|')));
    // Loading the report is no caret change: both panels stay empty until the caret moves.
    QCoreApplication::processEvents();
    QCOMPARE(PanelText(form, 1), QString());
    QCOMPARE(PanelText(form, 2), QString());
    QCOMPARE(PanelText(form, 0), QString("output.txt"));
    Child<QPlainTextEdit>(form, "RichEdit1")->moveCursor(QTextCursor::Down);
    QCOMPARE(PanelText(form, 1), QString("2:1"));
  }

  void EngineChangesToParametersNeverReachTheFile() {
    TScriptedDialogs dialogs;
    const QString table = QueueExampleTable(dialogs);
    TForm1 form(dialogs);
    Trigger(form, "FileOpen1");
    Trigger(form, "TreeBuild");
    // A classification run leaves the number of columns in FeatureToPredict.
    QCOMPARE(form.parameters().FeatureToPredict, 5);
    Trigger(form, "ParamDialog");
    QCOMPARE(Child<QLineEdit>(form, "FeatureToPredict")->text(), QString("1"));
    QCOMPARE(ReadBytes("param.par"), QByteArray("1.000 1.000 0.050  100   1   1  10"));
  }
};

QTEST_MAIN(TRunCommandTest)
#include "run_command_test.moc"
