// The main window: its parts, its commands, the parameter panel and the run on a worker thread.
#include "tarvo32.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QScreen>
#include <QSettings>
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

#include "csv_target.h"
#include "dialogs.h"
#include "find_replace.h"
#include "model_commands.h"
#include "parameter_panel.h"
#include "prune_setting.h"
#include "report_figures.h"
#include "run_progress.h"
#include "table_header.h"
#include "tarvo/engine.h"
#include "tree_view.h"
#include "tune_dialog.h"
#include "user_guide.h"

namespace {

const QString kUntitled = "untitled.txt";
// Every table the program reads first, then each kind of table, as Qt's file dialogs list them.
const QString kOpenFilter =
    "Tables (*.txt *.csv *.tsv *.tab);;Table Files (*.txt);;CSV Files (*.csv);;"
    "TSV Files (*.tsv *.tab);;All Files (*)";
const QString kTextFilter = "Text Files (*.txt);;All Files (*)";
const QString kCsvFilter = "CSV Files (*.csv);;TSV Files (*.tsv *.tab);;All Files (*)";

// Where the window keeps its docks' sizes and places, and the pruning setting, between starts.
QSettings WindowSettings() {
  return QSettings(QSettings::UserScope, "Tarvo", "tarvo2");
}

TTreeCaption CaptionOf(const TRunRecord& run) {
  return TTreeCaption{run.Table, run.Parameters, CrossValidationErrors(run.Report)};
}

// The folder part of a file name, empty when the name has none.
QString FolderOf(const QString& fileName) {
  const qsizetype slash = fileName.lastIndexOf('/');
  if (slash < 0) return QString();
  return slash == 0 ? QString("/") : fileName.left(slash);
}

// A text is a table when its name says CSV or TSV, or when it begins as a table file does.
bool IsTableText(const QString& fileName, const QString& text) {
  return IsCsvTableName(fileName) || StartsLikeTable(text);
}

QByteArray FileBytes(const QString& fileName) {
  QFile file(fileName);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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

}  // namespace

TForm1::TForm1(TDialogs& dialogs, QWidget* parent) : QMainWindow(parent), Dialogs(dialogs) {
  setObjectName("Form1");
  setWindowIcon(QIcon(":/icons/growtree.png"));
  createEditor();
  createTreeView();
  // Apply Model reads the table as Grow Tree does: unsaved edits of the table are saved first.
  ModelCommands = new TModelCommands(Dialogs, *this, [this] {
    QString table;
    Perform([&] { table = TableToRun(TTableUse::ApplyModel); });
    return table;
  });
  createActions();
  createMenus();
  createToolBar();
  createStatusBar();
  createParameterPanel();
  SetRunning(false);
  SetCurrentFile(kUntitled, kUntitled);

  // Wide enough for the whole status bar: the three panels and the run's progress beside them.
  const QSize opening(std::max(504, StatusBar1->sizeHint().width()), 426);
  const QScreen* desktop = screen() ? screen() : QGuiApplication::primaryScreen();
  setGeometry(
      QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, opening, desktop->availableGeometry()));
  FormCreate();
}

// Below the editor, side by side: the results list, which shows after the first run, and the
// Tree view, which shows when a run has trees to draw.
void TForm1::createTreeView() {
  ResultsList = new TResultsList(this);
  TreeView = new TTreeView(Dialogs, this);
  addDockWidget(Qt::BottomDockWidgetArea, ResultsList);
  addDockWidget(Qt::BottomDockWidgetArea, TreeView);
  splitDockWidget(ResultsList, TreeView, Qt::Horizontal);
  // The docks keep the sizes and places of the last start; they show when there is a run.
  const QSettings settings = WindowSettings();
  if (restoreState(settings.value("window/docks").toByteArray()))
    TreeViewSized = settings.value("window/treeViewSized").toBool();
  ResultsList->hide();
  TreeView->hide();
  connect(ResultsList, &TResultsList::RunChosen, this,
          [this](int index) { Perform([this, index] { ResultsListRunChosen(index); }); });
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
  // Their keys belong to the widget with the focus (the editor, a list, a cell of a table), which
  // handles them itself; the menu and tool bar entries act on the editor.
  for (QAction* action : {EditCut1, EditCopy1, EditPaste1})
    action->setShortcutContext(Qt::WidgetShortcut);
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
  HelpGuide = command("HelpGuide", "&User Guide", "about", QKeySequence::HelpContents,
                      "User Guide|Shows TARVO.TXT: tables, parameters, runs, the Tree view and "
                      "the results list",
                      &TForm1::HelpGuideExecute);

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
  help->addActions({HelpGuide, Action1});
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
  // What read without an error but probably not as meant gets a place of its own beside the
  // panels: shown over them, it could not be read.
  RunWarning = new TElidedLabel(StatusBar1);
  RunWarning->setObjectName("RunWarning");
  RunWarning->setMinimumWidth(60);
  StatusBar1->addWidget(RunWarning, 1);
}

