// tarvo2: the window. Files without a folder (param.par, prog.par, output.txt, autoread.txt) are
// those of the folder it is started in, or of ~/Tarvo for an installed program started elsewhere.
#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <clocale>

#include "about.h"
#include "dialogs.h"
#include "end_signals.h"
#include "startup_options.h"
#include "tarvo32.h"
#include "working_folder.h"

int main(int argc, char** argv) {
  if (const auto status = AnswerStartupOptions(argc, argv)) return *status;
  QApplication application(argc, argv);
  // Number texts are never localised; the application has just set the locale from the environment.
  std::setlocale(LC_NUMERIC, "C");
  QApplication::setApplicationName("Tarvo2");
  QApplication::setApplicationVersion(TARVO_VERSION);
  QApplication::setWindowIcon(QIcon(":/icons/growtree.png"));

  const QString folderProblem = ChooseWorkingFolder();
  TQtDialogs dialogs;
  TForm1 Form1(dialogs);
  TAboutBox AboutBox;
  Form1.SetAboutBox(&AboutBox);
  // Asked by the system to end, a run or a search stops and cleans up as on closing, without
  // questions: nobody may be there to answer them.
  TEndSignals endSignals;
  QObject::connect(&endSignals, &TEndSignals::EndRequested, &Form1, &TForm1::EndWithoutQuestions);
  Form1.show();
  if (!folderProblem.isEmpty()) QMessageBox::warning(&Form1, "Tarvo2", folderProblem);
  return application.exec();
}
