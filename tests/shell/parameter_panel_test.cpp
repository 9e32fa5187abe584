// The parameter panel and param.par: creating the file, filling the edits, applying them.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "shell_test_support.h"

namespace {

const QByteArray kDefaults = "1.000 1.000 0.050  100   1   1  10";

QStringList EditTexts(TForm1& form) {
  QStringList texts;
  for (const char* name : {"Recursive_Embedding", "Homogeneity", "VariantsNumber",
                           "FeatureToPredict", "FoldsCrossValidate"})
    texts << Child<QLineEdit>(form, name)->text();
  return texts;
}

void PressOk(TForm1& form) {
  QTest::mouseClick(Child<QPushButton>(form, "OK"), Qt::LeftButton);
}

}  // namespace

class TParameterPanelTest : public TShellTest {
  Q_OBJECT

 private slots:
  void FirstUseCreatesTheFileWithDefaults() {
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    QVERIFY(Child<QGroupBox>(form, "GroupBox1")->isHidden());
    Trigger(form, "ParamDialog");
    QCOMPARE(ReadBytes("param.par"), kDefaults);
    QCOMPARE(kDefaults.size(), 34);
    QVERIFY(!Child<QGroupBox>(form, "GroupBox1")->isHidden());
    QCOMPARE(EditTexts(form), QStringList({"1.00", "0.050", "1", "1", "10"}));
  }

  void OkStoresWhatTheEditsShow() {
    WriteBytes("param.par", "1.000 1.234 0.050  100   1   1  10");
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    Trigger(form, "ParamDialog");
    QCOMPARE(EditTexts(form)[0], QString("1.23"));
    PressOk(form);
    QCOMPARE(ReadBytes("param.par"), QByteArray("1.000 1.230 0.050  100   1   1  10"));
    QVERIFY(Child<QGroupBox>(form, "GroupBox1")->isHidden());
    QCOMPARE(dialogs.Errors, QStringList());
  }

