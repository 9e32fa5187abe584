// Grow Tree: which text is saved before the run, what the engine is run on, what the window shows
// during and after the run, stopping a run, and the engine's errors.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

#include "end_signals.h"
#include "engine_run.h"
#include "find_replace.h"
#include "shell_test_support.h"

namespace {

// The example table with line feeds and one column renamed, so that a report shows which text it
// was grown from.
QByteArray ExampleTable(const char* secondColumn = "height") {
  QByteArray table = ReadBytes(TARVO_EXAMPLE_TABLE).replace("\r\n", "\n");
  table.replace("sort height colour", QByteArray("sort ") + secondColumn + " colour");
  return table;
}

// Holds a run as the chosen tree starts, until the test opens the gate or the window asks the
// run to stop. It must outlive the window, whose run calls it.
class TRunGate {
 public:
  explicit TRunGate(int holdAtTree) : holdAt_(holdAtTree) {}
  TEngineRun::TTreeStartHook Hook() {
    return [this](int32_t tree, const std::atomic<bool>& stopRequested) {
      ++started_;
      if (tree != holdAt_) return;
      held_ = true;
      while (!open_ && !stopRequested) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
  }
  bool Held() const { return held_; }
  int Started() const { return started_; }
  void Open() { open_ = true; }

 private:
  const int holdAt_;
  std::atomic<bool> held_{false};
  std::atomic<bool> open_{false};
  std::atomic<int> started_{0};
};

}  // namespace

class TRunCommandTest : public TShellTest {
  Q_OBJECT

 private:
  // Writes the example as table.txt and makes it the answer of the next Open dialog.
  QString QueueExampleTable(TScriptedDialogs& dialogs) {
    const QString table = folder_->Path("table.txt");
    WriteBytes(table, ExampleTable());
    dialogs.OpenAnswers << table;
    return table;
  }
  void PrepareFolder() override { PrepareRunFiles(); }

 private slots:
  void GrowTreeSavesTheOpenedTableAndShowsTheReport() {
    TScriptedDialogs dialogs;
    const QString table = QueueExampleTable(dialogs);
    TForm1 form(dialogs);
    Trigger(form, "FileOpen1");
    TypeOver(form, QString::fromLatin1(ExampleTable("stature")));

    GrowTree(form);
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
    GrowTree(form);
    // Changed on disk between the runs: the report shown must not be written over it.
    WriteBytes(table, ExampleTable("stature"));
    GrowTree(form);
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
    GrowTree(form);
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
    GrowTree(form);
    QCOMPARE(ReadBytes(lower), ExampleTable());
    QCOMPARE(ReadBytes(upper), ExampleTable());
  }

  void AutoreadIsNeverSavedAndTheRunIsOnUntitled() {
    WriteBytes("autoread.txt", "Welcome\n");
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    Child<QPlainTextEdit>(form, "RichEdit1")->setPlainText("changed\n");
    GrowTree(form);
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
    GrowTree(form);
    QVERIFY(EditorText(form).startsWith(" Error: wrong number of predicted feature"));
    QCOMPARE(form.parameters().FeatureToPredict, 0);
    QCOMPARE(form.parameters().TargetWeight, 0.0);
    // The status bar says why, beside the panels, which keep their texts.
    const QLabel* warning = Child<QLabel>(form, "RunWarning");
    QVERIFY2(warning->toolTip().startsWith("Warning: param.par: cannot be read"),
             qPrintable(warning->toolTip()));
    QVERIFY(warning->text().startsWith("Warning: param.par"));
    QCOMPARE(form.statusBar()->currentMessage(), QString());
    QCOMPARE(PanelText(form, 0), QString("output.txt"));
    // Shown in a narrow window the warning ends in an ellipsis, and is whole again when it is wide.
    form.resize(700, 400);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTRY_VERIFY(warning->text().endsWith(QChar(0x2026)));
    form.resize(2400, 400);
    QTRY_COMPARE(warning->text(), warning->toolTip());
    form.hide();

    // Once Parameters has created the file, the next run grows a tree.
    Trigger(form, "ParamDialog");
    GrowTree(form);
    QVERIFY(EditorText(form).contains("Variant N  1"));
    QCOMPARE(Child<QLabel>(form, "RunWarning")->text(), QString());
  }

