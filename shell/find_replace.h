// The find dialog and the replace dialog over the editor: small, non-modal, one class for both.
#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class TDialogs;

class TFindDialog : public QDialog {
  Q_OBJECT

 public:
  enum class Mode { Find, Replace };
  TFindDialog(Mode mode, QPlainTextEdit& editor, TDialogs& dialogs, QWidget* parent);

  // Starts a search with the given text (the editor's selection, when it is on one line).
  void Start(const QString& findWhat);

  // Selects the next match from the caret in the chosen direction; says so when there is none.
  bool FindNext();
  // Replaces the selection when it is a match, then finds the next one.
  bool ReplaceOne();
  // Replaces every match in the whole text as one undoable edit; returns how many. Neither
  // replacement changes a read-only editor.
  int ReplaceAll();

 private:
  bool SelectionMatches() const;
  void ReportNotFound();

  QPlainTextEdit& editor_;
  TDialogs& dialogs_;
  QLineEdit* findWhat_;
  QLineEdit* replaceWith_ = nullptr;
  QCheckBox* matchCase_;
  QCheckBox* wholeWord_;
  QRadioButton* up_;
  QPushButton* findNext_;
};
