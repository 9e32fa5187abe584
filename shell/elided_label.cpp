#include "elided_label.h"

#include <QResizeEvent>

void TElidedLabel::SetFullText(const QString& text) {
  Full = text;
  setToolTip(text);
  Elide();
}

void TElidedLabel::showEvent(QShowEvent* event) {
  QLabel::showEvent(event);
  Elide();
}

void TElidedLabel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  Elide();
}

QSize TElidedLabel::minimumSizeHint() const {
  return QSize(minimumWidth(), QLabel::minimumSizeHint().height());
}

void TElidedLabel::Elide() {
  // A label that is not shown has no width of its own yet: it holds the text whole until it is.
  setText(isVisible() ? fontMetrics().elidedText(Full, Qt::ElideRight, width()) : Full);
}
