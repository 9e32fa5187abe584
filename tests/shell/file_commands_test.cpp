// The file commands and the file-name bookkeeping: what each command loads, writes and names.

#include "shell_test_support.h"

class TFileCommandsTest : public TShellTest {
  Q_OBJECT

 private slots:
  void StartWithoutAutoreadIsUntitledAndEmpty() {
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    QCOMPARE(EditorText(form), QString());
    QCOMPARE(PanelText(form, 0), QString("untitled.txt"));
    QCOMPARE(form.currentFileName(), QString("untitled.txt"));
    QCOMPARE(form.lastLoadedFileName(), QString());
    QCOMPARE(form.windowTitle(), QString("untitled.txt[*] - Tarvo2"));

    // Save of an untitled text asks for a name; cancelling writes nothing.
    Trigger(form, "FileSave");
    QCOMPARE(dialogs.SaveAsked, 1);
    QCOMPARE(dialogs.SaveTitle, QString("Save As"));
    QCOMPARE(dialogs.SaveFolder, QString());
    QVERIFY(!QFile::exists("untitled.txt"));
  }

  void StartShowsAutoreadButKeepsItUntitled() {
    WriteBytes("autoread.txt", "Open a table\nthen Grow Tree\n");
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    QCOMPARE(EditorText(form), QString("Open a table\nthen Grow Tree\n"));
    QCOMPARE(PanelText(form, 0), QString("autoread.txt"));
    QCOMPARE(form.lastLoadedFileName(), QString("autoread.txt"));
    QCOMPARE(form.currentFileName(), QString("untitled.txt"));

    Trigger(form, "FileSave");
    QCOMPARE(dialogs.SaveAsked, 1);
    QCOMPARE(ReadBytes("autoread.txt"), QByteArray("Open a table\nthen Grow Tree\n"));
  }

  void OpenLoadsAndNamesTheFile() {
    const QString table = folder_->Path("table.txt");
    WriteBytes(table, "3 1 ?\n");
    TScriptedDialogs dialogs;
    dialogs.OpenAnswers << table;
    TForm1 form(dialogs);
    Trigger(form, "FileOpen1");
    QCOMPARE(EditorText(form), QString("3 1 ?\n"));
    QCOMPARE(form.currentFileName(), table);
    QCOMPARE(form.lastLoadedFileName(), table);
    QCOMPARE(PanelText(form, 0), table);

    // Cancel leaves everything as it was.
    Trigger(form, "FileOpen1");
    QCOMPARE(dialogs.OpenAsked, 2);
    QCOMPARE(form.currentFileName(), table);
    QCOMPARE(EditorText(form), QString("3 1 ?\n"));
  }

  void TitleAndPanelNameTheFile() {
    // A path longer than panel 0: the panel keeps both ends, the tooltip all of it.
    const QString folder = folder_->Path(QString(60, 'f'));
    QVERIFY(QDir().mkpath(folder));
    const QString table = folder + "/table.txt";
    WriteBytes(table, "3 1 ?\n");
    TScriptedDialogs dialogs;
    dialogs.OpenAnswers << table;
    TForm1 form(dialogs);
    Trigger(form, "FileOpen1");
    QCOMPARE(form.windowTitle(), QString("table.txt[*] - Tarvo2"));
    const QString shown = Child<QLabel>(form, "Panel0")->text();
    QVERIFY2(shown.startsWith(folder.left(2)) && shown.endsWith("/table.txt") &&
                 shown.contains(QChar(0x2026)),
             qPrintable(shown));
    QCOMPARE(Child<QLabel>(form, "Panel0")->toolTip(), table);

    // The unsaved mark follows edits and saves.
    QVERIFY(!form.isWindowModified());
    QTest::keyClicks(Child<QPlainTextEdit>(form, "RichEdit1"), "x");
    QVERIFY(form.isWindowModified());
    Trigger(form, "FileSave");
    QVERIFY(!form.isWindowModified());
    QCOMPARE(ReadBytes(table), QByteArray("x3 1 ?\n"));
  }