  void AnyWhitespaceSeparatesTheValues_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("one line") << QByteArray("2.5 3.25 0.01 50 4 2 5");
    QTest::newRow("seven lines") << QByteArray("2.5\n3.25\r\n0.01\n50\n4\n2\n5\n");
    QTest::newRow("tabs") << QByteArray("\t2.5\t3.25\t0.01\t50\t4\t2\t5 trailing words");
  }
  void AnyWhitespaceSeparatesTheValues() {
    QFETCH(QByteArray, file);
    WriteBytes("param.par", file);
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    Trigger(form, "ParamDialog");
    QCOMPARE(EditTexts(form), QStringList({"3.25", "0.010", "4", "2", "5"}));
    QCOMPARE(form.parameters().TargetWeight, 2.5);
    QCOMPARE(form.parameters().MonteCarlo, 50);
  }

  void MissingValuesReadAsZero() {
    WriteBytes("param.par", "1.000 1.000 0.050  100   3");
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    Trigger(form, "ParamDialog");
    QCOMPARE(EditTexts(form), QStringList({"1.00", "0.050", "3", "0", "0"}));
  }

  void SmallHomogeneityIsStoredWithThreeDecimals() {
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    Trigger(form, "ParamDialog");
    Child<QLineEdit>(form, "Homogeneity")->setText("0.0004");
    PressOk(form);
    QCOMPARE(ReadBytes("param.par"), QByteArray("1.000 1.000 0.000  100   1   1  10"));
  }

  void HandEditedTargetWeightAndMonteCarloSurviveOk() {
    WriteBytes("param.par", "2.000 1.000 0.050  200   1   1  10");
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    for (int press = 0; press < 3; ++press) {
      Trigger(form, "ParamDialog");
      Child<QLineEdit>(form, "VariantsNumber")->setText(QString::number(press + 2));
      PressOk(form);
    }
    QCOMPARE(ReadBytes("param.par"), QByteArray("2.000 1.000 0.050  200   4   1  10"));
  }

  void BlanksAroundANumberAreAccepted() {
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    Trigger(form, "ParamDialog");
    Child<QLineEdit>(form, "Recursive_Embedding")->setText("  2.5 ");
    Child<QLineEdit>(form, "FoldsCrossValidate")->setText(" -3");
    PressOk(form);
    QCOMPARE(dialogs.Errors, QStringList());
    QCOMPARE(ReadBytes("param.par"), QByteArray("1.000 2.500 0.050  100   1   1  -3"));
  }

  void TextThatIsNotANumberIsRefused_data() {
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("field");
    QTest::newRow("letters") << "Recursive_Embedding"
                             << "abc"
                             << "RecursiveComplexity";
    QTest::newRow("trailing text") << "Homogeneity"
                                   << "0.05x"
                                   << "Homogeneity";
    QTest::newRow("blank inside") << "Homogeneity"
                                  << "0. 05"
                                  << "Homogeneity";
    QTest::newRow("empty") << "VariantsNumber"
                           << ""
                           << "VariantsNumber";
    QTest::newRow("fraction") << "FeatureToPredict"
                              << "1.5"
                              << "FeatureToPredict";
    QTest::newRow("beyond 32 bits") << "FoldsCrossValidate"
                                    << "2147483648"
                                    << "FoldsCrossValidate";
  }
  void TextThatIsNotANumberIsRefused() {
    QFETCH(QString, edit);
    QFETCH(QString, text);
    QFETCH(QString, field);
    WriteBytes("param.par", kDefaults);
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    Trigger(form, "ParamDialog");
    Child<QLineEdit>(form, "VariantsNumber")->setText("7");
    Child<QLineEdit>(form, qPrintable(edit))->setText(text);
    PressOk(form);
    QCOMPARE(dialogs.Errors.size(), 1);
    QVERIFY2(dialogs.Errors[0].startsWith(field + " must be"), qPrintable(dialogs.Errors[0]));
    QVERIFY(!Child<QGroupBox>(form, "GroupBox1")->isHidden());
    QCOMPARE(ReadBytes("param.par"), kDefaults);
    // Nothing of the panel was stored, not even the edits that were numbers.
    QCOMPARE(form.parameters().VariantsNumber, 1);
  }

  void ShowingAgainDiscardsUnappliedEdits() {
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    Trigger(form, "ParamDialog");
    Child<QLineEdit>(form, "FeatureToPredict")->setText("4");
    Trigger(form, "ParamDialog");
    QCOMPARE(Child<QLineEdit>(form, "FeatureToPredict")->text(), QString("1"));
  }

  void RunWhileThePanelIsOpenUsesTheFile() {
    PrepareRunFiles();
    const QString table = folder_->Path("table.txt");
    CopyFileHere(TARVO_EXAMPLE_TABLE, table);
    TScriptedDialogs dialogs;
    dialogs.OpenAnswers << table;
    TForm1 form(dialogs);
    Trigger(form, "FileOpen1");
    Trigger(form, "ParamDialog");
    Child<QLineEdit>(form, "FeatureToPredict")->setText("0");
    dialogs.ChoiceAnswers << 1;  // run without the panel's changes
    GrowTree(form);
    QCOMPARE(dialogs.Questions.size(), 1);
    QVERIFY(EditorText(form).contains("Variant N  1"));
    QVERIFY(!Child<QGroupBox>(form, "GroupBox1")->isHidden());
    QCOMPARE(Child<QLineEdit>(form, "FeatureToPredict")->text(), QString("0"));
    // With the report in the editor, the column list is the table's that the run read.
    Trigger(form, "ParamDialog");
    QCOMPARE(Child<QComboBox>(form, "ColumnList")->itemText(4), QString("5  weight (numeric)"));
  }

  void RunAppliesThePanelWhenAsked() {
    PrepareRunFiles();
    const QString table = folder_->Path("table.txt");
    CopyFileHere(TARVO_EXAMPLE_TABLE, table);
    TScriptedDialogs dialogs;
    dialogs.OpenAnswers << table;
    TForm1 form(dialogs);
    Trigger(form, "FileOpen1");
    Trigger(form, "ParamDialog");
    Child<QLineEdit>(form, "FoldsCrossValidate")->setText("5");
    Trigger(form, "TreeBuild");  // cancelled: no run, nothing written
    QVERIFY(!form.isRunning());
    QCOMPARE(ReadBytes("param.par"), kDefaults);
    dialogs.ChoiceAnswers << 0;  // apply
    GrowTree(form);
    QCOMPARE(ReadBytes("param.par"), QByteArray("1.000 1.000 0.050  100   1   1   5"));
    QVERIFY(Child<QGroupBox>(form, "GroupBox1")->isHidden());
    QVERIFY(EditorText(form).contains("5-fold crossvalidate error"));
    QCOMPARE(dialogs.Questions.size(), 2);
    // Filled again and unchanged: nothing to ask.
    Trigger(form, "ParamDialog");
    GrowTree(form);
    QCOMPARE(dialogs.Questions.size(), 2);
  }

  // A settings file that does not read (damaged, or edited by hand) is replaced, not an error.
  void DamagedSettingsFileIsReplacedWithoutAnError() {
    const QString file = QSettings(QSettings::UserScope, "Tarvo", "tarvo2").fileName();
    QDir().mkpath(QFileInfo(file).path());
    WriteBytes(file, QByteArray("\xff\xfe[\0r\0", 6));
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    Trigger(form, "ParamDialog");
    Child<QCheckBox>(form, "Prune")->setChecked(true);
    PressOk(form);
    QCOMPARE(dialogs.Errors, QStringList());
    QVERIFY(QSettings(QSettings::UserScope, "Tarvo", "tarvo2").value("run/prune").toBool());
  }

  // Pruning is kept in the window's settings, apart from param.par. A pruned run grows with its
  // own homogeneity and target weight, which never reach param.par through a later OK.
  void PruningIsKeptApartFromTheFileAndPrunesTheRun() {
    PrepareRunFiles();
    const QString table = folder_->Path("table.txt");
    CopyFileHere(TARVO_EXAMPLE_TABLE, table);
    {
      TScriptedDialogs dialogs;
      dialogs.OpenAnswers << table;
      TForm1 form(dialogs);
      Trigger(form, "FileOpen1");
      GrowTree(form);
      QVERIFY(EditorText(form).contains("Variant N  1"));
      QVERIFY(!EditorText(form).contains(" Pruning ("));
      Trigger(form, "ParamDialog");
      auto* prune = Child<QCheckBox>(form, "Prune");
      auto* rule = Child<QComboBox>(form, "PruneRule");
      QVERIFY(!prune->isChecked());
      QVERIFY(!rule->isEnabled());
      prune->setChecked(true);
      QVERIFY(rule->isEnabled());
      rule->setCurrentIndex(rule->findText("min"));
      PressOk(form);
      QCOMPARE(dialogs.Errors, QStringList());
      QCOMPARE(ReadBytes("param.par"), kDefaults);
    }
    TScriptedDialogs dialogs;
    dialogs.OpenAnswers << table;
    TForm1 form(dialogs);
    Trigger(form, "ParamDialog");
    QVERIFY(Child<QCheckBox>(form, "Prune")->isChecked());
    QCOMPARE(Child<QComboBox>(form, "PruneRule")->currentText(), QString("min"));
    Trigger(form, "FileOpen1");
    GrowTree(form);
    QCOMPARE(dialogs.Questions, QStringList());  // the open panel holds nothing unapplied
    QVERIFY(EditorText(form).contains(" Pruning (min)"));
    QCOMPARE(Child<QTreeWidget>(form, "RunRows")->topLevelItem(0)->text(5),
             QString("look-ahead 1.00, homogeneity 0.000, variants 1, column 1, folds 10, "
                     "prune min"));
    PressOk(form);
    QCOMPARE(ReadBytes("param.par"), kDefaults);
  }

  void ReturnInTheColumnListGoesOnToFeatureToPredict() {
    WriteBytes("param.par", kDefaults);
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    Child<QPlainTextEdit>(form, "RichEdit1")->setPlainText("2 2 ?\n0(2) 1\nkind size\n");
    form.show();
    QApplication::setActiveWindow(&form);
    QVERIFY(QTest::qWaitForWindowActive(&form));
    Trigger(form, "ParamDialog");
    auto* columns = Child<QComboBox>(form, "ColumnList");
    columns->setFocus();
    QTest::keyClick(columns, Qt::Key_Down);
    QTest::keyClick(columns, Qt::Key_Return);
    QVERIFY(!Child<QGroupBox>(form, "GroupBox1")->isHidden());
    QCOMPARE(QApplication::focusWidget(), Child<QLineEdit>(form, "FeatureToPredict"));
    QTest::keyClicks(QApplication::focusWidget(), "1");
    QCOMPARE(Child<QLineEdit>(form, "FeatureToPredict")->text(), QString("1"));
    QCOMPARE(EditorText(form), QString("2 2 ?\n0(2) 1\nkind size\n"));
    QCOMPARE(ReadBytes("param.par"), kDefaults);
  }

  void PanelWorksFromTheKeyboard() {
    WriteBytes("param.par", kDefaults);
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    form.show();
    QApplication::setActiveWindow(&form);
    QVERIFY(QTest::qWaitForWindowActive(&form));
    Trigger(form, "ParamDialog");
    // The first edit has the focus with its text selected: typing replaces it.
    QCOMPARE(QApplication::focusWidget(), Child<QLineEdit>(form, "Recursive_Embedding"));
    QTest::keyClicks(QApplication::focusWidget(), "2");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_T, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), Child<QLineEdit>(form, "FeatureToPredict"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY(Child<QGroupBox>(form, "GroupBox1")->isHidden());
    QCOMPARE(ReadBytes("param.par"), QByteArray("1.000 2.000 0.050  100   1   1  10"));

    // Escape closes the panel and writes nothing.
    Trigger(form, "ParamDialog");
    QTest::keyClicks(QApplication::focusWidget(), "3");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(Child<QGroupBox>(form, "GroupBox1")->isHidden());
    QCOMPARE(ReadBytes("param.par"), QByteArray("1.000 2.000 0.050  100   1   1  10"));
    QCOMPARE(dialogs.Errors, QStringList());
  }

  void ColumnListFillsFeatureToPredict() {
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    // The columns come from the editor's text, comments and commas as a table reads them.
    Child<QPlainTextEdit>(form, "RichEdit1")
        ->setPlainText(
            "2 3 ? # counts #\n0(2),1 1\nkind# the class #length a_very_long_name_cut_at_20\n");
    Trigger(form, "ParamDialog");
    auto* columns = Child<QComboBox>(form, "ColumnList");
    QCOMPARE(columns->count(), 3);
    QCOMPARE(columns->itemText(0), QString("1  kind (nominal)"));
    QCOMPARE(columns->itemText(2), QString("3  a_very_long_name_cut (numeric)"));
    QCOMPARE(columns->currentIndex(), 0);  // FeatureToPredict is 1

    auto* feature = Child<QLineEdit>(form, "FeatureToPredict");
    QTest::keyClick(columns, Qt::Key_Down);
    QCOMPARE(feature->text(), QString("2"));
    // The number stays editable, and the list follows it.
    feature->selectAll();
    QTest::keyClicks(feature, "3");
    QCOMPARE(columns->currentIndex(), 2);
    PressOk(form);
    QCOMPARE(form.parameters().FeatureToPredict, 3);

    // Text that is not a table lists nothing.
    Child<QPlainTextEdit>(form, "RichEdit1")->setPlainText("Welcome\n");
    Trigger(form, "ParamDialog");
    QCOMPARE(columns->count(), 0);
  }

  // A CSV table lists its columns as a run reads them (quoting, kinds) and shows its last one until
  // another is picked; the pick is kept for that table, by name, and never reaches param.par.
  void CsvTableListsItsColumnsAndKeepsItsPick() {
    const QByteArray parameters = "1.000 1.000 0.050  100   1   2  10";
    WriteBytes("param.par", parameters);
    const QString table = folder_->Path("plants.csv");
    WriteBytes(table, "\"sort, kind\",height,code\nshort,104,1\ntall,178,2\n");
    {
      TScriptedDialogs dialogs;
      dialogs.OpenAnswers << table;
      TForm1 form(dialogs);
      Trigger(form, "FileOpen1");
      Trigger(form, "ParamDialog");
      auto* columns = Child<QComboBox>(form, "ColumnList");
      QCOMPARE(columns->count(), 3);
      QCOMPARE(columns->itemText(0), QString("1  sort, kind (nominal)"));
      QCOMPARE(columns->itemText(2), QString("3  code (numeric)"));
      QCOMPARE(columns->currentIndex(), 2);
      const QWidget* label = Child<QLabel>(form, "ColumnLabel");
      QVERIFY(label->geometry().right() < Child<QPushButton>(form, "OK")->geometry().left());
      auto* feature = Child<QLineEdit>(form, "FeatureToPredict");
      QCOMPARE(feature->text(), QString("3"));
      feature->setText("4");
      PressOk(form);
      QCOMPARE(dialogs.Errors,
               QStringList("FeatureToPredict must be a column of plants.csv, 1 to 3."));
      QVERIFY(!Child<QGroupBox>(form, "GroupBox1")->isHidden());
      QTest::keyClick(columns, Qt::Key_Home);
      QCOMPARE(feature->text(), QString("1"));
      PressOk(form);
      QCOMPARE(ReadBytes("param.par"), parameters);
      QCOMPARE(form.parameters().FeatureToPredict, 2);
    }
    TScriptedDialogs dialogs;
    dialogs.OpenAnswers << table;
    TForm1 form(dialogs);
    Trigger(form, "FileOpen1");
    Trigger(form, "ParamDialog");
    auto* feature = Child<QLineEdit>(form, "FeatureToPredict");
    QCOMPARE(feature->text(), QString("1"));
    // Unsaved edits are listed; the picked column keeps its name where it moves.
    TypeOver(form, "id,\"sort, kind\",height,code\n1,short,104,1\n2,tall,178,2\n");
    Trigger(form, "ParamDialog");
    QCOMPARE(Child<QComboBox>(form, "ColumnList")->count(), 4);
    QCOMPARE(feature->text(), QString("2"));
    // A table that does not read lists nothing.
    TypeOver(form, "a,b\n1\n");
    Trigger(form, "ParamDialog");
    QCOMPARE(Child<QComboBox>(form, "ColumnList")->count(), 0);
    QCOMPARE(dialogs.Errors, QStringList());
  }

  void UnwritableFileIsReportedAndThePanelStaysOpen() {
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    Trigger(form, "ParamDialog");
    // A folder in the file's place cannot be written over, whoever runs the test.
    QVERIFY(QFile::remove("param.par"));
    QVERIFY(QDir().mkdir("param.par"));
    Child<QLineEdit>(form, "VariantsNumber")->setText("3");
    PressOk(form);
    QCOMPARE(dialogs.Errors, QStringList("Cannot create file param.par"));
    QVERIFY(!Child<QGroupBox>(form, "GroupBox1")->isHidden());
    QCOMPARE(form.parameters().VariantsNumber, 3);
  }

  void UncreatableFileIsReportedAndThePanelShowsDefaults() {
    QVERIFY(QDir().mkdir("blocked"));
    QVERIFY(QDir::setCurrent("blocked"));
    QVERIFY(QDir().rmdir(QDir::currentPath()));  // a working folder that no longer exists
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    Trigger(form, "ParamDialog");
    QCOMPARE(dialogs.Errors, QStringList("Cannot create file param.par"));
    QVERIFY(!Child<QGroupBox>(form, "GroupBox1")->isHidden());
    QCOMPARE(EditTexts(form), QStringList({"1.00", "0.050", "1", "1", "10"}));
  }
};

QTEST_MAIN(TParameterPanelTest)
#include "parameter_panel_test.moc"
