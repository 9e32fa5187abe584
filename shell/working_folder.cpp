// Setting up ~/Tarvo from the files installed beside the program.
#include "working_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "tarvo/install_paths.h"
#include "tarvo/parameters.h"

namespace {

constexpr const char* kChiSquareFile = "prog.par";

// Copies a file and makes the copy writable by its owner (installed files may be read-only).
bool CopyFile(const QString& from, const QString& to) {
  if (!QFile::copy(from, to)) return false;
  QFile copy(to);
  return copy.setPermissions(copy.permissions() | QFileDevice::WriteOwner);
}

QString SetUpFolder(const QDir& installed, const QString& folder) {
  if (!QDir().mkpath(folder)) return QString("Cannot create the folder %1").arg(folder);
  for (const QFileInfo& file : installed.entryInfoList(QDir::Files)) {
    const QString copy = QDir(folder).filePath(file.fileName());
    if (!QFile::exists(copy) && !CopyFile(file.filePath(), copy)) {
      return QString("Cannot copy %1 to %2").arg(file.filePath(), folder);
    }
  }
  const QString parameters = QDir(folder).filePath("param.par");
  if (!QFile::exists(parameters) &&
      !tarvo::WriteParameterFile(QFile::encodeName(parameters).toStdString(),
                                 tarvo::RunParameters{})) {
    return QString("Cannot create %1").arg(parameters);
  }
  return {};
}

}  // namespace

QString ChooseWorkingFolder() {
  if (QFile::exists(kChiSquareFile)) return {};
  const QDir installed(QCoreApplication::applicationDirPath() + "/" + TARVO_DATA_FROM_BIN);
  if (!installed.exists(kChiSquareFile)) return {};

  const QString folder = QDir::home().filePath("Tarvo");
  // The first start copies everything; later starts only bring back a missing prog.par, so the
  // user's edits and deletions stay.
  QString problem;
  if (!QFileInfo::exists(folder)) {
    problem = SetUpFolder(installed, folder);
  } else if (!QFile::exists(QDir(folder).filePath(kChiSquareFile))) {
    if (!CopyFile(installed.filePath(kChiSquareFile), QDir(folder).filePath(kChiSquareFile)))
      problem = QString("Cannot copy %1 to %2").arg(installed.filePath(kChiSquareFile), folder);
  }
  if (problem.isEmpty() && !QDir::setCurrent(folder)) {
    problem = QString("Cannot work in the folder %1").arg(folder);
  }
  return problem;
}
