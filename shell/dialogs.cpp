#include "dialogs.h"

#include <QCoreApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

namespace {

// Runs a file dialog and returns its one chosen name, or an empty text when cancelled.
QString ChosenFile(QFileDialog& dialog) {
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().first();
}

}  // namespace

QString TQtDialogs::AskOpenFileName(QWidget* parent, const QString& filter,
                                    const QString& defaultSuffix) {
  QFileDialog dialog(parent, QString(), QString(), filter);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(defaultSuffix);
  return ChosenFile(dialog);
}

QString TQtDialogs::AskSaveFileName(QWidget* parent, const QString& title, const QString& folder,
                                    const QString& filter, const QString& defaultSuffix) {
  QFileDialog dialog(parent, title, folder, filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.setDefaultSuffix(defaultSuffix);
  return ChosenFile(dialog);
}

bool TQtDialogs::AskYesNo(QWidget* parent, const QString& question) {
  QMessageBox box(QMessageBox::Question, QCoreApplication::applicationName(), question,
                  QMessageBox::Yes | QMessageBox::No, parent);
  return box.exec() == QMessageBox::Yes;
}

void TQtDialogs::ShowError(QWidget* parent, const QString& message) {
  QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(), message,
                  QMessageBox::Ok, parent);
  box.exec();
}

void TQtDialogs::ShowNote(QWidget* parent, const QString& message) {
  QMessageBox box(QMessageBox::Information, QCoreApplication::applicationName(), message,
                  QMessageBox::Ok, parent);
  box.exec();
}

void TQtDialogs::ShowModal(QDialog& dialog) {
  dialog.exec();
}

void TQtDialogs::ExitNow() {
  QCoreApplication::exit(0);
}