void TForm1::createParameterPanel() {
  // Laid over the editor, not modal: the editor and every command stay usable while it shows.
  GroupBox1 = new TParameterPanel(this);
  connect(GroupBox1, &TParameterPanel::OkRequested, this,
          [this] { Perform([this] { OKClick(); }); });
  connect(GroupBox1, &TParameterPanel::CloseRequested, this, &TForm1::HideParameterPanel);
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
  UpdateEditorReadOnly();
}

// Nothing changes the text while a run lasts, nor a file that is not text: it could not be saved
// with the bytes it has.
void TForm1::UpdateEditorReadOnly() {
  RichEdit1->setReadOnly(Run || EditorFormat.ReadOnly());
}

// Writes the editor's text; a text that begins as a table does becomes the table Grow Tree runs.
void TForm1::SaveEditor(const QString& fileName) {
  if (EditorFormat.ReadOnly())
    throw std::runtime_error(QString("%1 %2, and Tarvo2 does not write it.")
                                 .arg(QFileInfo(CurrentFileName).fileName(), ReadOnlyReason())
                                 .toStdString());
  const QString text = EditorText(*RichEdit1);
  SaveTextFile(fileName, text, EditorFormat);
  RichEdit1->document()->setModified(false);
  // A report saved under any name, a .csv one included, stays a report: the table is unchanged.
  // A table typed over it is a table again.
  if (StartsLikeTable(text) || (!EditorHoldsReport && IsTableText(fileName, text))) {
    TableFileName = fileName;
    EditorHoldsReport = false;
  }
}

// The file a run or a tuning reads. The table the editor holds is saved first when it has unsaved
// edits, and only then: a table nobody edited keeps its bytes, even on read-only media. While the
// editor shows a report, the last table runs again. A text that is not a table (the guide, a
// report opened from disk) is never run: the user may take the last table instead. Other unsaved
// edits, which the report would replace, are asked about. Empty when nothing is to run. Apply
// Model takes its table the same way; its questions name it.
QString TForm1::TableToRun(TTableUse use) {
  const bool growing = use == TTableUse::GrowTree;
  const QString before = growing ? "the report replaces them" : "the model is applied";
  QTextDocument& document = *RichEdit1->document();
  const bool editorHoldsItsFile = LastLoadedFileName == CurrentFileName;
  if (!EditorHoldsReport && editorHoldsItsFile &&
      (CurrentFileName == TableFileName || IsTableText(CurrentFileName, EditorText(*RichEdit1)))) {
    if (document.isModified()) SaveEditor(CurrentFileName);
    return CurrentFileName;
  }
  if (!EditorHoldsReport && CurrentFileName != TableFileName) {
    const QString shown = QFileInfo(CurrentFileName).fileName();
    const QString notTable =
        QString("%1 is not a table: a table begins with its number of objects.").arg(shown);
    if (!QFile::exists(TableFileName)) {
      Dialogs.ShowNote(this, notTable + "\nOpen a table (File > Open...) and " +
                                 (growing ? "grow its tree." : "apply the model to it."));
      return QString();
    }
    if (!Dialogs.AskYesNo(this, QString("%1\n\n%2 on the last table, %3?")
                                    .arg(notTable, growing ? "Grow Tree" : "Apply Model",
                                         QDir::toNativeSeparators(TableFileName))))
      return QString();
    return ConfirmUnsavedEdits(before) ? TableFileName : QString();
  }
  // The last table, or the untitled text's file, as it is on disk.
  if (document.isModified()) {
    if (!ConfirmUnsavedEdits(before)) return QString();
    // Saved under a name, the text may now be the table.
    if (!document.isModified()) return TableToRun(use);
  }
  return TableFileName;
}

