// The main window: its parts, its commands, the parameter panel and the run on a worker thread.
#include "tarvo32.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolBar>
#include <algorithm>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "dialogs.h"
#include "find_replace.h"
#include "model_commands.h"
#include "run_progress.h"
#include "table_header.h"
#include "tarvo/engine.h"
#include "tarvo/numbers.h"
#include "tree_view.h"
#include "tune_dialog.h"

namespace {

const QString kUntitled = "untitled.txt";
const QString kTextFilter = "Text Files (*.txt);;All Files (*)";

// The folder part of a file name, empty when the name has none.
QString FolderOf(const QString& fileName) {
  const qsizetype slash = fileName.lastIndexOf('/');
  if (slash < 0) return QString();
  return slash == 0 ? QString("/") : fileName.left(slash);
}

// The editor's text with "\n" between its lines. The raw text keeps every character as typed
// (no-break spaces included); blocks are separated by the paragraph separator, and a line break
// typed with Shift+Enter is a line separator: both are line ends in the file.
QString EditorText(const QPlainTextEdit& editor) {
  QString text = editor.document()->toRawText();
  text.replace(QChar::ParagraphSeparator, '\n');
  text.replace(QChar::LineSeparator, '\n');
  return text;
}

// The text of a parameter edit as a real; refuses it, naming the field, when it is not a number.
double RealOf(QLineEdit& edit, const char* field) {
  double value = 0;
  if (!tarvo::ParseRealToken(edit.text().trimmed().toStdString(), value)) {
    edit.setFocus();
    edit.selectAll();
    throw std::runtime_error(std::string(field) + " must be a number; \"" +
                             edit.text().toStdString() + "\" is not.");
  }
  return value;
}

int32_t IntegerOf(QLineEdit& edit, const char* field) {
  int32_t value = 0;
  if (!tarvo::ParseIntegerToken(edit.text().trimmed().toStdString(), value)) {
    edit.setFocus();
    edit.selectAll();
    throw std::runtime_error(std::string(field) + " must be a whole number; \"" +
                             edit.text().toStdString() + "\" is not.");
  }
  return value;
}

}  // namespace

TForm1::TForm1(TDialogs& dialogs, QWidget* parent) : QMainWindow(parent), Dialogs(dialogs) {
  setObjectName("Form1");
  setWindowIcon(QIcon(":/icons/growtree.png"));
  createEditor();
  createTreeView();
  ModelCommands = new TModelCommands(Dialogs, *this, [this] { return CurrentFileName; });
  createActions();
  createMenus();
  createToolBar();
  createStatusBar();
  createParameterPanel();
  SetCurrentFile(kUntitled, kUntitled);

  // Wide enough for the whole status bar: the three panels and the run's progress beside them.
  const QSize opening(std::max(504, StatusBar1->sizeHint().width()), 426);
  const QScreen* desktop = screen() ? screen() : QGuiApplication::primaryScreen();
  setGeometry(
      QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, opening, desktop->availableGeometry()));
  FormCreate();
}

// The Tree view docks below the editor and shows itself when a run has trees to draw.
void TForm1::createTreeView() {
  TreeView = new TTreeView(Dialogs, this);
  addDockWidget(Qt::BottomDockWidgetArea, TreeView);
  TreeView->hide();
}

void TForm1::createEditor() {
  RichEdit1 = new QPlainTextEdit(this);
  RichEdit1->setObjectName("RichEdit1");
  RichEdit1->setLineWrapMode(QPlainTextEdit::NoWrap);
  RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  QFont serif("Liberation Serif");
  serif.setStyleHint(QFont::Serif);
  serif.setPixelSize(19);
  RichEdit1->setFont(serif);
  QPalette colours = RichEdit1->palette();
  colours.setColor(QPalette::Base, Qt::white);
  colours.setColor(QPalette::Text, Qt::black);
  RichEdit1->setPalette(colours);
  setCentralWidget(RichEdit1);
  connect(RichEdit1, &QPlainTextEdit::cursorPositionChanged, this,
          &TForm1::RichEdit1SelectionChange);
  connect(RichEdit1, &QPlainTextEdit::selectionChanged, this, &TForm1::RichEdit1SelectionChange);
  // The title's unsaved mark follows the document.
  connect(RichEdit1->document(), &QTextDocument::modificationChanged, this,
          &QWidget::setWindowModified);
}

