// The About box: the program's icon, name, version, purpose and licence. Without a parent it
// opens centred on the screen.
#pragma once

#include <QDialog>

class TAboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutBox(QWidget* parent = nullptr);
};
