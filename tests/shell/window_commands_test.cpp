// The window's parts and the commands that do not touch files: caret display, clipboard, find and
// replace, stop, About, exit; the menus and the tool bar.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QToolBar>
#include <QTreeWidget>

#include "about.h"
#include "find_replace.h"
#include "shell_test_support.h"

namespace {

QStringList Captions(const QList<QAction*>& actions) {
  QStringList captions;
  for (const QAction* action : actions) captions << action->text();
  return captions;
}

void SelectText(QPlainTextEdit& editor, int from, int to) {
  QTextCursor cursor = editor.textCursor();
  cursor.setPosition(from);
  cursor.setPosition(to, QTextCursor::KeepAnchor);
  editor.setTextCursor(cursor);
}

// Opens the find or replace dialog of the form with a text to search for.
TFindDialog& OpenSearch(TForm1& form, const char* command, const char* dialog,
                        const QString& findWhat) {
  Trigger(form, command);
  auto* search = Child<TFindDialog>(form, dialog);
  Child<QLineEdit>(*search, "FindWhat")->setText(findWhat);
  return *search;
}

}  // namespace

class TWindowCommandsTest : public TShellTest {
  Q_OBJECT

 private slots:
  void MenusAndToolBarHoldTheCommandsInOrder() {
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    const QList<QAction*> menus = form.menuBar()->actions();
    QCOMPARE(Captions(menus), QStringList({"&File", "&Edit", "&Run", "&Help"}));
    QCOMPARE(Captions(menus[0]->menu()->actions()),
             QStringList({"&New", "&Open...", "Save &As...", "Save &Model...", "E&xit"}));
    QCOMPARE(Captions(menus[1]->menu()->actions()),
             QStringList({"Cu&t", "&Copy", "&Paste", "&Find...", "&Replace"}));
    QCOMPARE(Captions(menus[2]->menu()->actions()),
             QStringList({"Pa&rameters", "&Grow Tree", "Stop Tree Growing", "&Tune Parameters...",
                          "&Apply Model..."}));
    QCOMPARE(Captions(menus[3]->menu()->actions()), QStringList({"&User Guide", "&About Tarvo"}));

    QList<QString> tools;
    for (const QAction* action : Child<QToolBar>(form, "ToolBar1")->actions())
      tools << action->objectName();
    QCOMPARE(tools, QStringList({"FileOpen1", "FileSave", "FileNew", "FileSaveAs1", "EditCut1",
                                 "EditCopy1", "EditPaste1", "TreeBuild", "StopBuilding"}));
    // The icons come with the program: none may depend on an icon theme.
    for (QAction* action : form.findChildren<QAction*>())
      if (!action->objectName().isEmpty() && action->objectName() != "GrowTreeItem")
        QVERIFY2(!action->icon().pixmap(24, 24).isNull(), qPrintable(action->objectName()));
  }

  void CaretIsShownAsLineAndColumn() {
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    auto* editor = Child<QPlainTextEdit>(form, "RichEdit1");
    editor->setPlainText("first\nsecond\nthird\nfourth line\n");
    editor->moveCursor(QTextCursor::End);
    editor->moveCursor(QTextCursor::Start);
    QCOMPARE(PanelText(form, 1), QString("1:1"));
    // The third character of line 4.
    SelectText(*editor, 19 + 2, 19 + 2);
    QCOMPARE(PanelText(form, 1), QString("4:3"));
    QCOMPARE(PanelText(form, 2), QString());
  }

  void CutAndCopyNeedASelection() {
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    auto* editor = Child<QPlainTextEdit>(form, "RichEdit1");
    editor->setPlainText("alpha beta");
    QVERIFY(!Child<QAction>(form, "EditCut1")->isEnabled());
    QVERIFY(!Child<QAction>(form, "EditCopy1")->isEnabled());
    SelectText(*editor, 0, 5);
    QVERIFY(Child<QAction>(form, "EditCut1")->isEnabled());
    Trigger(form, "EditCopy1");
    QCOMPARE(QApplication::clipboard()->text(), QString("alpha"));
    Trigger(form, "EditCut1");
    QCOMPARE(editor->toPlainText(), QString(" beta"));
    QVERIFY(!Child<QAction>(form, "EditCopy1")->isEnabled());
  }