  void NewClearsButKeepsLastLoadedName() {
    const QString table = folder_->Path("table.txt");
    WriteBytes(table, "text");
    TScriptedDialogs dialogs;
    dialogs.OpenAnswers << table;
    TForm1 form(dialogs);
    Trigger(form, "FileOpen1");
    Trigger(form, "FileNew");
    QCOMPARE(EditorText(form), QString());
    QCOMPARE(form.currentFileName(), QString("untitled.txt"));
    QCOMPARE(PanelText(form, 0), QString("untitled.txt"));
    QCOMPARE(form.lastLoadedFileName(), table);
    QCOMPARE(ReadBytes(table), QByteArray("text"));
  }

  void NewAndOpenAskBeforeDroppingUnsavedEdits() {
    const QString table = folder_->Path("table.txt");
    WriteBytes(table, "old\n");
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    TypeOver(form, "typed");
    Trigger(form, "FileNew");  // Cancel
    Trigger(form, "FileOpen1");
    QCOMPARE(EditorText(form), QString("typed"));
    QCOMPARE(dialogs.OpenAsked, 0);
    dialogs.OpenAnswers << table;
    dialogs.ChoiceAnswers << 1;  // Discard
    Trigger(form, "FileOpen1");
    QCOMPARE(EditorText(form), QString("old\n"));
    QCOMPARE(dialogs.Questions.size(), 3);
    QVERIFY(dialogs.Questions[0].startsWith("untitled.txt has unsaved edits. Save them before"));
    // Nothing unsaved: nothing asked.
    Trigger(form, "FileNew");
    QCOMPARE(dialogs.Questions.size(), 3);
  }

  void SaveWritesTheCurrentFileAndRenamesNothing() {
    const QString table = folder_->Path("table.txt");
    WriteBytes(table, "old\n");
    TScriptedDialogs dialogs;
    dialogs.OpenAnswers << table;
    TForm1 form(dialogs);
    Trigger(form, "FileOpen1");
    Child<QPlainTextEdit>(form, "RichEdit1")->setPlainText("new\n");
    Trigger(form, "FileSave");
    QCOMPARE(dialogs.SaveAsked, 0);
    QCOMPARE(ReadBytes(table), QByteArray("new\n"));
    QCOMPARE(form.currentFileName(), table);
    QCOMPARE(form.lastLoadedFileName(), table);
    QCOMPARE(PanelText(form, 0), table);
  }

  void SaveAsStartsInTheFileFolderAndRenamesTheText() {
    QVERIFY(QDir().mkpath(folder_->Path("in")));
    const QString first = folder_->Path("in/first.txt");
    const QString second = folder_->Path("second.txt");
    WriteBytes(first, "first\n");
    TScriptedDialogs dialogs;
    dialogs.OpenAnswers << first;
    dialogs.SaveAnswers << second;
    TForm1 form(dialogs);
    Trigger(form, "FileOpen1");
    Trigger(form, "FileSaveAs1");
    QCOMPARE(dialogs.SaveFolder, folder_->Path("in"));
    QCOMPARE(ReadBytes(second), QByteArray("first\n"));
    QCOMPARE(form.currentFileName(), second);
    QCOMPARE(PanelText(form, 0), second);
    QCOMPARE(form.lastLoadedFileName(), first);

    // Cancelled, it changes nothing.
    Trigger(form, "FileSaveAs1");
    QCOMPARE(form.currentFileName(), second);
  }

  void FailedOpenShowsTheNameAndChangesNothing() {
    WriteBytes("autoread.txt", "hello");
    const QString missing = folder_->Path("missing.txt");
    TScriptedDialogs dialogs;
    dialogs.OpenAnswers << missing;
    TForm1 form(dialogs);
    Trigger(form, "FileOpen1");
    QCOMPARE(dialogs.Errors.size(), 1);
    QVERIFY2(dialogs.Errors[0].startsWith("Cannot open file " + missing),
             qPrintable(dialogs.Errors[0]));
    QCOMPARE(EditorText(form), QString("hello"));
    QCOMPARE(form.currentFileName(), QString("untitled.txt"));
    QCOMPARE(form.lastLoadedFileName(), QString("autoread.txt"));
    QCOMPARE(PanelText(form, 0), QString("autoread.txt"));
  }

