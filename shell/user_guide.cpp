// Finding the guide and showing it.
#include "user_guide.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "tarvo/install_paths.h"
#include "text_file.h"

namespace {

constexpr const char* kGuideFile = "TARVO.TXT";

}  // namespace

QString FindUserGuide() {
  if (QFile::exists(kGuideFile)) return QDir::current().absoluteFilePath(kGuideFile);
  const QDir installed(QCoreApplication::applicationDirPath() + "/" + TARVO_DATA_FROM_BIN);
  if (installed.exists(kGuideFile)) return installed.absoluteFilePath(kGuideFile);
  return QString();
}

TUserGuide::TUserGuide(const QString& fileName, QWidget* parent) : QDialog(parent) {
  setObjectName("UserGuide");
  setWindowTitle("Tarvo2 User Guide");
  setModal(false);
  TTextFormat format;
  auto* text = new QPlainTextEdit(LoadTextFile(fileName, format), this);
  text->setObjectName("GuideText");
  text->setReadOnly(true);
  text->setLineWrapMode(QPlainTextEdit::NoWrap);
  // The guide's tables line up in a fixed-width font.
  text->setFont(QFont("Liberation Mono", 10));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(text);
  resize(640, 560);
}