  // The keys belong to the widget with the focus; the menu's commands act on the editor.
  void ClipboardKeysActOnTheFocusedWidget() {
    PrepareRunFiles();
    CopyFileHere(TARVO_EXAMPLE_TABLE, "table.txt");
    TScriptedDialogs dialogs;
    dialogs.OpenAnswers << QDir::current().filePath("table.txt");
    TForm1 form(dialogs);
    form.show();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    Trigger(form, "FileOpen1");
    GrowTree(form);
    auto* editor = Child<QPlainTextEdit>(form, "RichEdit1");
    const QString report = editor->toPlainText();
    SelectText(*editor, 0, 30);
    auto* runs = Child<QTreeWidget>(form, "RunRows");
    runs->setFocus();
    QTRY_VERIFY(runs->hasFocus());
    QApplication::clipboard()->setText("pasted");
    QTest::keyClick(runs, Qt::Key_X, Qt::ControlModifier);
    QTest::keyClick(runs, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(editor->toPlainText(), report);
    QVERIFY(!editor->document()->isModified());
    QTest::keyClick(runs, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QString("1"));  // the run's number
    editor->setFocus();
    QTest::keyClick(editor, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), report.left(30));
    runs->setFocus();
    Trigger(form, "EditCut1");
    QCOMPARE(editor->toPlainText(), report.mid(30));
  }

  void PasteNeedsTextOnTheClipboard() {
    QApplication::clipboard()->clear();
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    QVERIFY(!Child<QAction>(form, "EditPaste1")->isEnabled());
    QApplication::clipboard()->setText("pasted");
    QVERIFY(Child<QAction>(form, "EditPaste1")->isEnabled());
    Trigger(form, "EditPaste1");
    QCOMPARE(EditorText(form), QString("pasted"));
  }

  void FindAndReplaceNeedText() {
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    QVERIFY(!Child<QAction>(form, "SearchFind1")->isEnabled());
    QVERIFY(!Child<QAction>(form, "SearchReplace1")->isEnabled());
    Child<QPlainTextEdit>(form, "RichEdit1")->setPlainText("x");
    QVERIFY(Child<QAction>(form, "SearchFind1")->isEnabled());
    QVERIFY(Child<QAction>(form, "SearchReplace1")->isEnabled());
  }

  void FindSelectsEachMatchThenSaysNoneIsLeft() {
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    auto* editor = Child<QPlainTextEdit>(form, "RichEdit1");
    editor->setPlainText("Alpha beta\nalpha");
    TFindDialog& find = OpenSearch(form, "SearchFind1", "FindDialog", "alpha");
    QVERIFY(find.isVisible());
    QVERIFY(find.FindNext());
    QCOMPARE(editor->textCursor().selectionStart(), 0);
    QVERIFY(find.FindNext());
    QCOMPARE(editor->textCursor().selectionStart(), 11);
    QCOMPARE(PanelText(form, 1), QString("2:6"));
    QVERIFY(!find.FindNext());
    QCOMPARE(dialogs.Notes, QStringList("Cannot find \"alpha\"."));

    // Matching case skips "Alpha".
    editor->moveCursor(QTextCursor::Start);
    Child<QCheckBox>(find, "MatchCase")->setChecked(true);
    QVERIFY(find.FindNext());
    QCOMPARE(editor->textCursor().selectionStart(), 11);
  }

  void FindStartsFromAOneLineSelection() {
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    auto* editor = Child<QPlainTextEdit>(form, "RichEdit1");
    editor->setPlainText("one two");
    SelectText(*editor, 4, 7);
    Trigger(form, "SearchFind1");
    QCOMPARE(Child<QLineEdit>(*Child<TFindDialog>(form, "FindDialog"), "FindWhat")->text(),
             QString("two"));
  }

  void ReplaceChangesOneMatchAtATime() {
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    auto* editor = Child<QPlainTextEdit>(form, "RichEdit1");
    editor->setPlainText("a-b-a");
    TFindDialog& replace = OpenSearch(form, "SearchReplace1", "ReplaceDialog", "a");
    Child<QLineEdit>(replace, "ReplaceWith")->setText("c");
    QVERIFY(replace.ReplaceOne());  // nothing selected yet: finds the first match
    QCOMPARE(editor->toPlainText(), QString("a-b-a"));
    QVERIFY(replace.ReplaceOne());
    QCOMPARE(editor->toPlainText(), QString("c-b-a"));
    QCOMPARE(editor->textCursor().selectionStart(), 4);
  }

  void ReplaceAllIsOneEditAndNeverRescansItsOwnText() {
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    auto* editor = Child<QPlainTextEdit>(form, "RichEdit1");
    editor->setPlainText("a-b-A");
    TFindDialog& replace = OpenSearch(form, "SearchReplace1", "ReplaceDialog", "a");
    Child<QLineEdit>(replace, "ReplaceWith")->setText("aa");
    QCOMPARE(replace.ReplaceAll(), 2);
    QCOMPARE(editor->toPlainText(), QString("aa-b-aa"));
    editor->undo();
    QCOMPARE(editor->toPlainText(), QString("a-b-A"));
    Child<QLineEdit>(replace, "FindWhat")->setText("z");
    QCOMPARE(replace.ReplaceAll(), 0);
    QCOMPARE(dialogs.Notes, QStringList("Cannot find \"z\"."));
  }

