// Help > User Guide: TARVO.TXT in a window of its own, beside the editor.
#pragma once

#include <QDialog>
#include <QString>

// The guide of the working folder, else the one installed with the program; empty when neither
// exists.
QString FindUserGuide();

// A non-modal, read-only view of the guide's text.
class TUserGuide : public QDialog {
  Q_OBJECT

 public:
  // Throws std::runtime_error "Cannot open file ..." when the guide cannot be read.
  TUserGuide(const QString& fileName, QWidget* parent = nullptr);
};