// Asks what to do with unsaved edits before they would be lost: Save (as Save does; cancelling
// its name keeps them), Discard, or Cancel. True when the text may go.
bool TForm1::ConfirmUnsavedEdits(const QString& before) {
  if (!RichEdit1->document()->isModified()) return true;
  const QString name = QFileInfo(ShownFileName).fileName();
  const int answer = Dialogs.AskChoice(
      this, QString("%1 has unsaved edits. Save them before %2?").arg(name, before),
      {"&Save", "&Discard"});
  if (answer == 1) return true;
  if (answer != 0) return false;
  FileSaveExecute();
  return !RichEdit1->document()->isModified();
}

// The file-name state in one place: the file the editor text belongs to (where Save writes and
// what a run reads), the name shown in panel 0 and the title, and the unsaved mark. The shown name
// differs after the start-up text and after a run, whose report is shown as output.txt.
void TForm1::SetCurrentFile(const QString& fileName, const QString& shownName) {
  CurrentFileName = fileName;
  ShownFileName = shownName;
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
  if (!ConfirmUnsavedEdits("the editor is cleared")) return;
  RichEdit1->clear();
  EditorFormat = TTextFormat();
  UpdateEditorReadOnly();
  SetCurrentFile(kUntitled, kUntitled);
  TableFileName = kUntitled;
  EditorHoldsReport = false;
  ShownRun = -1;
  ResultsList->MarkShown(-1);
  TreeView->Clear();
  RefillOpenParameterPanel();
}

// An open parameter panel shows the table that is open now: its columns and choices, not those
// of the table before, which OK would otherwise apply to this one.
void TForm1::RefillOpenParameterPanel() {
  if (!GroupBox1->isHidden()) FillParameterPanel();
}

void TForm1::FileOpen1Accept() {
  if (!ConfirmUnsavedEdits("another file is opened")) return;
  const QString name = Dialogs.AskOpenFileName(this, kOpenFilter, "txt");
  if (name.isEmpty()) return;
  LoadEditor(name);
  SetCurrentFile(name, name);
  LastLoadedFileName = name;
  EditorHoldsReport = false;
  if (IsTableText(name, EditorText(*RichEdit1))) TableFileName = name;
  ShownRun = -1;
  ResultsList->MarkShown(-1);
  TreeView->Clear();
  RefillOpenParameterPanel();
  if (EditorFormat.ReadOnly())
    Dialogs.ShowNote(this, QString("%1 %2: it is shown read-only, and nothing writes it.")
                               .arg(QFileInfo(name).fileName(), ReadOnlyReason()));
}

// Why the editor's file is shown read-only, after its name.
QString TForm1::ReadOnlyReason() const {
  return EditorFormat.Binary ? QString("is not a text file")
                             : QString(
                                   "holds characters that the editor would turn into line "
                                   "ends (Unicode line or paragraph separators)");
}

void TForm1::FileSaveExecute() {
  if (CurrentFileName == kUntitled || EditorShowsReport)
    FileSaveAs1Accept();
  else
    SaveEditor(CurrentFileName);
}

void TForm1::FileSaveAs1Accept() {
  // A CSV or TSV table keeps its kind when the new name has no suffix; a report is text.
  const bool csv = !EditorHoldsReport && IsCsvTableName(CurrentFileName);
  const QString name = Dialogs.AskSaveFileName(
      this, "Save As", FolderOf(CurrentFileName), csv ? kCsvFilter : kTextFilter,
      csv ? QFileInfo(CurrentFileName).suffix() : QString("txt"));
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
  FillParameterPanel();
  GroupBox1->Open();
  if (!written) throw std::runtime_error("Cannot create file param.par");
}

