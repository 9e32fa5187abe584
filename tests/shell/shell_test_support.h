// What the window tests share: scripted answers to the modal dialogs, the fixture that gives each
// test function a temporary working folder, and file and run helpers.
#pragma once

#include <sys/resource.h>

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <clocale>
#include <csignal>
#include <memory>

#include "dialogs.h"
#include "tarvo32.h"

// Answers the dialogs as a test has arranged and records what was asked.
class TScriptedDialogs : public TDialogs {
 public:
  QStringList OpenAnswers;  // taken in turn; none left means Cancel
  QStringList SaveAnswers;
  QString SaveFilterAnswer;  // the filter the save dialog reports as chosen
  bool AnswerYes = false;
  QList<int> ChoiceAnswers;  // button indexes taken in turn; none left means Cancel (-1)

  int OpenAsked = 0;
  QString OpenFilter;  // of the last open dialog
  int SaveAsked = 0;
  bool SaveAsksBeforeReplacing = false;  // of the last save dialog
  QString SaveTitle;
  QString SaveFolder;
  QStringList Questions;  // of AskYesNo and AskChoice, in the order asked
  QStringList Errors;
  QStringList Notes;
  QStringList ModalShown;  // object names of the dialogs shown modally
  int ExitRequests = 0;

  QString AskOpenFileName(QWidget*, const QString& filter, const QString&) override {
    ++OpenAsked;
    OpenFilter = filter;
    return OpenAnswers.isEmpty() ? QString() : OpenAnswers.takeFirst();
  }
  QString AskSaveFileName(QWidget*, const QString& title, const QString& folder, const QString&,
                          const QString&, QString* chosenFilter, bool askBeforeReplacing) override {
    SaveAsksBeforeReplacing = askBeforeReplacing;
    ++SaveAsked;
    SaveTitle = title;
    SaveFolder = folder;
    if (chosenFilter) *chosenFilter = SaveFilterAnswer;
    return SaveAnswers.isEmpty() ? QString() : SaveAnswers.takeFirst();
  }
  bool AskYesNo(QWidget*, const QString& question) override {
    Questions << question;
    return AnswerYes;
  }
  int AskChoice(QWidget*, const QString& question, const QStringList&) override {
    Questions << question;
    return ChoiceAnswers.isEmpty() ? -1 : ChoiceAnswers.takeFirst();
  }
  void ShowError(QWidget*, const QString& message) override { Errors << message; }
  void ShowNote(QWidget*, const QString& message) override { Notes << message; }
  void ShowModal(QDialog& dialog) override { ModalShown << dialog.objectName(); }
  void ExitNow() override { ++ExitRequests; }
};

// Makes a fresh temporary folder the working folder, and goes back on destruction.
class TWorkingFolder {
 public:
  TWorkingFolder() : previous_(QDir::currentPath()) { QDir::setCurrent(folder_.path()); }
  ~TWorkingFolder() { QDir::setCurrent(previous_); }
  TWorkingFolder(const TWorkingFolder&) = delete;
  TWorkingFolder& operator=(const TWorkingFolder&) = delete;
  // The full name of a file in the folder.
  QString Path(const QString& name) const { return folder_.filePath(name); }

 private:
  QString previous_;
  QTemporaryDir folder_;
};

// The window's settings go to the test's own folder, never to the user's.
inline void IsolateSettings(const TWorkingFolder& folder) {
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder.Path("settings"));
}

// The fixture of every window test: the program's number locale, and a fresh working folder for
// each test function.
class TShellTest : public QObject {
  Q_OBJECT

 protected:
  std::unique_ptr<TWorkingFolder> folder_;
  // Fills the fresh folder; the run tests put the run's files there.
  virtual void PrepareFolder() {}

 private slots:
  void initTestCase() { std::setlocale(LC_NUMERIC, "C"); }
  void init() {
    folder_ = std::make_unique<TWorkingFolder>();
    IsolateSettings(*folder_);
    PrepareFolder();
  }
  void cleanup() { folder_.reset(); }
};

// While it lives, a file cannot grow past `bytes`: a write beyond fails as on a full disk.
class TFileSizeLimit {
 public:
  explicit TFileSizeLimit(rlim_t bytes) : signal_(std::signal(SIGXFSZ, SIG_IGN)) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~TFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, signal_);
  }
  TFileSizeLimit(const TFileSizeLimit&) = delete;
  TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  void (*signal_)(int);
};

inline void WriteBytes(const QString& name, const QByteArray& bytes) {
  QFile file(name);
  QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(name));
  QCOMPARE(file.write(bytes), bytes.size());
}

inline QByteArray ReadBytes(const QString& name) {
  QFile file(name);
  if (!file.open(QIODevice::ReadOnly)) return QByteArray("<missing>");
  return file.readAll();
}

inline void CopyFileHere(const QString& from, const QString& to) {
  QFile::remove(to);
  QVERIFY2(QFile::copy(from, to), qPrintable(from));
}

// The run's files: the chi-square table and param.par with the default values.
inline void PrepareRunFiles() {
  CopyFileHere(TARVO_PROG_PAR, "prog.par");
  WriteBytes("param.par", "1.000 1.000 0.050  100   1   1  10");
}

template <class T>
T* Child(QObject& parent, const char* name) {
  T* child = parent.findChild<T*>(name);
  if (!child) qFatal("no child %s", name);
  return child;
}

inline void Trigger(TForm1& form, const char* command) {
  Child<QAction>(form, command)->trigger();
}

// Replaces the editor's text as typing would: an edit, unlike setPlainText, which loads.
inline void TypeOver(TForm1& form, const QString& text) {
  auto* editor = Child<QPlainTextEdit>(form, "RichEdit1");
  editor->selectAll();
  editor->insertPlainText(text);
}

inline QString EditorText(TForm1& form) {
  return Child<QPlainTextEdit>(form, "RichEdit1")->toPlainText();
}

// The text of a status panel; for panel 0 the whole file name, which its tooltip holds (the panel
// itself may show a long name shortened).
inline QString PanelText(TForm1& form, int panel) {
  const QLabel* label = Child<QLabel>(form, qPrintable(QString("Panel%1").arg(panel)));
  return panel == 0 ? label->toolTip() : label->text();
}

// Grow Tree, waiting for the run to end.
inline void GrowTree(TForm1& form) {
  Trigger(form, "TreeBuild");
  QTRY_VERIFY_WITH_TIMEOUT(!form.isRunning(), 60000);
}