  void StopAnsweredNoChangesNothing() {
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    Child<QPlainTextEdit>(form, "RichEdit1")->setPlainText("kept");
    Trigger(form, "StopBuilding");
    QCOMPARE(dialogs.Questions, QStringList("Stop?"));
    QCOMPARE(dialogs.ExitRequests, 0);
    QCOMPARE(EditorText(form), QString("kept"));
  }

  void StopAnsweredYesEndsWithoutSaving() {
    const QString table = folder_->Path("table.txt");
    WriteBytes(table, "on disk");
    TScriptedDialogs dialogs;
    dialogs.OpenAnswers << table;
    dialogs.AnswerYes = true;
    TForm1 form(dialogs);
    Trigger(form, "FileOpen1");
    Child<QPlainTextEdit>(form, "RichEdit1")->setPlainText("edited");
    Trigger(form, "StopBuilding");
    QCOMPARE(dialogs.ExitRequests, 1);
    QCOMPARE(dialogs.Questions.size(), 1);
    QCOMPARE(ReadBytes(table), QByteArray("on disk"));
  }

  void StopBetweenRunsAsksAboutUnsavedEdits() {
    const QString table = folder_->Path("table.txt");
    WriteBytes(table, "on disk");
    TScriptedDialogs dialogs;
    dialogs.OpenAnswers << table;
    dialogs.AnswerYes = true;
    TForm1 form(dialogs);
    QVERIFY(Child<QAction>(form, "StopBuilding")->toolTip().contains("ends Tarvo2"));
    Trigger(form, "FileOpen1");
    TypeOver(form, "edited");
    Trigger(form, "StopBuilding");  // Cancel
    QCOMPARE(dialogs.ExitRequests, 0);
    QCOMPARE(dialogs.Questions.size(), 2);
    QVERIFY(dialogs.Questions[1].startsWith("table.txt has unsaved edits."));
    dialogs.ChoiceAnswers << 0;  // Save
    Trigger(form, "StopBuilding");
    QCOMPARE(dialogs.ExitRequests, 1);
    QCOMPARE(ReadBytes(table), QByteArray("edited"));
  }

  void ExitAsksAboutUnsavedEdits() {
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    TypeOver(form, "typed");
    Trigger(form, "FileExit1");  // Cancel
    QVERIFY(form.isVisible());
    dialogs.ChoiceAnswers << 0;  // Save, but its name is cancelled: still open
    Trigger(form, "FileExit1");
    QVERIFY(form.isVisible());
    QCOMPARE(dialogs.SaveAsked, 1);
    dialogs.ChoiceAnswers << 1;  // Discard
    form.close();
    QVERIFY(!form.isVisible());
    QCOMPARE(dialogs.Questions.size(), 3);
  }

  void UserGuideShowsTarvoTxtBesideTheEditor() {
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    Trigger(form, "HelpGuide");
    QCOMPARE(dialogs.Errors.size(), 1);
    QVERIFY2(dialogs.Errors[0].startsWith("TARVO.TXT, the user guide, is neither"),
             qPrintable(dialogs.Errors[0]));
    WriteBytes("TARVO.TXT", "THE GUIDE\r\n");
    Child<QPlainTextEdit>(form, "RichEdit1")->setPlainText("table");
    Trigger(form, "HelpGuide");
    QCOMPARE(Child<QPlainTextEdit>(form, "GuideText")->toPlainText(), QString("THE GUIDE\n"));
    QVERIFY(Child<QDialog>(form, "UserGuide")->isVisible());
    QCOMPARE(EditorText(form), QString("table"));
    QCOMPARE(form.currentFileName(), QString("untitled.txt"));
  }

  void AboutShowsTheBoxModally() {
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    TAboutBox about;
    form.SetAboutBox(&about);
    Trigger(form, "Action1");
    QCOMPARE(dialogs.ModalShown, QStringList("AboutBox"));
    QCOMPARE(about.windowTitle(), QString("About"));
    QCOMPARE(about.size(), QSize(298, 213));
    QCOMPARE(Child<QLabel>(about, "ProductName")->text(), QString("Tarvo"));
    QCOMPARE(Child<QLabel>(about, "Version")->text(), QString("Version 2.0"));
    QVERIFY(Child<QLabel>(about, "Licence")->text().contains("MIT License"));
    QVERIFY(!Child<QLabel>(about, "ProgramIcon")->pixmap().isNull());
    QVERIFY(!about.windowIcon().isNull());
    QVERIFY(!form.windowIcon().isNull());
    QVERIFY(Child<QPushButton>(about, "OKButton")->isDefault());
  }

  void ExitClosesTheWindowWithoutAsking() {
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    Child<QPlainTextEdit>(form, "RichEdit1")->setPlainText("unsaved");
    QTest::keyClick(&form, Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(!form.isVisible());
    QCOMPARE(dialogs.Questions, QStringList());
  }
};

QTEST_MAIN(TWindowCommandsTest)
#include "window_commands_test.moc"