// The edits, the pruning setting and the columns of the table that is open: the editor's text when
// it is a table; otherwise (a report, the guide) the table Grow Tree runs, as on disk. A CSV or TSV
// table shows the column picked for it, else its last one, in place of param.par's
// FeatureToPredict, which numbers the columns of table files.
void TForm1::FillParameterPanel() {
  const QString editorText = EditorText(*RichEdit1);
  const bool editorHoldsTable = !EditorHoldsReport && IsTableText(CurrentFileName, editorText);
  const QString table = editorHoldsTable ? CurrentFileName : TableFileName;
  tarvo::RunParameters shown = Parameters;
  QList<TTableColumn> columns;
  QString fault;
  PanelCsv = TPanelCsv();
  QStringList nominal;
  if (IsCsvTableName(table)) {
    const QByteArray bytes = !editorHoldsTable     ? FileBytes(table)
                             : EditorFormat.Latin1 ? editorText.toLatin1()
                                                   : editorText.toUtf8();
    nominal = ReadCsvNominalChoice(WindowSettings(), table);
    columns = ReadCsvColumns(bytes, table, nominal, fault);
    // A table that does not read as a whole may still have a header to number its columns.
    const QList<TTableColumn> numbered = columns.isEmpty() ? ReadCsvHeaderColumns(table) : columns;
    shown.FeatureToPredict =
        PredictedCsvColumn(numbered, ReadCsvTargetChoice(WindowSettings(), table));
    PanelCsv = TPanelCsv{table, numbered, shown.FeatureToPredict};
  } else if (editorHoldsTable) {
    columns = ReadTableColumns(editorText);
  } else {
    TTextFormat format;
    try {
      columns = ReadTableColumns(LoadTextFile(TableFileName, format));
    } catch (const std::exception&) {
      // A table that cannot be read has no columns to list.
    }
  }
  GroupBox1->Fill(shown);
  GroupBox1->FillPrune(ReadPruneSetting(WindowSettings()));
  GroupBox1->SetColumns(columns, shown.FeatureToPredict, !PanelCsv.Table.isEmpty(), fault);
  GroupBox1->FillNominal(nominal, !PanelCsv.Table.isEmpty());
}

void TForm1::HideParameterPanel() {
  GroupBox1->hide();
  RichEdit1->setFocus();
}

void TForm1::OKClick() {
  // A refused text changes nothing.
  tarvo::RunParameters read = GroupBox1->Read(Parameters);
  const bool csvPicked = !PanelCsv.Table.isEmpty() && read.FeatureToPredict != PanelCsv.Shown;
  TCsvTarget pick;
  const QStringList nominal = GroupBox1->ReadNominal();
  if (!PanelCsv.Table.isEmpty()) {
    // The pick belongs to the CSV or TSV table; param.par keeps its FeatureToPredict.
    pick = CheckedCsvPick(read.FeatureToPredict);
    CheckNominalColumns(nominal);
    read.FeatureToPredict = QFile::exists("param.par")
                                ? tarvo::ReadParameterFile("param.par").FeatureToPredict
                                : tarvo::RunParameters().FeatureToPredict;
  }
  Parameters = read;
  // The panel stays open when the file cannot be written, so that OK can be pressed again.
  if (!tarvo::WriteParameterFile("param.par", Parameters))
    throw std::runtime_error("Cannot create file param.par");
  QSettings settings = WindowSettings();
  if (!WritePruneSetting(settings, GroupBox1->ReadPrune()) ||
      (csvPicked && !WriteCsvTargetChoice(settings, PanelCsv.Table, pick)) ||
      (!PanelCsv.Table.isEmpty() && !WriteCsvNominalChoice(settings, PanelCsv.Table, nominal)))
    throw std::runtime_error("Cannot save the settings in " + settings.fileName().toStdString());
  if (csvPicked) PanelCsv.Shown = pick.Number;
  HideParameterPanel();
}

// The column typed or picked for a CSV or TSV table, with its name; a number the table has no
// column for is refused with the numbers it has.
TCsvTarget TForm1::CheckedCsvPick(int32_t number) const {
  const QList<TTableColumn>& columns = PanelCsv.Columns;
  if (columns.isEmpty()) return TCsvTarget{number, QString()};  // the run reports the table's fault
  if (number < 1 || number > columns.size())
    throw std::runtime_error(QString("FeatureToPredict must be a column of %1, 1 to %2.")
                                 .arg(QFileInfo(PanelCsv.Table).fileName())
                                 .arg(columns.size())
                                 .toStdString());
  return TCsvTarget{number, columns[number - 1].Name};
}

