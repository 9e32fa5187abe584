#include "about.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
  setObjectName("AboutBox");
  setWindowTitle("About");
  setFixedSize(298, 213);

  auto* panel = new QFrame(this);
  panel->setObjectName("Panel1");
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel->setGeometry(8, 8, 282, 161);

  auto* productName = new QLabel("Tarvo", panel);
  productName->setObjectName("ProductName");
  QFont nameFont = productName->font();
  nameFont.setPointSizeF(nameFont.pointSizeF() * 1.6);
  nameFont.setBold(true);
  productName->setFont(nameFont);
  productName->move(16, 16);
  productName->adjustSize();

  auto* version = new QLabel("Version 2.0", panel);
  version->setObjectName("Version");
  version->move(16, productName->y() + productName->height() + 8);
  version->adjustSize();

  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("OKButton");
  ok->setDefault(true);
  ok->setGeometry(111, 178, 75, 25);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