void TForm1::createActions() {
  // A hint is "short|long": the short part is the tool tip, the long one the status tip.
  auto command = [this](const char* name, const QString& caption, const char* icon,
                        const QKeySequence& shortcut, const QString& hint, auto slot) {
    auto* action = new QAction(QIcon(QString(":/icons/%1.png").arg(icon)), caption, this);
    action->setObjectName(name);
    action->setShortcut(shortcut);
    if (!hint.isEmpty()) {
      action->setToolTip(hint.section('|', 0, 0));
      action->setStatusTip(hint.contains('|') ? hint.section('|', 1) : hint);
    }
    connect(action, &QAction::triggered, this,
            [this, slot] { Perform([this, slot] { (this->*slot)(); }); });
    return action;
  };
  FileNew = command("FileNew", "&New", "new", QKeySequence("Ctrl+N"), "Create File",
                    &TForm1::FileNewExecute);
  FileOpen1 = command("FileOpen1", "&Open...", "open", QKeySequence("Ctrl+O"),
                      "Open|Opens an existing file", &TForm1::FileOpen1Accept);
  FileSave =
      command("FileSave", "&Save", "save", QKeySequence("Ctrl+S"), "", &TForm1::FileSaveExecute);
  FileSaveAs1 =
      command("FileSaveAs1", "Save &As...", "saveas", QKeySequence(),
              "Save As|Saves the active file with a new name", &TForm1::FileSaveAs1Accept);
  // Ctrl+X stays with Cut; Exit has a shortcut of its own.
  FileExit1 = command("FileExit1", "E&xit", "exit", QKeySequence("Ctrl+Q"),
                      "Exit|Quits the application", &TForm1::FileExit1Execute);
  EditCut1 =
      command("EditCut1", "Cu&t", "cut", QKeySequence("Ctrl+X"),
              "Cut|Cuts the selection and puts it on the Clipboard", &TForm1::EditCut1Execute);
  EditCopy1 =
      command("EditCopy1", "&Copy", "copy", QKeySequence("Ctrl+C"),
              "Copy|Copies the selection and puts it on the Clipboard", &TForm1::EditCopy1Execute);
  EditPaste1 = command("EditPaste1", "&Paste", "paste", QKeySequence("Ctrl+V"),
                       "Paste|Inserts Clipboard contents", &TForm1::EditPaste1Execute);
  SearchFind1 = command("SearchFind1", "&Find...", "find", QKeySequence("Ctrl+F"),
                        "Find|Finds the specified text", &TForm1::SearchFind1Execute);
  SearchReplace1 =
      command("SearchReplace1", "&Replace", "replace", QKeySequence("Ctrl+R"),
              "Replace|Replaces specific text with different text", &TForm1::SearchReplace1Execute);
  ParamDialog = command("ParamDialog", "Pa&rameters", "parameters", QKeySequence(), "",
                        &TForm1::ParamDialogExecute);
  TreeBuild = command("TreeBuild", "&Build Tree", "growtree", QKeySequence(), "Grow Tree",
                      &TForm1::TreeBuildExecute);
  StopBuilding = command("StopBuilding", "Stop Tree Growing", "stop", QKeySequence(),
                         "Stop Tree Growing", &TForm1::StopBuildingExecute);
  TuneParams = command("TuneParams", "&Tune Parameters...", "parameters", QKeySequence(),
                       "Tune Parameters|Chooses look-ahead and homogeneity by cross-validation",
                       &TForm1::TuneParamsExecute);
  Action1 =
      command("Action1", "&About Tarvo", "about", QKeySequence(), "", &TForm1::Action1Execute);

  // The Run menu names the command "Grow Tree"; its entry performs TreeBuild.
  GrowTreeItem = new QAction(TreeBuild->icon(), "&Grow Tree", this);
  GrowTreeItem->setObjectName("GrowTreeItem");
  GrowTreeItem->setStatusTip(TreeBuild->statusTip());
  connect(GrowTreeItem, &QAction::triggered, TreeBuild, &QAction::trigger);

  connect(RichEdit1, &QPlainTextEdit::copyAvailable, this, &TForm1::UpdateEditActions);
  connect(RichEdit1, &QPlainTextEdit::textChanged, this, &TForm1::UpdateEditActions);
  connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &TForm1::UpdateEditActions);
  UpdateEditActions();
}

