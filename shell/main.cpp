// tarvo2: the window. Files without a folder (param.par, prog.par, output.txt, autoread.txt) are
// those of the folder it is started in.
#include <QApplication>
#include <QIcon>
#include <clocale>

#include "about.h"
#include "dialogs.h"
#include "tarvo32.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  // Number texts are never localised; the application has just set the locale from the environment.
  std::setlocale(LC_NUMERIC, "C");
  QApplication::setApplicationName("Tarvo2");
  QApplication::setApplicationVersion(TARVO_VERSION);
  QApplication::setWindowIcon(QIcon(":/icons/growtree.png"));

  TQtDialogs dialogs;
  TForm1 Form1(dialogs);
  TAboutBox AboutBox;
  Form1.SetAboutBox(&AboutBox);
  Form1.show();
  return application.exec();
}
