#include "find_replace.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

#include "dialogs.h"

TFindDialog::TFindDialog(Mode mode, QPlainTextEdit& editor, TDialogs& dialogs, QWidget* parent)
    : QDialog(parent), editor_(editor), dialogs_(dialogs) {
  const bool replacing = mode == Mode::Replace;
  setObjectName(replacing ? "ReplaceDialog" : "FindDialog");
  setWindowTitle(replacing ? "Replace" : "Find");
  setModal(false);

  findWhat_ = new QLineEdit(this);
  findWhat_->setObjectName("FindWhat");
  auto* fields = new QFormLayout;
  fields->addRow("Fi&nd what:", findWhat_);
  if (replacing) {
    replaceWith_ = new QLineEdit(this);
    replaceWith_->setObjectName("ReplaceWith");
    fields->addRow("Re&place with:", replaceWith_);
  }

  matchCase_ = new QCheckBox("Match &case", this);
  matchCase_->setObjectName("MatchCase");
  wholeWord_ = new QCheckBox("Match &whole word only", this);
  wholeWord_->setObjectName("WholeWord");
  auto* direction = new QGroupBox("Direction", this);
  up_ = new QRadioButton("&Up", direction);
  up_->setObjectName("SearchUp");
  auto* down = new QRadioButton("&Down", direction);
  down->setChecked(true);
  auto* directionLayout = new QHBoxLayout(direction);
  directionLayout->addWidget(up_);
  directionLayout->addWidget(down);

  auto* buttons = new QDialogButtonBox(Qt::Vertical, this);
  findNext_ = buttons->addButton("&Find Next", QDialogButtonBox::ActionRole);
  findNext_->setDefault(true);
  connect(findNext_, &QPushButton::clicked, this, &TFindDialog::FindNext);
  if (replacing) {
    connect(buttons->addButton("&Replace", QDialogButtonBox::ActionRole), &QPushButton::clicked,
            this, &TFindDialog::ReplaceOne);
    connect(buttons->addButton("Replace &All", QDialogButtonBox::ActionRole), &QPushButton::clicked,
            this, &TFindDialog::ReplaceAll);
  }
  connect(buttons->addButton(QDialogButtonBox::Cancel), &QPushButton::clicked, this,
          &QDialog::hide);
  connect(findWhat_, &QLineEdit::textChanged, this,
          [this](const QString& text) { findNext_->setEnabled(!text.isEmpty()); });
  findNext_->setEnabled(false);

  auto* options = new QHBoxLayout;
  options->addWidget(matchCase_);
  options->addWidget(wholeWord_);
  auto* left = new QVBoxLayout;
  left->addLayout(fields);
  left->addLayout(options);
  left->addWidget(direction);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left);
  layout->addWidget(buttons);
}

void TFindDialog::Start(const QString& findWhat) {
  if (!findWhat.isEmpty()) findWhat_->setText(findWhat);
  findWhat_->selectAll();
  findWhat_->setFocus();
}

bool TFindDialog::FindNext() {
  const QString text = findWhat_->text();
  if (text.isEmpty()) return false;
  QTextDocument::FindFlags flags;
  if (matchCase_->isChecked()) flags |= QTextDocument::FindCaseSensitively;
  if (wholeWord_->isChecked()) flags |= QTextDocument::FindWholeWords;
  if (up_->isChecked()) flags |= QTextDocument::FindBackward;
  if (editor_.find(text, flags)) return true;
  ReportNotFound();
  return false;
}

bool TFindDialog::SelectionMatches() const {
  const QTextCursor cursor = editor_.textCursor();
  if (!cursor.hasSelection()) return false;
  const Qt::CaseSensitivity cs = matchCase_->isChecked() ? Qt::CaseSensitive : Qt::CaseInsensitive;
  return cursor.selectedText().compare(findWhat_->text(), cs) == 0;
}

bool TFindDialog::ReplaceOne() {
  // A read-only editor (during a run) is searched but never changed.
  if (findWhat_->text().isEmpty() || editor_.isReadOnly()) return false;
  if (SelectionMatches()) editor_.textCursor().insertText(replaceWith_->text());
  return FindNext();
}

int TFindDialog::ReplaceAll() {
  const QString text = findWhat_->text();
  if (text.isEmpty() || editor_.isReadOnly()) return 0;
  QTextDocument::FindFlags flags;
  if (matchCase_->isChecked()) flags |= QTextDocument::FindCaseSensitively;
  if (wholeWord_->isChecked()) flags |= QTextDocument::FindWholeWords;

  QTextDocument* document = editor_.document();
  QTextCursor edit(document);
  edit.beginEditBlock();
  int count = 0;
  // Each search starts after the text just inserted, so a replacement is never searched again.
  for (QTextCursor match = document->find(text, 0, flags); !match.isNull();
       match = document->find(text, match, flags)) {
    match.insertText(replaceWith_->text());
    ++count;
  }
  edit.endEditBlock();
  if (count == 0) ReportNotFound();
  return count;
}

void TFindDialog::ReportNotFound() {
  dialogs_.ShowNote(this, QString("Cannot find \"%1\".").arg(findWhat_->text()));
}