  void EngineErrorIsShownAndTheEditorKeepsItsText() {
    QVERIFY(QFile::remove("prog.par"));
    TScriptedDialogs dialogs;
    const QString table = QueueExampleTable(dialogs);
    TForm1 form(dialogs);
    Trigger(form, "FileOpen1");
    Child<QPlainTextEdit>(form, "RichEdit1")->setPlainText(ExampleTable("stature"));
    GrowTree(form);
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
    GrowTree(form);
    QCOMPARE(dialogs.Errors.size(), 1);
    QVERIFY2(dialogs.Errors[0].contains("is the report file output.txt"),
             qPrintable(dialogs.Errors[0]));
    QCOMPARE(ReadBytes(table), ExampleTable());
    QCOMPARE(EditorText(form), QString::fromLatin1(ExampleTable()));
    QCOMPARE(form.currentFileName(), table);
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
    GrowTree(form);
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
    TypeOver(form, QString::fromLatin1(ExampleTable("stature")));
    // A folder where the table was: the save fails even for a privileged user.
    QVERIFY(QFile::remove(table));
    QVERIFY(QDir().mkdir(table));
    GrowTree(form);
    QCOMPARE(dialogs.Errors.size(), 1);
    QVERIFY(dialogs.Errors[0].startsWith("Cannot create file " + table));
    QVERIFY(!QFile::exists("output.txt"));
    QCOMPARE(form.lastLoadedFileName(), table);
  }

  void ProgressArrivesInOrderAndIsClearedAfter() {
    TScriptedDialogs dialogs;
    QueueExampleTable(dialogs);
    TForm1 form(dialogs);
    Trigger(form, "FileOpen1");
    Trigger(form, "TreeBuild");
    // Nothing the run tells is delivered before the test returns to the event loop.
    QStringList told;
    auto* run = Child<TEngineRun>(form, "EngineRun");
    connect(run, &TEngineRun::TreesPlanned,
            [&](int trees) { told << QString("plan %1").arg(trees); });
    connect(run, &TEngineRun::TreeStarted, [&](int tree) { told << QString("tree %1").arg(tree); });
    connect(run, &TEngineRun::PanelTextChanged,
            [&](int panel, const QString& text) { told << QString("%1:%2").arg(panel).arg(text); });
    QTRY_VERIFY_WITH_TIMEOUT(!form.isRunning(), 60000);

    // One tree and ten folds: eleven trees, told in order, after the plan.
    QStringList trees, folds;
    for (int tree = 1; tree <= 11; ++tree) trees << QString("tree %1").arg(tree);
    for (int fold = 1; fold <= 10; ++fold) folds << QString("2: Variant 1 Fold %1").arg(fold);
    QCOMPARE(told.first(), QString("plan 11"));
    QCOMPARE(told.filter(QRegularExpression("^tree ")), trees);
    QCOMPARE(told.filter(QRegularExpression("^2:.")), folds);
    QVERIFY(!told.filter(QRegularExpression("^1: Node [0-9]+$")).isEmpty());
    QCOMPARE(told.mid(told.size() - 2), QStringList({"1:", "2:"}));
    QCOMPARE(Child<QProgressBar>(form, "TreeProgress")->value(), 11);

    // Loading the report is no caret change: both panels stay empty until the caret moves.
    QCOMPARE(PanelText(form, 1), QString());
    QCOMPARE(PanelText(form, 2), QString());
    QCOMPARE(PanelText(form, 0), QString("output.txt"));
    Child<QPlainTextEdit>(form, "RichEdit1")->moveCursor(QTextCursor::Down);
    QCOMPARE(PanelText(form, 1), QString("2:1"));
  }