// Refuses a column asked to be nominal that the CSV or TSV table does not have, with the ones it
// has.
void TForm1::CheckNominalColumns(const QStringList& nominal) const {
  const QList<TTableColumn>& columns = PanelCsv.Columns;
  if (columns.isEmpty()) return;  // the run reports the table's fault
  const QString unknown = UnknownCsvColumn(columns, nominal);
  if (unknown.isEmpty()) return;
  throw std::runtime_error(QString("Nominal columns: %1 has no column %2; give names of its "
                                   "header or numbers 1 to %3.")
                               .arg(QFileInfo(PanelCsv.Table).fileName(), unknown)
                               .arg(columns.size())
                               .toStdString());
}

// The column a run on a CSV or TSV table predicts, from its header as on disk: the one picked for
// the table in the panel, else the last; note says which. 0 when the header does not read (the run
// then reports the fault).
int32_t TForm1::CsvColumnToPredict(const QString& table, QString& note) const {
  const QList<TTableColumn> columns = ReadCsvHeaderColumns(table);
  const int number = PredictedCsvColumn(columns, ReadCsvTargetChoice(WindowSettings(), table));
  note = PredictedCsvColumnNote(columns, number, table);
  return number;
}

// The panel's edits not applied with OK would be ignored by a run, which reads param.par: the user
// applies them (as OK does), runs without them, or cancels. True when the run may go on.
bool TForm1::SettlePanelEdits() {
  if (GroupBox1->isHidden() || !GroupBox1->HasUnappliedEdits()) return true;
  const int answer = Dialogs.AskChoice(
      this, "The parameter panel has changes not applied with OK. Apply them to this run?",
      {"&Apply", "&Run without them"});
  if (answer < 0) return false;
  if (answer == 0) OKClick();  // a field that is not a number stops here, with its message
  return true;
}

void TForm1::TuneParamsExecute() {
  // The search runs on the table as saved, with the other parameters of param.par.
  if (!TuneDialog) {
    TuneDialog = new TTuneDialog(this);
    connect(TuneDialog, &TTuneDialog::RunningChanged, this, &TForm1::UpdateStopTip);
    connect(TuneDialog, &TTuneDialog::SettingChosen, this, [this](const tarvo::TuningRow& row) {
      bool kept = false;
      Perform([&] {
        TuneSettingChosen(row);
        kept = true;
      });
      if (!kept) TuneDialog->ShowSettingNotKept();
    });
  }
  if (!TuneDialog->IsRunning()) {
    if (!SettlePanelEdits()) return;
    const QString table = TableToRun();
    if (table.isEmpty()) return;
    tarvo::RunParameters base = tarvo::ReadParameterFile("param.par");
    QString note;
    if (IsCsvTableName(table)) base.FeatureToPredict = CsvColumnToPredict(table, note);
    const QStringList nominal = ReadCsvNominalChoice(WindowSettings(), table);
    TuneDialog->SetTable(table, base, note, CsvReadOptions(table, nominal));
  }
  TuneDialog->show();
  TuneDialog->raise();
  TuneDialog->activateWindow();
}

// Writes param.par as the panel's OK does (the same one-line format), with the other values as the
// tuning runs used them, sets the pruning of the window's runs to the row's rule, and shows the new
// values in the panel. A pruned row grew with the growth of pruning, which Grow Tree gives it
// again: param.par keeps its own homogeneity and target weight.
void TForm1::TuneSettingChosen(const tarvo::TuningRow& row) {
  Parameters =
      QFile::exists("param.par") ? tarvo::ReadParameterFile("param.par") : tarvo::RunParameters();
  if (!tarvo::WriteTunedParameterFile("param.par", Parameters, row))
    throw std::runtime_error("Cannot create file param.par");
  Parameters.RecursiveComplexity = row.RecursiveComplexity;
  if (row.Prune == tarvo::PruneRule::None) Parameters.Homogeneity = row.Homogeneity;
  QSettings settings = WindowSettings();
  TPruneSetting prune = ReadPruneSetting(settings);
  prune.On = row.Prune != tarvo::PruneRule::None;
  if (prune.On) prune.Rule = row.Prune;
  if (!WritePruneSetting(settings, prune))
    throw std::runtime_error("Cannot save the settings in " + settings.fileName().toStdString());
  FillParameterPanel();
}

