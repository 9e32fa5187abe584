// The main window: a plain-text editor for tables and reports, the file, edit and run commands,
// the parameter panel with its file param.par, and the status bar that shows the run's progress.
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <string>
#include <vector>

#include "csv_target.h"
#include "elided_label.h"
#include "engine_run.h"
#include "results_list.h"
#include "tarvo/parameters.h"
#include "text_file.h"

class QAction;
class QDialog;
class QLabel;
class QPlainTextEdit;
class QStatusBar;
class TDialogs;
class TFindDialog;
class TModelCommands;
class TParameterPanel;
class TRunProgress;
class TTuneDialog;
class TUserGuide;
class TTreeView;
namespace tarvo {
struct TuningRow;
}

class TForm1 : public QMainWindow {
  Q_OBJECT

 public:
  // Builds the window and runs FormCreate, which shows autoread.txt when that file exists.
  explicit TForm1(TDialogs& dialogs, QWidget* parent = nullptr);

  // The dialog that "About Tarvo" shows; it is owned by the caller.
  void SetAboutBox(QDialog* aboutBox) { AboutBox = aboutBox; }
  // Called on the run's thread as each tree starts; tests hold a run there.
  void SetTreeStartHook(TEngineRun::TTreeStartHook hook) { TreeStartHook = std::move(hook); }

  const QString& currentFileName() const { return CurrentFileName; }
  const QString& lastLoadedFileName() const { return LastLoadedFileName; }
  const QString& tableFileName() const { return TableFileName; }
  const tarvo::RunParameters& parameters() const { return Parameters; }
  bool isRunning() const { return Run != nullptr; }
  // Ends the program as the system asks it to (SIGTERM, say): a run or a search in progress stops
  // and cleans up its files, and the window's settings are kept; unsaved edits are not asked about.
  void EndWithoutQuestions();

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // The commands' handlers; they run through Perform, which shows an error that escapes them.
  void FileNewExecute();
  void FileOpen1Accept();
  void FileSaveExecute();
  void FileSaveAs1Accept();
  void FileExit1Execute();
  void EditCut1Execute();
  void EditCopy1Execute();
  void EditPaste1Execute();
  void SearchFind1Execute();
  void SearchReplace1Execute();
  void ParamDialogExecute();
  void TreeBuildExecute();
  void TuneParamsExecute();
  void TuneSettingChosen(const tarvo::TuningRow& row);
  void StopBuildingExecute();
  void Action1Execute();
  void HelpGuideExecute();
  void OKClick();
  void ResultsListRunChosen(int index);

 private slots:
  void RichEdit1SelectionChange();
  void UpdateEditActions();

 private:
  void createEditor();
  void createTreeView();
  void createActions();
  void createMenus();
  void createToolBar();
  void createStatusBar();
  void createParameterPanel();
  void FormCreate();

  template <class Command>
  void Perform(Command command);
  void LoadEditor(const QString& fileName, TBrokenUtf8 broken = TBrokenUtf8::WholeFileAsLatin1);
  void SaveEditor(const QString& fileName);
  void UpdateEditorReadOnly();
  // Who takes the table TableToRun resolves: its questions name the command.
  enum class TTableUse { GrowTree, ApplyModel };
  QString TableToRun(TTableUse use = TTableUse::GrowTree);
  bool ConfirmUnsavedEdits(const QString& before);
  void SetCurrentFile(const QString& fileName, const QString& shownName);
  void SetPanel(int panel, const QString& text);
  void ShowWarnings(const std::vector<std::string>& warnings);
  void FillParameterPanel();
  void RefillOpenParameterPanel();
  QString ReadOnlyReason() const;
  TCsvTarget CheckedCsvPick(int32_t number) const;
  void CheckNominalColumns(const QStringList& nominal) const;
  int32_t CsvColumnToPredict(const QString& table, QString& note) const;
  void HideParameterPanel();
  void ShowSearch(TFindDialog*& dialog, bool replacing);