void TForm1::createMenus() {
  menuBar()->setStyleSheet("QMenuBar { background-color: rgb(192, 220, 192); }");
  QMenu* file = menuBar()->addMenu("&File");
  file->addActions({FileNew, FileOpen1, FileSaveAs1, ModelCommands->SaveModelAction, FileExit1});
  // Save has no entry: its shortcut works through the window.
  addAction(FileSave);
  QMenu* edit = menuBar()->addMenu("&Edit");
  edit->addActions({EditCut1, EditCopy1, EditPaste1, SearchFind1, SearchReplace1});
  QMenu* run = menuBar()->addMenu("&Run");
  run->addActions(
      {ParamDialog, GrowTreeItem, StopBuilding, TuneParams, ModelCommands->ApplyModelAction});
  QMenu* help = menuBar()->addMenu("&Help");
  help->addAction(Action1);
}

void TForm1::createToolBar() {
  QToolBar* tools = addToolBar("Commands");
  tools->setObjectName("ToolBar1");
  tools->setMovable(false);
  tools->setToolButtonStyle(Qt::ToolButtonIconOnly);
  tools->setStyleSheet("QToolBar { background-color: rgb(166, 202, 240); border: none; }");
  tools->addActions(
      {FileOpen1, FileSave, FileNew, FileSaveAs1, EditCut1, EditCopy1, EditPaste1, TreeBuild});
  tools->addAction(StopBuilding);
}

void TForm1::createStatusBar() {
  StatusBar1 = statusBar();
  StatusBar1->setObjectName("StatusBar1");
  StatusBar1->setSizeGripEnabled(false);
  QPalette colours = StatusBar1->palette();
  colours.setColor(QPalette::Window, colours.color(QPalette::ToolTipBase));
  colours.setColor(QPalette::WindowText, colours.color(QPalette::ToolTipText));
  StatusBar1->setPalette(colours);
  StatusBar1->setAutoFillBackground(true);
  const int widths[3] = {200, 150, 150};
  for (int i = 0; i < 3; ++i) {
    Panels[i] = new QLabel(StatusBar1);
    Panels[i]->setObjectName(QString("Panel%1").arg(i));
    Panels[i]->setFixedWidth(widths[i]);
    Panels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    StatusBar1->addWidget(Panels[i]);
  }
  RunProgress = new TRunProgress(StatusBar1);
  StatusBar1->addWidget(RunProgress);
}