// Reads param.par and the pruning setting, saves the table when the editor holds its unsaved edits,
// and starts the engine on a thread of its own; RunEnded finishes the run. The window stays usable
// meanwhile.
void TForm1::TreeBuildExecute() {
  if (Run) return;  // one run at a time
  if (!SettlePanelEdits()) return;
  ParameterWarnings.clear();
  Parameters = tarvo::ReadParameterFile("param.par", ParameterWarnings);
  const QString table = TableToRun();
  if (table.isEmpty()) return;

  const std::string tableFile = QFile::encodeName(table).toStdString();
  // A pruned run grows with its own target weight and homogeneity, as tarvo-run --prune does;
  // param.par keeps its values.
  const tarvo::PruneRule prune = ReadPruneSetting(WindowSettings()).RunRule();
  tarvo::RunParameters runParameters = Parameters;
  RunNote.clear();
  if (IsCsvTableName(table)) runParameters.FeatureToPredict = CsvColumnToPredict(table, RunNote);
  tarvo::UsePruneGrowth(prune, false, false, runParameters);

  RunRecord = TRunRecord();
  RunRecord.Table = table;
  RunRecord.Parameters = runParameters;
  RunRecord.Prune = prune;
  if (IsCsvTableName(table)) RunRecord.Nominal = ReadCsvNominalChoice(WindowSettings(), table);
  RunRecord.Started = QDateTime::currentDateTime();
  RunClock.start();
  Run = new TEngineRun(runParameters, prune, tableFile, CsvReadOptions(table, RunRecord.Nominal),
                       TreeStartHook, this);
  connect(Run, &TEngineRun::PanelTextChanged, this, &TForm1::SetPanel);
  connect(Run, &TEngineRun::TreesPlanned, RunProgress, &TRunProgress::PlanTrees);
  connect(Run, &TEngineRun::TreeStarted, RunProgress, &TRunProgress::TreeStarted);
  // A tree's node count starts at 0; the engine shows it once the first search has ended, which
  // can take long: until then panel 1 says so rather than keep the caret's last place.
  connect(Run, &TEngineRun::TreeStarted, this, [this] { SetPanel(1, " Node 0"); });
  connect(Run, &TEngineRun::Ended, this,
          [this](const TRunOutcome& outcome) { Perform([&] { RunEnded(outcome); }); });
  SetRunning(true);
  SetPanel(1, QString());
  SetPanel(2, QString());
  ShowWarnings({});
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
  UpdateEditorReadOnly();
  RichEdit1->viewport()->setCursor(running ? Qt::BusyCursor : Qt::IBeamCursor);
  ShowCaretPosition = !running;
  // A status tip shown in the status bar would hide the panels that carry the progress.
  if (running) StatusBar1->clearMessage();
  UpdateStopTip();
  UpdateEditActions();
}