  void FailedSaveAsShowsTheNameAndKeepsTheOldName() {
    const QString unwritable = folder_->Path("no/such/folder/x.txt");
    TScriptedDialogs dialogs;
    dialogs.SaveAnswers << unwritable;
    TForm1 form(dialogs);
    Child<QPlainTextEdit>(form, "RichEdit1")->setPlainText("text");
    Trigger(form, "FileSaveAs1");
    QCOMPARE(dialogs.Errors.size(), 1);
    QVERIFY(dialogs.Errors[0].startsWith("Cannot create file " + unwritable));
    QCOMPARE(form.currentFileName(), QString("untitled.txt"));
    QCOMPARE(PanelText(form, 0), QString("untitled.txt"));
  }

  // A write that fails partway (here past a file size limit, as on a full disk) leaves the file
  // on disk whole, and the message gives the system's reason.
  void FailedWriteKeepsTheFileOnDisk() {
    const QString table = folder_->Path("table.txt");
    WriteBytes(table, "old table\n");
    TScriptedDialogs dialogs;
    dialogs.OpenAnswers << table;
    TForm1 form(dialogs);
    Trigger(form, "FileOpen1");
    Child<QPlainTextEdit>(form, "RichEdit1")->setPlainText(QString(20000, 'x'));
    {
      const TFileSizeLimit full(4096);
      Trigger(form, "FileSave");
    }
    QCOMPARE(dialogs.Errors.size(), 1);
    QVERIFY2(dialogs.Errors[0].startsWith("Cannot write file " + table + ".\nFile too large"),
             qPrintable(dialogs.Errors[0]));
    QCOMPARE(ReadBytes(table), QByteArray("old table\n"));
    QCOMPARE(QDir(folder_->Path(".")).entryList(QDir::Files | QDir::Hidden).size(), 1);
  }