  void SetRunning(bool running);
  void RunEnded(const TRunOutcome& outcome);
  void StopRunAndWait();
  bool IsTuning() const;
  void UpdateStopTip();
  void GiveTreeViewRoom();
  void SaveWindowSettings();
  bool SettlePanelEdits();

  TDialogs& Dialogs;
  QDialog* AboutBox = nullptr;

  // What the editor shows and where it belongs; see SetCurrentFile and TreeBuildExecute.
  QString CurrentFileName = "untitled.txt";
  QString ShownFileName = "untitled.txt";  // in panel 0 and the title: what unsaved edits are of
  QString LastLoadedFileName;
  // The editor shows a run's report that has not been given a name with Save As: Save asks for
  // one, so that the report never lands on the table.
  bool EditorShowsReport = false;
  // The editor shows a run's report, named or not: Grow Tree runs TableFileName without asking.
  bool EditorHoldsReport = false;
  // What Grow Tree and Tune run on: the last table opened or saved, untitled.txt after New. A
  // report, the guide or another text that is not a table never becomes it.
  QString TableFileName = "untitled.txt";
  TTextFormat EditorFormat;
  tarvo::RunParameters Parameters;
  // The CSV or TSV table the panel's column pick belongs to (empty for a table file), its columns
  // and the column the panel showed when filled.
  struct TPanelCsv {
    QString Table;
    QList<TTableColumn> Columns;
    int32_t Shown = 0;
  } PanelCsv;
  // Which column the last run on a CSV or TSV table predicted; empty for a table file.
  QString RunNote;
  // What read from param.par for the run in progress without an error but probably not as meant.
  std::vector<std::string> ParameterWarnings;
  // Off while the report is loaded (the load is no caret change, so panel 1 stays empty) and
  // while a run uses panel 1 for its progress.
  bool ShowCaretPosition = true;

  // The run in progress, or none, and what the results list will keep of it.
  TEngineRun* Run = nullptr;
  TRunRecord RunRecord;
  QElapsedTimer RunClock;
  int ShownRun = -1;  // the row of the results list whose report the editor shows, or -1
  TEngineRun::TTreeStartHook TreeStartHook;

  QPlainTextEdit* RichEdit1 = nullptr;
  QStatusBar* StatusBar1 = nullptr;
  QLabel* Panels[3] = {};
  TRunProgress* RunProgress = nullptr;
  TElidedLabel* RunWarning = nullptr;    // what the last run read but probably not as meant
  TParameterPanel* GroupBox1 = nullptr;  // with its edits and OK
  TFindDialog* FindDialog = nullptr;
  TFindDialog* ReplaceDialog = nullptr;
  TTuneDialog* TuneDialog = nullptr;
  TUserGuide* UserGuide = nullptr;
  TTreeView* TreeView = nullptr;  // the trees of the run shown
  TResultsList* ResultsList = nullptr;
  bool EndingWithoutQuestions = false;      // the system asked the program to end (a signal)
  bool TreeViewSized = false;               // the Tree view has had its first size: now the user's
  TModelCommands* ModelCommands = nullptr;  // Save Model and Apply Model

  QAction* FileNew = nullptr;
  QAction* FileOpen1 = nullptr;
  QAction* FileSave = nullptr;
  QAction* FileSaveAs1 = nullptr;
  QAction* FileExit1 = nullptr;
  QAction* EditCut1 = nullptr;
  QAction* EditCopy1 = nullptr;
  QAction* EditPaste1 = nullptr;
  QAction* SearchFind1 = nullptr;
  QAction* SearchReplace1 = nullptr;
  QAction* ParamDialog = nullptr;
  QAction* TreeBuild = nullptr;
  QAction* GrowTreeItem = nullptr;
  QAction* StopBuilding = nullptr;
  QAction* TuneParams = nullptr;
  QAction* Action1 = nullptr;
  QAction* HelpGuide = nullptr;
};