void TForm1::RunEnded(const TRunOutcome& outcome) {
  Run->deleteLater();
  Run = nullptr;
  const tarvo::RunParameters read = Parameters;
  Parameters = outcome.Parameters;
  if (RunRecord.Prune != tarvo::PruneRule::None) {
    // The growth values were the pruned run's own: OK must not write them to param.par.
    Parameters.TargetWeight = read.TargetWeight;
    Parameters.Homogeneity = read.Homogeneity;
  }
  // So was a CSV table's column: param.par's numbers the columns of table files.
  if (IsCsvTableName(RunRecord.Table)) Parameters.FeatureToPredict = read.FeatureToPredict;
  SetRunning(false);
  TRunRecord record = std::move(RunRecord);
  record.Milliseconds = RunClock.elapsed();
  record.End = outcome.End;
  record.Error = outcome.Error;
  record.TableFault = outcome.Result.TableFault;
  record.CrossValidated = !outcome.Result.FirstTree.Folds.empty();
  record.CrossValidationError = outcome.Result.FirstTree.CrossValidationError;
  record.Trees = outcome.Trees;
  ResultsList->show();
  if (outcome.End != TRunOutcome::TEnd::Completed) {
    // The engine empties the progress panels only when a run completes.
    SetPanel(1, QString());
    SetPanel(2, QString());
    const bool stopped = outcome.End == TRunOutcome::TEnd::Stopped;
    RunProgress->End(stopped ? "Run stopped after" : "Run failed after");
    // The part of the report a stopped run wrote stays on its row; the editor keeps its text.
    if (stopped) {
      try {
        record.Report = LoadTextFile(kReportFileName, record.ReportFormat,
                                     TBrokenUtf8::OnlyBrokenBytesAsLatin1);
        record.HasReport = true;
      } catch (const std::exception&) {
        // Nothing to keep: the row says how the run ended all the same.
      }
    }
    ResultsList->AddRun(std::move(record));
    ResultsList->MarkShown(ShownRun);
    if (!outcome.Error.isEmpty())
      throw std::runtime_error(outcome.Error.toLocal8Bit().toStdString());
    return;
  }
  RunProgress->End("Run completed in");
  try {
    const QScopedValueRollback<bool> quiet(ShowCaretPosition, false);
    RichEdit1->clear();
    LoadEditor(kReportFileName, TBrokenUtf8::OnlyBrokenBytesAsLatin1);
  } catch (...) {
    ResultsList->AddRun(std::move(record));
    ResultsList->MarkShown(ShownRun = -1);
    throw;
  }
  record.Report = EditorText(*RichEdit1);
  record.ReportFormat = EditorFormat;
  record.HasReport = true;
  LastLoadedFileName = kReportFileName;
  SetCurrentFile(CurrentFileName, kReportFileName);
  EditorShowsReport = true;
  EditorHoldsReport = true;
  StatusBar1->repaint();
  TreeView->SetTrees(outcome.Trees, CaptionOf(record));
  GiveTreeViewRoom();
  ShownRun = ResultsList->AddRun(std::move(record));
  ResultsList->MarkShown(ShownRun);
  ModelCommands->SetModel(outcome.Result.GrownModel);
  std::vector<std::string> warnings = ParameterWarnings;
  warnings.insert(warnings.end(), outcome.Result.Warnings.begin(), outcome.Result.Warnings.end());
  ShowWarnings(warnings);
}

// Which column a CSV or TSV table's run predicts, and what read without an error but probably not
// as meant (a param.par value that is not a number, a prog.par line of zeros), stay beside the
// panels until the next run; warnings in a colour of their own.
void TForm1::ShowWarnings(const std::vector<std::string>& warnings) {
  QStringList lines;
  for (const std::string& warning : warnings) lines << QString::fromLocal8Bit(warning);
  QStringList parts;
  if (!RunNote.isEmpty()) parts << RunNote;
  if (!lines.isEmpty()) parts << "Warning: " + lines.join("; ");
  const QString text = parts.join(". ");
  RunWarning->setStyleSheet(lines.isEmpty() ? QString()
                                            : QString("QLabel { color: rgb(160, 60, 0); }"));
  // As much as the room allows; all of it in the tooltip.
  RunWarning->SetFullText(text);
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
  // During a run Yes stops the run, during a tuning the tuning; between them it ends the program.
  const bool duringRun = Run != nullptr;
  const bool duringTuning = !duringRun && IsTuning();
  if (!Dialogs.AskYesNo(this, "Stop?")) return;
  if (duringRun) {
    if (Run) Run->RequestStop();  // the run may have ended while the question was open
    return;
  }
  if (duringTuning) {
    TuneDialog->RequestStop();
    return;
  }
  if (!ConfirmUnsavedEdits("Tarvo2 ends")) return;
  SaveWindowSettings();
  Dialogs.ExitNow();
}