void TForm1::createParameterPanel() {
  // Laid over the editor, not modal: the editor and every command stay usable while it shows.
  GroupBox1 = new QGroupBox("Parameters", this);
  GroupBox1->setObjectName("GroupBox1");
  GroupBox1->setGeometry(24, 96, 393, 231);
  GroupBox1->setAutoFillBackground(true);
  auto edit = [this](const char* name, const char* caption, int left, int top,
                     const char* meaning) {
    auto* line = new QLineEdit(GroupBox1);
    line->setObjectName(name);
    line->setGeometry(left, top, 41, line->sizeHint().height());
    line->setToolTip(meaning);
    auto* label = new QLabel(caption, GroupBox1);
    label->setBuddy(line);
    label->setToolTip(meaning);
    label->adjustSize();
    label->move(left - 6 - label->width(), top + (line->height() - label->height()) / 2);
    return line;
  };
  // The mnemonics stay clear of the menu bar's letters (F, E, R, H).
  Recursive_Embedding =
      edit("Recursive_Embedding", "Recursive&Complexity", 152, 48,
           "Look-ahead of the split search: the whole part is the number of levels a candidate "
           "split is grown further before it is judged (1 or more); a fraction f thins the "
           "features of the deeper searches. Two decimals are kept.");
  Homogeneity = edit("Homogeneity", "Ho&mogeneity", 152, 88,
                     "When a node stops growing. Classification: the error frequency below which "
                     "a node counts as pure (0 to 1). Regression: the level of the chi-square "
                     "test, one of 0.001, 0.005, 0.01 or 0.05. Three decimals are kept.");
  VariantsNumber = edit("VariantsNumber", "&VariantsNumber", 328, 48,
                        "How many trees to grow (1 to 255); each later tree may not use the "
                        "feature at the root of the one before.");
  FeatureToPredict = edit("FeatureToPredict", "Feature&ToPredict", 328, 88,
                          "The number of the column to predict, from 1. A nominal column gives "
                          "classification trees, a numeric one regression trees. The list below "
                          "shows the columns of the open table.");
  FoldsCrossValidate = edit("FoldsCrossValidate", "Fol&dsCrossValidate", 328, 128,
                            "The number of folds of the cross-validation that estimates each "
                            "tree's error (2 to 255); 1 or less grows the trees without it.");

  // The columns of the open table; picking one fills FeatureToPredict, which stays editable.
  ColumnList = new QComboBox(GroupBox1);
  ColumnList->setObjectName("ColumnList");
  ColumnList->setGeometry(16, 188, 220, ColumnList->sizeHint().height());
  ColumnList->setToolTip(
      "The columns of the open table, read from its header: pick the one to "
      "predict");
  auto* columnLabel = new QLabel("Col&umn to predict:", GroupBox1);
  columnLabel->setBuddy(ColumnList);
  columnLabel->adjustSize();
  columnLabel->move(16, 188 - 4 - columnLabel->height());
  connect(ColumnList, &QComboBox::activated, this, [this](int index) {
    FeatureToPredict->setText(QString::number(ColumnList->itemData(index).toInt()));
  });
  connect(FeatureToPredict, &QLineEdit::textEdited, this, [this](const QString& text) {
    ColumnList->setCurrentIndex(ColumnList->findData(text.trimmed().toInt()));
  });

  OK = new QPushButton("OK", GroupBox1);
  OK->setObjectName("OK");
  OK->setGeometry(275 - 24, 261 - 96, 41, 41);
  OK->setToolTip(
      "Write the values to param.par and close the panel (Return); Escape closes it "
      "without writing");
  connect(OK, &QPushButton::clicked, this, [this] { Perform([this] { OKClick(); }); });
  // Return anywhere in the panel means OK; Escape closes the panel and writes nothing.
  for (const QKeySequence& key : {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)}) {
    auto* apply = new QShortcut(key, GroupBox1, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
    connect(apply, &QShortcut::activated, this, [this] { Perform([this] { OKClick(); }); });
  }
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), GroupBox1, nullptr, nullptr,
                               Qt::WidgetWithChildrenShortcut);
  connect(escape, &QShortcut::activated, this, &TForm1::HideParameterPanel);
  GroupBox1->hide();
}

// Runs one command or handler. An error that escapes it is shown in a message box; what the
// command did before the error stays done, and the window goes on. Every command runs through here.
template <class Command>
void TForm1::Perform(Command command) {
  try {
    command();
  } catch (const std::exception& error) {
    Dialogs.ShowError(this, QString::fromLocal8Bit(error.what()));
  } catch (...) {
    Dialogs.ShowError(this, "The command stopped on an unknown error.");
  }
}

void TForm1::FormCreate() {
  Perform([this] {
    if (!QFile::exists("autoread.txt")) return;
    LoadEditor("autoread.txt");
    SetCurrentFile(CurrentFileName, "autoread.txt");
    StatusBar1->repaint();
    LastLoadedFileName = "autoread.txt";
  });
}

void TForm1::LoadEditor(const QString& fileName, TBrokenUtf8 broken) {
  TTextFormat format;
  const QString text = LoadTextFile(fileName, format, broken);
  RichEdit1->setPlainText(text);
  EditorFormat = format;
}

void TForm1::SaveEditor(const QString& fileName) {
  SaveTextFile(fileName, EditorText(*RichEdit1), EditorFormat);
  RichEdit1->document()->setModified(false);
}

// The file-name state in one place: the file the editor text belongs to (where Save writes and
// what a run reads), the name shown in panel 0 and the title, and the unsaved mark. The shown name
// differs after the start-up text and after a run, whose report is shown as output.txt.
void TForm1::SetCurrentFile(const QString& fileName, const QString& shownName) {
  CurrentFileName = fileName;
  EditorShowsReport = false;
  SetPanel(0, shownName);
  setWindowTitle(QString("%1[*] - Tarvo2").arg(QFileInfo(shownName).fileName()));
  RichEdit1->document()->setModified(false);
  setWindowModified(false);
}

void TForm1::SetPanel(int panel, const QString& text) {
  if (panel < 0 || panel >= 3) return;
  if (panel == 0) {
    // A long path gives up its middle, never the file name; the tooltip holds all of it.
    const int room =
        Panels[0]->contentsRect().width() - Panels[0]->fontMetrics().averageCharWidth();
    Panels[0]->setText(Panels[0]->fontMetrics().elidedText(text, Qt::ElideMiddle, room));
    Panels[0]->setToolTip(text);
    return;
  }
  Panels[panel]->setText(text);
}

