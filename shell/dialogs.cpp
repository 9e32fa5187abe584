#include "dialogs.h"

#include <QCoreApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>

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

QString SuffixOfFilter(const QString& filter) {
  const QRegularExpressionMatch match = QRegularExpression(R"(\*\.(\w+))").match(filter);
  return match.hasMatch() ? match.captured(1) : QString();
}

QString TQtDialogs::AskSaveFileName(QWidget* parent, const QString& title, const QString& folder,
                                    const QString& filter, const QString& defaultSuffix,
                                    QString* chosenFilter, bool askBeforeReplacing) {
  QFileDialog dialog(parent, title, folder, filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !askBeforeReplacing);
  dialog.setDefaultSuffix(defaultSuffix);
  // A bare name takes the suffix of the filter the user chose, not always the first one's.
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                   [&dialog, defaultSuffix](const QString& chosen) {
                     const QString suffix = SuffixOfFilter(chosen);
                     dialog.setDefaultSuffix(suffix.isEmpty() ? defaultSuffix : suffix);
                   });
  const QString name = ChosenFile(dialog);
  if (chosenFilter) *chosenFilter = dialog.selectedNameFilter();
  return name;
}

bool TQtDialogs::AskYesNo(QWidget* parent, const QString& question) {
  QMessageBox box(QMessageBox::Question, QCoreApplication::applicationName(), question,
                  QMessageBox::Yes | QMessageBox::No, parent);
  return box.exec() == QMessageBox::Yes;
}

int TQtDialogs::AskChoice(QWidget* parent, const QString& question, const QStringList& buttons) {
  QMessageBox box(QMessageBox::Question, QCoreApplication::applicationName(), question,
                  QMessageBox::NoButton, parent);
  QList<QAbstractButton*> added;
  for (const QString& text : buttons) added << box.addButton(text, QMessageBox::AcceptRole);
  box.addButton(QMessageBox::Cancel);
  if (!added.isEmpty()) box.setDefaultButton(qobject_cast<QPushButton*>(added.first()));
  box.exec();
  return static_cast<int>(added.indexOf(box.clickedButton()));
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