// Shows a run of the results list as its end did: its report in the editor (the run's table stays
// the one Grow Tree runs) and its trees in the Tree view.
void TForm1::ResultsListRunChosen(int index) {
  const TRunRecord& run = ResultsList->Record(index);
  if (Run || !run.HasReport ||
      !ConfirmUnsavedEdits("the report of run " + QString::number(index + 1) + " replaces them")) {
    ResultsList->MarkShown(ShownRun);
    if (!Run && !run.HasReport)
      Dialogs.ShowNote(this, QString("Run %1 %2 without a report to show.%3")
                                 .arg(index + 1)
                                 .arg(EndText(run), run.Error.isEmpty() ? "" : "\n" + run.Error));
    return;
  }
  {
    const QScopedValueRollback<bool> quiet(ShowCaretPosition, false);
    RichEdit1->setPlainText(run.Report);
  }
  EditorFormat = run.ReportFormat;
  UpdateEditorReadOnly();
  LastLoadedFileName = kReportFileName;
  const bool latest = index + 1 == ResultsList->Count();
  SetCurrentFile(CurrentFileName, latest
                                      ? QString(kReportFileName)
                                      : QString("%1 (run %2)").arg(kReportFileName).arg(index + 1));
  EditorShowsReport = true;
  EditorHoldsReport = true;
  SetPanel(1, QString());
  SetPanel(2, QString());
  TreeView->SetTrees(run.Trees, CaptionOf(run));
  GiveTreeViewRoom();
  ShownRun = index;
  ResultsList->MarkShown(ShownRun);
}

void TForm1::HelpGuideExecute() {
  if (!UserGuide) {
    const QString fileName = FindUserGuide();
    if (fileName.isEmpty())
      throw std::runtime_error(
          "TARVO.TXT, the user guide, is neither in the working folder nor installed.");
    UserGuide = new TUserGuide(fileName, this);
  }
  UserGuide->show();
  UserGuide->raise();
  UserGuide->activateWindow();
}

void TForm1::Action1Execute() {
  if (AboutBox) Dialogs.ShowModal(*AboutBox);
}

bool TForm1::event(QEvent* event) {
  // During a run a status tip would hide the panels and the progress beside them.
  if (event->type() == QEvent::StatusTip && Run) return true;
  return QMainWindow::event(event);
}

// Exit and the window's close button: a tuning in progress and unsaved edits are asked about first
// (No or Cancel keeps the window open); a run in progress is stopped, and so is the tuning.
void TForm1::closeEvent(QCloseEvent* event) {
  bool mayClose = false;
  const QString stopTuning =
      "Tune Parameters is still searching, and its rows would be lost. Stop it and close Tarvo2?";
  Perform([&] {
    mayClose = EndingWithoutQuestions || ((!IsTuning() || Dialogs.AskYesNo(this, stopTuning)) &&
                                          ConfirmUnsavedEdits("Tarvo2 closes"));
  });
  if (!mayClose) {
    event->ignore();
    return;
  }
  if (TuneDialog) TuneDialog->RequestStop();
  StopRunAndWait();
  SaveWindowSettings();
  QMainWindow::closeEvent(event);
}

void TForm1::EndWithoutQuestions() {
  // Closing stops a run or a search and keeps the settings; its questions are left out. A question
  // already open ends with the event loops, answered as if cancelled.
  EndingWithoutQuestions = true;
  close();
  QCoreApplication::exit(0);
}

bool TForm1::IsTuning() const {
  return TuneDialog && TuneDialog->IsRunning();
}

void TForm1::UpdateStopTip() {
  StopBuilding->setToolTip(Run ? "Stop Tree Growing: stops the run in progress (asks first)"
                           : IsTuning()
                               ? "Stop Tree Growing: stops the tuning in progress (asks first)"
                               : "Stop Tree Growing: between runs it ends Tarvo2 (asks first)");
}

void TForm1::SaveWindowSettings() {
  QSettings settings = WindowSettings();
  settings.setValue("window/docks", saveState());
  settings.setValue("window/treeViewSized", TreeViewSized);
}

// The first time it shows, the Tree view takes half the window's height (the results list two
// fifths of its width); later their sizes are the user's, kept between starts.
void TForm1::GiveTreeViewRoom() {
  if (TreeViewSized || TreeView->isHidden()) return;
  TreeViewSized = true;
  resizeDocks({TreeView}, {height() / 2}, Qt::Vertical);
  if (!ResultsList->isHidden())
    resizeDocks({ResultsList, TreeView}, {width() * 2 / 5, width() * 3 / 5}, Qt::Horizontal);
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