void TForm1::FileNewExecute() {
  RichEdit1->clear();
  EditorFormat = TTextFormat();
  SetCurrentFile(kUntitled, kUntitled);
}

void TForm1::FileOpen1Accept() {
  const QString name = Dialogs.AskOpenFileName(this, kTextFilter, "txt");
  if (name.isEmpty()) return;
  LoadEditor(name);
  SetCurrentFile(name, name);
  LastLoadedFileName = name;
}

void TForm1::FileSaveExecute() {
  if (CurrentFileName == kUntitled || EditorShowsReport)
    FileSaveAs1Accept();
  else
    SaveEditor(CurrentFileName);
}

void TForm1::FileSaveAs1Accept() {
  const QString name =
      Dialogs.AskSaveFileName(this, "Save As", FolderOf(CurrentFileName), kTextFilter, "txt");
  if (name.isEmpty()) return;
  SaveEditor(name);
  SetCurrentFile(name, name);
}

void TForm1::FileExit1Execute() {
  close();
}

void TForm1::EditCut1Execute() {
  RichEdit1->cut();
}

void TForm1::EditCopy1Execute() {
  RichEdit1->copy();
}

void TForm1::EditPaste1Execute() {
  RichEdit1->paste();
}

void TForm1::SearchFind1Execute() {
  ShowSearch(FindDialog, false);
}

void TForm1::SearchReplace1Execute() {
  ShowSearch(ReplaceDialog, true);
}

// Shows the find or replace dialog, made on first use, starting from a one-line selection.
void TForm1::ShowSearch(TFindDialog*& dialog, bool replacing) {
  if (!dialog)
    dialog = new TFindDialog(replacing ? TFindDialog::Mode::Replace : TFindDialog::Mode::Find,
                             *RichEdit1, Dialogs, this);
  const QString selected = RichEdit1->textCursor().selectedText();
  dialog->Start(selected.contains(QChar::ParagraphSeparator) ? QString() : selected);
  dialog->show();
  dialog->raise();
  dialog->activateWindow();
}

void TForm1::ParamDialogExecute() {
  bool written = true;
  if (QFile::exists("param.par")) {
    Parameters = tarvo::ReadParameterFile("param.par");
  } else {
    Parameters = tarvo::RunParameters();
    written = tarvo::WriteParameterFile("param.par", Parameters);
  }
  GroupBox1->show();
  GroupBox1->raise();
  FillParameterEdits();
  FillColumnList();
  Recursive_Embedding->setFocus();
  Recursive_Embedding->selectAll();
  if (!written) throw std::runtime_error("Cannot create file param.par");
}

void TForm1::FillParameterEdits() {
  Recursive_Embedding->setText(
      QString::fromStdString(tarvo::FormatReal(Parameters.RecursiveComplexity, 3, 2)));
  Homogeneity->setText(QString::fromStdString(tarvo::FormatReal(Parameters.Homogeneity, 4, 3)));
  VariantsNumber->setText(QString::number(Parameters.VariantsNumber));
  FeatureToPredict->setText(QString::number(Parameters.FeatureToPredict));
  FoldsCrossValidate->setText(QString::number(Parameters.FoldsCrossValidate));
}

// The columns of the table that is open: the editor's text, or, while the editor shows a run's
// report, the table the run read.
void TForm1::FillColumnList() {
  QString table;
  if (!EditorShowsReport) {
    table = EditorText(*RichEdit1);
  } else {
    TTextFormat format;
    try {
      table = LoadTextFile(CurrentFileName, format);
    } catch (const std::exception&) {
      // A table that cannot be read has no columns to list.
    }
  }
  ColumnList->clear();
  for (const TTableColumn& column : ReadTableColumns(table))
    ColumnList->addItem(QString("%1  %2 (%3)")
                            .arg(column.Number)
                            .arg(column.Name, column.Nominal ? "nominal" : "numeric"),
                        column.Number);
  ColumnList->setPlaceholderText(ColumnList->count() ? "Pick a column" : "No table is open");
  ColumnList->setCurrentIndex(ColumnList->findData(Parameters.FeatureToPredict));
}

void TForm1::HideParameterPanel() {
  GroupBox1->hide();
  RichEdit1->setFocus();
}

