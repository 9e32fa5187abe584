// The modal dialogs of the window behind one small interface, so that tests can answer them.
#pragma once

#include <QString>
#include <QStringList>

class QDialog;
class QWidget;

class TDialogs {
 public:
  virtual ~TDialogs() = default;

  // The open-file dialog; the chosen full name, or an empty text when cancelled.
  virtual QString AskOpenFileName(QWidget* parent, const QString& filter,
                                  const QString& defaultSuffix) = 0;
  // The save-file dialog, starting in folder (empty: the dialog's default); it does not ask
  // before overwriting unless askBeforeReplacing. The chosen full name, or an empty text when
  // cancelled. A name typed without a suffix gets the one of the filter chosen; chosenFilter, when
  // given, receives that filter.
  virtual QString AskSaveFileName(QWidget* parent, const QString& title, const QString& folder,
                                  const QString& filter, const QString& defaultSuffix,
                                  QString* chosenFilter = nullptr,
                                  bool askBeforeReplacing = false) = 0;
  // A question with the buttons Yes and No; true only for Yes.
  virtual bool AskYesNo(QWidget* parent, const QString& question) = 0;
  // A question with the given buttons, the first the default; the index of the one chosen, or -1
  // when the box was closed (Escape), which means Cancel.
  virtual int AskChoice(QWidget* parent, const QString& question, const QStringList& buttons) = 0;
  // An error that stopped a command.
  virtual void ShowError(QWidget* parent, const QString& message) = 0;
  // A note that needs no decision, such as a search that found nothing.
  virtual void ShowNote(QWidget* parent, const QString& message) = 0;
  // Shows a dialog modally and returns when it is closed.
  virtual void ShowModal(QDialog& dialog) = 0;
  // Ends the program at once, without saving or asking anything.
  virtual void ExitNow() = 0;
};

// The suffix of a file filter's first pattern ("png" for "PNG Images (*.png)"); empty for "*".
QString SuffixOfFilter(const QString& filter);

// The real dialogs of the toolkit.
class TQtDialogs : public TDialogs {
 public:
  QString AskOpenFileName(QWidget* parent, const QString& filter,
                          const QString& defaultSuffix) override;
  QString AskSaveFileName(QWidget* parent, const QString& title, const QString& folder,
                          const QString& filter, const QString& defaultSuffix,
                          QString* chosenFilter = nullptr,
                          bool askBeforeReplacing = false) override;
  bool AskYesNo(QWidget* parent, const QString& question) override;
  int AskChoice(QWidget* parent, const QString& question, const QStringList& buttons) override;
  void ShowError(QWidget* parent, const QString& message) override;
  void ShowNote(QWidget* parent, const QString& message) override;
  void ShowModal(QDialog& dialog) override;
  void ExitNow() override;
};
