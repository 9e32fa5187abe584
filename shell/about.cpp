// The About box: icon, name, version, what the program does and its licence.
#include "about.h"

#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
  setObjectName("AboutBox");
  setWindowTitle("About");
  setWindowIcon(QIcon(":/icons/growtree.png"));
  setFixedSize(298, 213);

  auto* panel = new QFrame(this);
  panel->setObjectName("Panel1");
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel->setGeometry(8, 8, 282, 161);

  auto* icon = new QLabel(panel);
  icon->setObjectName("ProgramIcon");
  icon->setPixmap(QIcon(":/icons/growtree.png").pixmap(48, 48));
  icon->setGeometry(218, 14, 48, 48);

  auto* productName = new QLabel("Tarvo", panel);
  productName->setObjectName("ProductName");
  QFont nameFont = productName->font();
  nameFont.setPointSizeF(nameFont.pointSizeF() * 1.6);
  nameFont.setBold(true);
  productName->setFont(nameFont);
  productName->move(16, 16);
  productName->adjustSize();

  auto* version = new QLabel(QString("Version %1").arg(TARVO_VERSION), panel);
  version->setObjectName("Version");
  version->move(16, productName->y() + productName->height() + 8);
  version->adjustSize();

  auto* purpose = new QLabel(
      "Grows decision trees from a plain-text table and prints them as readable rules.", panel);
  purpose->setObjectName("Purpose");
  purpose->setWordWrap(true);
  purpose->setGeometry(16, version->y() + version->height() + 12, 250, 40);

  auto* licence = new QLabel(
      "Free software under the MIT License.\n"
      "Copyright (c) 2026 The Tarvo developers",
      panel);
  licence->setObjectName("Licence");
  licence->setGeometry(16, purpose->y() + purpose->height() + 6, 250, 36);

  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("OKButton");
  ok->setDefault(true);
  ok->setGeometry(111, 178, 75, 25);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