void TForm1::OKClick() {
  // Every edit is converted before anything is stored: a refused text changes nothing.
  const double recursiveComplexity = RealOf(*Recursive_Embedding, "RecursiveComplexity");
  const double homogeneity = RealOf(*Homogeneity, "Homogeneity");
  const int32_t variantsNumber = IntegerOf(*VariantsNumber, "VariantsNumber");
  const int32_t featureToPredict = IntegerOf(*FeatureToPredict, "FeatureToPredict");
  const int32_t foldsCrossValidate = IntegerOf(*FoldsCrossValidate, "FoldsCrossValidate");
  Parameters.RecursiveComplexity = recursiveComplexity;
  Parameters.Homogeneity = homogeneity;
  Parameters.VariantsNumber = variantsNumber;
  Parameters.FeatureToPredict = featureToPredict;
  Parameters.FoldsCrossValidate = foldsCrossValidate;
  // The panel stays open when the file cannot be written, so that OK can be pressed again.
  if (!tarvo::WriteParameterFile("param.par", Parameters))
    throw std::runtime_error("Cannot create file param.par");
  HideParameterPanel();
}

void TForm1::TuneParamsExecute() {
  // The search runs on the table as saved, with the other parameters of param.par.
  if (!TuneDialog) {
    TuneDialog = new TTuneDialog(this);
    connect(TuneDialog, &TTuneDialog::SettingChosen, this,
            [this](double rc, double h) { Perform([this, rc, h] { TuneSettingChosen(rc, h); }); });
  }
  if (!TuneDialog->IsRunning()) {
    if (LastLoadedFileName == CurrentFileName) SaveEditor(CurrentFileName);
    TuneDialog->SetTable(CurrentFileName, tarvo::ReadParameterFile("param.par"));
  }
  TuneDialog->show();
  TuneDialog->raise();
  TuneDialog->activateWindow();
}

// Writes param.par as the panel's OK does (the same one-line format), with the other values as the
// tuning runs used them, and shows the new values in the panel's edits.
void TForm1::TuneSettingChosen(double recursiveComplexity, double homogeneity) {
  Parameters =
      QFile::exists("param.par") ? tarvo::ReadParameterFile("param.par") : tarvo::RunParameters();
  Parameters.RecursiveComplexity = recursiveComplexity;
  Parameters.Homogeneity = homogeneity;
  if (!tarvo::WriteParameterFile("param.par", Parameters))
    throw std::runtime_error("Cannot create file param.par");
  FillParameterEdits();
}

// Reads param.par, saves the table when the editor holds it, and starts the engine on a thread of
// its own; RunEnded finishes the run. The window stays usable meanwhile.
void TForm1::TreeBuildExecute() {
  if (Run) return;  // one run at a time
  ParameterWarnings.clear();
  Parameters = tarvo::ReadParameterFile("param.par", ParameterWarnings);
  // Only a table loaded from its own file is saved: never a report or autoread.txt.
  if (LastLoadedFileName == CurrentFileName) SaveEditor(CurrentFileName);

  Run = new TEngineRun(Parameters, QFile::encodeName(CurrentFileName).toStdString(), TreeStartHook,
                       this);
  connect(Run, &TEngineRun::PanelTextChanged, this, &TForm1::SetPanel);
  connect(Run, &TEngineRun::TreesPlanned, RunProgress, &TRunProgress::PlanTrees);
  connect(Run, &TEngineRun::TreeStarted, RunProgress, &TRunProgress::TreeStarted);
  connect(Run, &TEngineRun::Ended, this,
          [this](const TRunOutcome& outcome) { Perform([&] { RunEnded(outcome); }); });
  SetRunning(true);
  RunProgress->Begin();
  // The bar shows before the first tree is planned, however long reading the table takes.
  StatusBar1->repaint();
  try {
    Run->Start();
  } catch (...) {  // no thread to run on
    delete Run;
    Run = nullptr;
    SetRunning(false);
    RunProgress->End("Run failed after");
    throw;
  }
}

// What may be used while a run lasts: the editor can be read but not changed, and nothing that
// loads, saves or starts another run is available.
void TForm1::SetRunning(bool running) {
  for (QAction* action :
       {FileNew, FileOpen1, FileSave, FileSaveAs1, TreeBuild, GrowTreeItem, TuneParams})
    action->setEnabled(!running);
  RichEdit1->setReadOnly(running);
  RichEdit1->viewport()->setCursor(running ? Qt::BusyCursor : Qt::IBeamCursor);
  ShowCaretPosition = !running;
  // A status tip shown in the status bar would hide the panels that carry the progress.
  if (running) StatusBar1->clearMessage();
  UpdateEditActions();
}

