#include "tarvo32.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolBar>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "dialogs.h"
#include "find_replace.h"
#include "tarvo/engine.h"
#include "tarvo/numbers.h"
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

// The wait cursor for as long as the engine runs.
class TWaitCursor {
 public:
  TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
  TWaitCursor(const TWaitCursor&) = delete;
  TWaitCursor& operator=(const TWaitCursor&) = delete;
};

}  // namespace

// The engine's way to panels 1 and 2: set the text, then paint the status bar at once, since the
// window handles no events while a run lasts.
class TStatusBarProgress : public tarvo::ProgressSink {
 public:
  explicit TStatusBarProgress(TForm1& form) : form_(form) {}
  void SetPanelText(int panel, const std::string& text) override {
    form_.SetPanel(panel, QString::fromLatin1(text));
  }
  void Repaint() override { form_.StatusBar1->repaint(); }

 private:
  TForm1& form_;
};

TForm1::TForm1(TDialogs& dialogs, QWidget* parent) : QMainWindow(parent), Dialogs(dialogs) {
  setObjectName("Form1");
  setWindowTitle("Tarvo2");
  setWindowIcon(QIcon(":/icons/growtree.png"));

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

  createActions();
  createMenus();
  createToolBar();
  createStatusBar();
  createParameterPanel();

  connect(RichEdit1, &QPlainTextEdit::cursorPositionChanged, this,
          &TForm1::RichEdit1SelectionChange);
  connect(RichEdit1, &QPlainTextEdit::selectionChanged, this, &TForm1::RichEdit1SelectionChange);
  EditCut1->setEnabled(false);
  EditCopy1->setEnabled(false);
  connect(RichEdit1, &QPlainTextEdit::copyAvailable, EditCut1, &QAction::setEnabled);
  connect(RichEdit1, &QPlainTextEdit::copyAvailable, EditCopy1, &QAction::setEnabled);
  connect(RichEdit1, &QPlainTextEdit::textChanged, this, &TForm1::UpdateEditActions);
  connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &TForm1::UpdateEditActions);
  UpdateEditActions();

  const QScreen* desktop = screen() ? screen() : QGuiApplication::primaryScreen();
  setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, QSize(504, 426),
                                  desktop->availableGeometry()));
  FormCreate();
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
}

void TForm1::createMenus() {
  menuBar()->setStyleSheet("QMenuBar { background-color: rgb(192, 220, 192); }");
  QMenu* file = menuBar()->addMenu("&File");
  file->addActions({FileNew, FileOpen1, FileSaveAs1, FileExit1});
  // Save has no entry: its shortcut works through the window.
  addAction(FileSave);
  QMenu* edit = menuBar()->addMenu("&Edit");
  edit->addActions({EditCut1, EditCopy1, EditPaste1, SearchFind1, SearchReplace1});
  QMenu* run = menuBar()->addMenu("&Run");
  run->addActions({ParamDialog, GrowTreeItem, StopBuilding, TuneParams});
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
  SetPanel(0, CurrentFileName);
}

void TForm1::createParameterPanel() {
  // Laid over the editor, not modal: the editor and every command stay usable while it shows.
  GroupBox1 = new QGroupBox("Parameters", this);
  GroupBox1->setObjectName("GroupBox1");
  GroupBox1->setGeometry(24, 96, 393, 231);
  GroupBox1->setAutoFillBackground(true);
  auto edit = [this](const char* name, const char* caption, int left, int top) {
    auto* line = new QLineEdit(GroupBox1);
    line->setObjectName(name);
    line->setGeometry(left, top, 41, line->sizeHint().height());
    auto* label = new QLabel(caption, GroupBox1);
    label->setBuddy(line);
    label->adjustSize();
    label->move(left - 6 - label->width(), top + (line->height() - label->height()) / 2);
    return line;
  };
  Recursive_Embedding = edit("Recursive_Embedding", "RecursiveComplexity", 152, 48);
  Homogeneity = edit("Homogeneity", "Homogeneity", 152, 88);
  VariantsNumber = edit("VariantsNumber", "VariantsNumber", 328, 48);
  FeatureToPredict = edit("FeatureToPredict", "FeatureToPredict", 328, 88);
  FoldsCrossValidate = edit("FoldsCrossValidate", "FoldsCrossValidate", 328, 128);

  OK = new QPushButton("OK", GroupBox1);
  OK->setObjectName("OK");
  OK->setGeometry(275 - 24, 261 - 96, 41, 41);
  connect(OK, &QPushButton::clicked, this, [this] { Perform([this] { OKClick(); }); });
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
    SetPanel(0, "autoread.txt");
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
}

