// A one-line label that shows as much of its text as its width allows, ending in an ellipsis when
// it is cut, and the whole text in its tool tip; the cut follows the label's width as the window
// is resized.
#pragma once

#include <QLabel>
#include <QString>

class TElidedLabel : public QLabel {
  Q_OBJECT

 public:
  using QLabel::QLabel;

  void SetFullText(const QString& text);
  const QString& FullText() const { return Full; }

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  // Laid out by its parent, the label may be given less than the text needs.
  QSize minimumSizeHint() const override;

 private:
  void Elide();

  QString Full;
};