void TForm1::RunEnded(const TRunOutcome& outcome) {
  Run->deleteLater();
  Run = nullptr;
  Parameters = outcome.Parameters;
  SetRunning(false);
  if (outcome.End != TRunOutcome::TEnd::Completed) {
    // The engine empties the progress panels only when a run completes.
    SetPanel(1, QString());
    SetPanel(2, QString());
    const bool stopped = outcome.End == TRunOutcome::TEnd::Stopped;
    RunProgress->End(stopped ? "Run stopped after" : "Run failed after");
    if (!outcome.Error.isEmpty())
      throw std::runtime_error(outcome.Error.toLocal8Bit().toStdString());
    return;
  }
  RunProgress->End("Run completed in");
  {
    const QScopedValueRollback<bool> quiet(ShowCaretPosition, false);
    RichEdit1->clear();
    LoadEditor(kReportFileName, TBrokenUtf8::OnlyBrokenBytesAsLatin1);
  }
  LastLoadedFileName = kReportFileName;
  SetCurrentFile(CurrentFileName, kReportFileName);
  EditorShowsReport = true;
  StatusBar1->repaint();
  TreeView->SetTrees(outcome.Trees);
  ModelCommands->SetModel(outcome.Result.GrownModel);
  std::vector<std::string> warnings = ParameterWarnings;
  warnings.insert(warnings.end(), outcome.Result.Warnings.begin(), outcome.Result.Warnings.end());
  ShowWarnings(warnings);
}

// What read without an error but probably not as meant (a param.par value that is not a number,
// a prog.par line of zeros) shows over the panels until the next status tip; the panels keep
// their texts.
void TForm1::ShowWarnings(const std::vector<std::string>& warnings) {
  QStringList lines;
  for (const std::string& warning : warnings) lines << QString::fromLocal8Bit(warning);
  if (!lines.isEmpty()) StatusBar1->showMessage("Warning: " + lines.join("; "));
}

// Ends a run at once, without showing its outcome: the window is about to close.
void TForm1::StopRunAndWait() {
  if (!Run) return;
  Run->disconnect(this);
  Run->StopAndWait();
  Run->deleteLater();
  Run = nullptr;
  SetRunning(false);
  RunProgress->End("Run stopped after");
}

void TForm1::StopBuildingExecute() {
  // During a run Yes stops the run; between runs it ends the program.
  const bool duringRun = Run != nullptr;
  if (!Dialogs.AskYesNo(this, "Stop?")) return;
  if (!duringRun)
    Dialogs.ExitNow();
  else if (Run)  // the run may have ended while the question was open
    Run->RequestStop();
}

void TForm1::Action1Execute() {
  if (AboutBox) Dialogs.ShowModal(*AboutBox);
}

bool TForm1::event(QEvent* event) {
  // During a run a status tip would hide the panels and the progress beside them.
  if (event->type() == QEvent::StatusTip && Run) return true;
  return QMainWindow::event(event);
}

void TForm1::closeEvent(QCloseEvent* event) {
  StopRunAndWait();
  QMainWindow::closeEvent(event);
}

void TForm1::RichEdit1SelectionChange() {
  if (!ShowCaretPosition) return;
  const QTextCursor caret = RichEdit1->textCursor();
  SetPanel(1, QString("%1:%2").arg(caret.blockNumber() + 1).arg(caret.positionInBlock() + 1));
}

// Cut and Copy follow the selection; Paste needs text on the clipboard, Find and Replace need
// text in the editor. Nothing changes the text while a run lasts.
void TForm1::UpdateEditActions() {
  const bool editable = !Run;
  const bool selected = RichEdit1->textCursor().hasSelection();
  EditCut1->setEnabled(selected && editable);
  EditCopy1->setEnabled(selected);
  const QMimeData* clipboard = QGuiApplication::clipboard()->mimeData();
  EditPaste1->setEnabled(clipboard && clipboard->hasText() && editable);
  const bool hasText = !RichEdit1->document()->isEmpty();
  SearchFind1->setEnabled(hasText);
  SearchReplace1->setEnabled(hasText && editable);
}