  void WindowStaysAliveAndLockedWhileARunLasts() {
    TRunGate gate(1);
    TScriptedDialogs dialogs;
    QueueExampleTable(dialogs);
    TForm1 form(dialogs);
    form.SetTreeStartHook(gate.Hook());
    Trigger(form, "FileOpen1");
    Trigger(form, "SearchReplace1");
    auto* replace = Child<TFindDialog>(form, "ReplaceDialog");
    Child<QLineEdit>(*replace, "FindWhat")->setText("sort");
    Trigger(form, "TreeBuild");
    QVERIFY(form.isRunning());
    // The engine is held in its first tree; its progress still reaches the window.
    auto* bar = Child<QProgressBar>(form, "TreeProgress");
    QTRY_COMPARE(bar->value(), 1);
    QVERIFY(gate.Held());
    QCOMPARE(bar->maximum(), 11);
    // Before the first search ends, panel 1 counts no node yet, never the caret's old place.
    QCOMPARE(PanelText(form, 1), QString(" Node 0"));
    QVERIFY(bar->isVisibleTo(&form));
    QVERIFY(Child<QPlainTextEdit>(form, "RichEdit1")->isReadOnly());
    // The open Replace dialog cannot change the table either.
    QCOMPARE(replace->ReplaceAll(), 0);
    QCOMPARE(EditorText(form), QString::fromLatin1(ExampleTable()));
    for (const char* command :
         {"FileNew", "FileOpen1", "FileSave", "FileSaveAs1", "TreeBuild", "GrowTreeItem"})
      QVERIFY2(!Child<QAction>(form, command)->isEnabled(), command);

    // A status tip would hide the panels and the progress.
    QStatusTipEvent tip("Opens an existing file");
    QApplication::sendEvent(&form, &tip);
    QCOMPARE(Child<QStatusBar>(form, "StatusBar1")->currentMessage(), QString());

    // A second Grow Tree is refused: the one run goes on alone.
    Trigger(form, "TreeBuild");
    Trigger(form, "GrowTreeItem");
    QCOMPARE(form.findChildren<TEngineRun*>().size(), 1);

    gate.Open();
    QTRY_VERIFY_WITH_TIMEOUT(!form.isRunning(), 60000);
    QCOMPARE(gate.Started(), 11);
    QVERIFY(EditorText(form).contains("Variant N  1"));
    QVERIFY(!Child<QPlainTextEdit>(form, "RichEdit1")->isReadOnly());
    QVERIFY(Child<QAction>(form, "TreeBuild")->isEnabled());
    QVERIFY(!bar->isVisibleTo(&form));
  }

  void StopWithYesEndsTheRunAndKeepsTheTable() {
    TRunGate gate(3);
    TScriptedDialogs dialogs;
    const QString table = QueueExampleTable(dialogs);
    TForm1 form(dialogs);
    form.SetTreeStartHook(gate.Hook());
    Trigger(form, "FileOpen1");
    Child<QPlainTextEdit>(form, "RichEdit1")->setPlainText(ExampleTable("stature"));
    Trigger(form, "TreeBuild");
    QTRY_VERIFY(gate.Held());

    Trigger(form, "StopBuilding");  // answered No: the run goes on
    QVERIFY(form.isRunning());
    dialogs.AnswerYes = true;
    Trigger(form, "StopBuilding");
    QCOMPARE(dialogs.Questions, QStringList({"Stop?", "Stop?"}));
    // The engine stops at its next check, a node search of tree 3.
    QTRY_VERIFY(!form.isRunning());
    QCOMPARE(gate.Started(), 3);
    QCOMPARE(dialogs.ExitRequests, 0);
    QCOMPARE(dialogs.Errors, QStringList());
    QCOMPARE(EditorText(form), QString::fromLatin1(ExampleTable("stature")));
    QCOMPARE(PanelText(form, 0), table);
    QCOMPARE(PanelText(form, 1), QString());
    QCOMPARE(form.lastLoadedFileName(), table);
    QVERIFY(Child<QLabel>(form, "ElapsedTime")->text().startsWith("Run stopped after "));
    const QByteArray report = ReadBytes("output.txt");
    QVERIFY2(report.endsWith("\r\nThe run was stopped: this report is incomplete.\r\n"),
             report.right(120).constData());
  }