  void OpenThenSaveKeepsTheBytes_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("saved");
    QTest::newRow("CRLF UTF-8") << QByteArray("caf\xc3\xa9 1\r\n2\r\n") << QByteArray();
    QTest::newRow("LF without last line end") << QByteArray("a b\nc") << QByteArray();
    QTest::newRow("CRLF Latin-1") << QByteArray("caf\xe9\xa0x\r\n\xff\r\n") << QByteArray();
    QTest::newRow("Latin-1 LF") << QByteArray("na\xefve\n") << QByteArray();
    QTest::newRow("byte-order mark") << QByteArray("\xef\xbb\xbfx y\r\n") << QByteArray();
    QTest::newRow("CR only") << QByteArray("a\rb\r") << QByteArray();
    QTest::newRow("empty") << QByteArray() << QByteArray();
    // Mixed line ends are saved in the style of the first one.
    QTest::newRow("mixed") << QByteArray("a\r\nb\nc\r\n") << QByteArray("a\r\nb\r\nc\r\n");
  }
  void OpenThenSaveKeepsTheBytes() {
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, saved);
    if (saved.isEmpty()) saved = bytes;
    const QString table = folder_->Path("table.txt");
    WriteBytes(table, bytes);
    TScriptedDialogs dialogs;
    dialogs.OpenAnswers << table;
    TForm1 form(dialogs);
    Trigger(form, "FileOpen1");
    Trigger(form, "FileSave");
    QCOMPARE(ReadBytes(table), saved);
  }

  void ReportDecodesOnlyItsBrokenBytesAsLatin1_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("cut two-byte character")
        << QByteArray("\xc3\xa4\xc3 x") << QString("\u00e4\u00c3 x");
    QTest::newRow("cut three-byte character at the end")
        << QByteArray("\xe2\x82\xac\xe2\x82") << QString("\u20ac\u00e2\u0082");
    QTest::newRow("stray continuation byte") << QByteArray(
                                                    "a\x80"
                                                    "b")
                                             << QString("a\u0080b");
    QTest::newRow("overlong slash") << QByteArray("\xc0\xaf") << QString("\u00c0\u00af");
    QTest::newRow("surrogate") << QByteArray("\xed\xa0\x80") << QString("\u00ed\u00a0\u0080");
    QTest::newRow("beyond U+10FFFF")
        << QByteArray("\xf4\x90\x80\x80") << QString("\u00f4\u0090\u0080\u0080");
    QTest::newRow("four-byte character")
        << QByteArray("\xf0\x9f\x8c\xb3\xff") << QString::fromUtf8("\xf0\x9f\x8c\xb3\xc3\xbf");
  }
  void ReportDecodesOnlyItsBrokenBytesAsLatin1() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    WriteBytes("report.txt", bytes + "\r\n");
    TTextFormat format;
    QCOMPARE(LoadTextFile("report.txt", format, TBrokenUtf8::OnlyBrokenBytesAsLatin1), text + "\n");
    // Unchanged, it is saved as the same bytes; edited, as UTF-8.
    SaveTextFile("copy.txt", text + "\n", format);
    QCOMPARE(ReadBytes("copy.txt"), bytes + "\r\n");
    SaveTextFile("copy.txt", text + "!\n", format);
    QCOMPARE(ReadBytes("copy.txt"), (text + "!\r\n").toUtf8());
  }

  // The last row's last byte starts a UTF-8 sequence that never ends: Latin-1 too, not a
  // character to drop.
  void Latin1TextShowsItsCharactersAndKeepsThemOnEdit_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("saved");
    QTest::newRow("line end last")
        << QByteArray("caf\xe9\r\n") << QString::fromUtf8("caf\xc3\xa9\n")
        << QString::fromUtf8("\xc3\xbc\n") << QByteArray("caf\xe9\r\n\xfc\r\n");
    QTest::newRow("accent last") << QByteArray("caf\xe9") << QString::fromUtf8("caf\xc3\xa9")
                                 << QString("!") << QByteArray("caf\xe9!");
  }
  void Latin1TextShowsItsCharactersAndKeepsThemOnEdit() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    QFETCH(QString, typed);
    QFETCH(QByteArray, saved);
    const QString table = folder_->Path("table.txt");
    WriteBytes(table, bytes);
    TScriptedDialogs dialogs;
    dialogs.OpenAnswers << table;
    TForm1 form(dialogs);
    Trigger(form, "FileOpen1");
    QCOMPARE(EditorText(form), shown);
    auto* editor = Child<QPlainTextEdit>(form, "RichEdit1");
    editor->moveCursor(QTextCursor::End);
    editor->insertPlainText(typed);
    Trigger(form, "FileSave");
    QCOMPARE(ReadBytes(table), saved);
  }

  // A Unicode line separator inside a field would come back as a line end: such a file is shown
  // read-only, and Save refuses rather than split its lines.
  void TextWithLineSeparatorCharactersIsNotRewritten() {
    const QString table = folder_->Path("table.txt");
    const QByteArray bytes(
        "x,name\n1,a\xe2\x80\xa8"
        "b\n");
    WriteBytes(table, bytes);
    TScriptedDialogs dialogs;
    dialogs.OpenAnswers << table;
    TForm1 form(dialogs);
    Trigger(form, "FileOpen1");
    QCOMPARE(dialogs.Notes.size(), 1);
    QVERIFY2(dialogs.Notes[0].startsWith("table.txt holds characters that the editor would turn"),
             qPrintable(dialogs.Notes[0]));
    QVERIFY(Child<QPlainTextEdit>(form, "RichEdit1")->isReadOnly());
    Trigger(form, "FileSave");
    QCOMPARE(dialogs.Errors.size(), 1);
    QCOMPARE(ReadBytes(table), bytes);
  }

  void Latin1TextThatGainsOtherCharactersIsSavedAsUtf8() {
    const QString table = folder_->Path("table.txt");
    WriteBytes(table, "caf\xe9\n");
    TScriptedDialogs dialogs;
    dialogs.OpenAnswers << table;
    TForm1 form(dialogs);
    Trigger(form, "FileOpen1");
    auto* editor = Child<QPlainTextEdit>(form, "RichEdit1");
    editor->moveCursor(QTextCursor::End);
    editor->insertPlainText(QString::fromUtf8("\xe2\x82\xac"));  // the euro sign
    Trigger(form, "FileSave");
    QCOMPARE(ReadBytes(table), QByteArray("caf\xc3\xa9\n\xe2\x82\xac"));
  }

  void NewTextIsSavedAsUtf8WithLineFeeds() {
    const QString name = folder_->Path("new.txt");
    TScriptedDialogs dialogs;
    dialogs.SaveAnswers << name;
    TForm1 form(dialogs);
    Child<QPlainTextEdit>(form, "RichEdit1")->setPlainText(QString::fromUtf8("\xc3\xa9\nb"));
    Trigger(form, "FileSave");
    QCOMPARE(ReadBytes(name), QByteArray("\xc3\xa9\nb"));
  }
};

QTEST_MAIN(TFileCommandsTest)
#include "file_commands_test.moc"