void TForm1::SetPanel(int panel, const QString& text) {
  if (panel >= 0 && panel < 3) Panels[panel]->setText(text);
}

void TForm1::FileNewExecute() {
  RichEdit1->clear();
  EditorFormat = TTextFormat();
  CurrentFileName = kUntitled;
  SetPanel(0, kUntitled);
}

void TForm1::FileOpen1Accept() {
  const QString name = Dialogs.AskOpenFileName(this, kTextFilter, "txt");
  if (name.isEmpty()) return;
  LoadEditor(name);
  CurrentFileName = name;
  LastLoadedFileName = name;
  SetPanel(0, name);
}

void TForm1::FileSaveExecute() {
  if (CurrentFileName == kUntitled)
    FileSaveAs1Accept();
  else
    SaveEditor(CurrentFileName);
}

void TForm1::FileSaveAs1Accept() {
  const QString name =
      Dialogs.AskSaveFileName(this, "Save As", FolderOf(CurrentFileName), kTextFilter, "txt");
  if (name.isEmpty()) return;
  SaveEditor(name);
  CurrentFileName = name;
  SetPanel(0, name);
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
  GroupBox1->hide();
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

void TForm1::TreeBuildExecute() {
  std::vector<std::string> warnings;
  Parameters = tarvo::ReadParameterFile("param.par", warnings);
  // Only a table loaded from its own file is saved: never a report or autoread.txt.
  if (LastLoadedFileName == CurrentFileName) SaveEditor(CurrentFileName);

  // A status tip shown in the status bar would hide the panels that carry the progress.
  StatusBar1->clearMessage();
  TStatusBarProgress progress(*this);
  tarvo::RunOptions options;
  options.Progress = &progress;
  {
    TWaitCursor waiting;
    const tarvo::RunResult result =
        tarvo::RunEngine(Parameters, QFile::encodeName(CurrentFileName).toStdString(), options);
    warnings.insert(warnings.end(), result.Warnings.begin(), result.Warnings.end());
  }

  {
    const QScopedValueRollback<bool> quiet(ShowCaretPosition, false);
    RichEdit1->clear();
    LoadEditor("output.txt", TBrokenUtf8::OnlyBrokenBytesAsLatin1);
  }
  LastLoadedFileName = "output.txt";
  SetPanel(0, "output.txt");
  StatusBar1->repaint();
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

void TForm1::StopBuildingExecute() {
  if (Dialogs.AskYesNo(this, "Stop?")) Dialogs.ExitNow();
}

void TForm1::Action1Execute() {
  if (AboutBox) Dialogs.ShowModal(*AboutBox);
}

void TForm1::RichEdit1SelectionChange() {
  if (!ShowCaretPosition) return;
  const QTextCursor caret = RichEdit1->textCursor();
  SetPanel(1, QString("%1:%2").arg(caret.blockNumber() + 1).arg(caret.positionInBlock() + 1));
}

// Cut and Copy follow the selection (copyAvailable); Paste needs text on the clipboard, Find and
// Replace need text in the editor.
void TForm1::UpdateEditActions() {
  const QMimeData* clipboard = QGuiApplication::clipboard()->mimeData();
  EditPaste1->setEnabled(clipboard && clipboard->hasText());
  const bool hasText = !RichEdit1->document()->isEmpty();
  SearchFind1->setEnabled(hasText);
  SearchReplace1->setEnabled(hasText);
}