  void ClosingTheWindowStopsTheRunFirst() {
    TRunGate gate(1);
    TScriptedDialogs dialogs;
    QueueExampleTable(dialogs);
    TForm1 form(dialogs);
    form.SetTreeStartHook(gate.Hook());
    Trigger(form, "FileOpen1");
    Trigger(form, "TreeBuild");
    QTRY_VERIFY(gate.Held());
    Trigger(form, "FileExit1");
    QVERIFY(!form.isRunning());
    QVERIFY(ReadBytes("output.txt").endsWith("this report is incomplete.\r\n"));
  }

  // SIGTERM (a logout, kill) ends a run as closing does, without a question: the report is
  // marked, and no temporary report is left beside it.
  void EndSignalStopsTheRunAndQuits() {
    TRunGate gate(1);
    TScriptedDialogs dialogs;
    QueueExampleTable(dialogs);
    TForm1 form(dialogs);
    form.SetTreeStartHook(gate.Hook());
    TEndSignals endSignals;
    connect(&endSignals, &TEndSignals::EndRequested, &form, &TForm1::EndWithoutQuestions);
    Trigger(form, "FileOpen1");
    Trigger(form, "TreeBuild");
    QTRY_VERIFY(gate.Held());
    std::raise(SIGTERM);
    QTRY_VERIFY(!form.isRunning());
    QCOMPARE(dialogs.Questions, QStringList());
    QVERIFY(ReadBytes("output.txt").endsWith("this report is incomplete.\r\n"));
    QCOMPARE(QDir().entryList({".output.txt.tarvo-*"}, QDir::Hidden | QDir::Files), QStringList());
  }

  void EndSignalClosesWithoutAskingAboutEdits() {
    TScriptedDialogs dialogs;
    QueueExampleTable(dialogs);
    TForm1 form(dialogs);
    TEndSignals endSignals;
    connect(&endSignals, &TEndSignals::EndRequested, &form, &TForm1::EndWithoutQuestions);
    Trigger(form, "FileOpen1");
    form.show();
    Child<QPlainTextEdit>(form, "RichEdit1")->insertPlainText("% edited\n");
    std::raise(SIGHUP);
    QTRY_VERIFY(!form.isVisible());
    QCOMPARE(dialogs.Questions, QStringList());
  }

  void SaveAfterARunAsksForANameAndLeavesTheTable() {
    TScriptedDialogs dialogs;
    const QString table = QueueExampleTable(dialogs);
    TForm1 form(dialogs);
    Trigger(form, "FileOpen1");
    GrowTree(form);
    Trigger(form, "FileSave");  // cancelled
    QCOMPARE(dialogs.SaveAsked, 1);
    QCOMPARE(ReadBytes(table), ExampleTable());

    const QString named = folder_->Path("report.txt");
    dialogs.SaveAnswers << named;
    Trigger(form, "FileSave");
    QCOMPARE(ReadBytes(named), ReadBytes("output.txt"));
    QCOMPARE(form.currentFileName(), named);
    // Once named, the report is saved where it was named, without asking.
    Trigger(form, "FileSave");
    QCOMPARE(dialogs.SaveAsked, 2);
    QCOMPARE(ReadBytes(table), ExampleTable());
  }

  void EngineChangesToParametersNeverReachTheFile() {
    TScriptedDialogs dialogs;
    const QString table = QueueExampleTable(dialogs);
    TForm1 form(dialogs);
    Trigger(form, "FileOpen1");
    GrowTree(form);
    // A classification run leaves the number of columns in FeatureToPredict.
    QCOMPARE(form.parameters().FeatureToPredict, 5);
    Trigger(form, "ParamDialog");
    QCOMPARE(Child<QLineEdit>(form, "FeatureToPredict")->text(), QString("1"));
    QCOMPARE(ReadBytes("param.par"), QByteArray("1.000 1.000 0.050  100   1   1  10"));
  }
};

QTEST_MAIN(TRunCommandTest)
#include "run_command_test.moc"
