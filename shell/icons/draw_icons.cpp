// Draws the tool bar and menu icons of tarvo2 as PNG files, 24 x 24 and 48 x 48 (name@2x.png).
// Usage: tarvo2_draw_icons FOLDER
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <cmath>
#include <cstdio>
#include <functional>
#include <utility>
#include <vector>

namespace {

const QColor kOutline(60, 60, 70);
const QColor kPaper(255, 255, 255);
const QColor kFolder(236, 190, 70);
const QColor kBlue(50, 100, 190);
const QColor kGreen(40, 140, 60);
const QColor kRed(200, 40, 40);

QPen Outline(double width = 1.0) {
  return QPen(kOutline, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// A sheet of paper with a folded corner, its top left at (x, y).
void DrawPage(QPainter& p, double x, double y, double w, double h) {
  QPolygonF sheet;
  sheet << QPointF(x, y) << QPointF(x + w - 5, y) << QPointF(x + w, y + 5) << QPointF(x + w, y + h)
        << QPointF(x, y + h);
  p.setPen(Outline());
  p.setBrush(kPaper);
  p.drawPolygon(sheet);
  p.drawPolyline(QPolygonF() << QPointF(x + w - 5, y) << QPointF(x + w - 5, y + 5)
                             << QPointF(x + w, y + 5));
}

void DrawLines(QPainter& p, double x, double y, double w, int count) {
  p.setPen(QPen(QColor(150, 150, 160), 1.0));
  for (int i = 0; i < count; ++i) p.drawLine(QPointF(x, y + 3 * i), QPointF(x + w, y + 3 * i));
}

void DrawDisk(QPainter& p, double x, double y, double s) {
  p.setPen(Outline());
  p.setBrush(kBlue);
  QPolygonF body;
  body << QPointF(x, y) << QPointF(x + s - 3, y) << QPointF(x + s, y + 3) << QPointF(x + s, y + s)
       << QPointF(x, y + s);
  p.drawPolygon(body);
  p.setBrush(kPaper);
  p.drawRect(QRectF(x + 3, y + s * 0.55, s - 6, s * 0.45 - 1));
  p.setBrush(QColor(200, 210, 225));
  p.drawRect(QRectF(x + 4, y, s - 9, s * 0.35));
}

void DrawMagnifier(QPainter& p, double cx, double cy, double r) {
  p.setPen(QPen(kOutline, 2.5, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(cx + r * 0.7, cy + r * 0.7), QPointF(cx + r * 1.9, cy + r * 1.9));
  p.setPen(Outline(1.5));
  p.setBrush(QColor(200, 225, 250));
  p.drawEllipse(QPointF(cx, cy), r, r);
}

void DrawNew(QPainter& p) {
  DrawPage(p, 5, 2, 14, 20);
  p.setPen(QPen(QColor(240, 180, 0), 1.5));
  p.drawLine(QPointF(17, 14), QPointF(17, 22));
  p.drawLine(QPointF(13, 18), QPointF(21, 18));
}

void DrawOpen(QPainter& p) {
  p.setPen(Outline());
  p.setBrush(kFolder.darker(115));
  QPolygonF back;
  back << QPointF(2, 5) << QPointF(8, 5) << QPointF(10, 7) << QPointF(19, 7) << QPointF(19, 20)
       << QPointF(2, 20);
  p.drawPolygon(back);
  p.setBrush(kFolder);
  QPolygonF front;
  front << QPointF(5, 11) << QPointF(23, 11) << QPointF(19, 20) << QPointF(2, 20);
  p.drawPolygon(front);
}

void DrawSave(QPainter& p) {
  DrawDisk(p, 3, 3, 18);
}

void DrawSaveAs(QPainter& p) {
  DrawDisk(p, 2, 2, 16);
  // A pencil across the lower right corner.
  p.setPen(Outline());
  p.setBrush(QColor(240, 180, 0));
  QPolygonF pencil;
  pencil << QPointF(13, 21) << QPointF(21, 13) << QPointF(23, 15) << QPointF(15, 23);
  p.drawPolygon(pencil);
  p.setBrush(kOutline);
  p.drawPolygon(QPolygonF() << QPointF(13, 21) << QPointF(15, 23) << QPointF(12, 24));
}

void DrawExit(QPainter& p) {
  p.setPen(Outline());
  p.setBrush(QColor(150, 100, 60));
  p.drawRect(QRectF(3, 2, 11, 20));
  p.setBrush(kOutline);
  p.drawEllipse(QPointF(11.5, 12), 1, 1);
  p.setPen(QPen(kRed, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawLine(QPointF(13, 12), QPointF(22, 12));
  p.drawPolyline(QPolygonF() << QPointF(18, 8) << QPointF(22, 12) << QPointF(18, 16));
}

void DrawCut(QPainter& p) {
  p.setPen(QPen(kOutline, 1.8, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(7, 2), QPointF(15, 15));
  p.drawLine(QPointF(17, 2), QPointF(9, 15));
  p.setPen(QPen(kRed, 2));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QPointF(7.5, 18), 3.5, 3.5);
  p.drawEllipse(QPointF(16.5, 18), 3.5, 3.5);
}

void DrawCopy(QPainter& p) {
  DrawPage(p, 2, 2, 12, 15);
  DrawLines(p, 4, 7, 7, 3);
  DrawPage(p, 9, 7, 12, 15);
  DrawLines(p, 11, 12, 7, 3);
}

void DrawPaste(QPainter& p) {
  p.setPen(Outline());
  p.setBrush(QColor(170, 120, 70));
  p.drawRoundedRect(QRectF(3, 4, 15, 18), 1.5, 1.5);
  p.setBrush(QColor(200, 200, 200));
  p.drawRect(QRectF(7, 2, 7, 4));
  DrawPage(p, 10, 9, 12, 14);
  DrawLines(p, 12, 14, 7, 3);
}

void DrawFind(QPainter& p) {
  DrawMagnifier(p, 10, 10, 6);
}

void DrawReplace(QPainter& p) {
  DrawMagnifier(p, 8, 8, 5);
  p.setPen(QPen(kGreen, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  QPainterPath turn;
  turn.moveTo(22, 12);
  turn.cubicTo(22, 20, 16, 22, 11, 22);
  p.drawPath(turn);
  p.drawPolyline(QPolygonF() << QPointF(14, 19) << QPointF(11, 22) << QPointF(14, 25));
}

void DrawParameters(QPainter& p) {
  const double knobs[3] = {15, 7, 12};
  for (int i = 0; i < 3; ++i) {
    const double y = 5 + 7 * i;
    p.setPen(QPen(kOutline, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(3, y), QPointF(21, y));
    p.setPen(Outline());
    p.setBrush(kBlue);
    p.drawRoundedRect(QRectF(knobs[i] - 2.5, y - 3.5, 5, 7), 1.5, 1.5);
  }
}

// A root, two branches and three leaves: what a run grows.
void DrawGrowTree(QPainter& p) {
  p.setPen(QPen(kOutline, 1.5));
  const QPointF root(12, 4), left(6, 12), right(18, 12), leaves[3] = {{3, 20}, {9, 20}, {18, 20}};
  p.drawLine(root, left);
  p.drawLine(root, right);
  p.drawLine(left, leaves[0]);
  p.drawLine(left, leaves[1]);
  p.drawLine(right, leaves[2]);
  p.setPen(Outline());
  p.setBrush(kBlue);
  for (const QPointF& node : {root, left, right}) p.drawEllipse(node, 3, 3);
  p.setBrush(kGreen);
  for (const QPointF& leaf : leaves) p.drawRect(QRectF(leaf.x() - 2.5, leaf.y() - 2, 5, 4));
}

void DrawStop(QPainter& p) {
  QPolygonF octagon;
  for (int i = 0; i < 8; ++i) {
    const double a = (22.5 + 45.0 * i) * 3.14159265358979 / 180.0;
    octagon << QPointF(12 + 10 * std::cos(a), 12 + 10 * std::sin(a));
  }
  p.setPen(QPen(kRed.darker(140), 1));
  p.setBrush(kRed);
  p.drawPolygon(octagon);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawRect(QRectF(6, 10.5, 12, 3));
}

void DrawAbout(QPainter& p) {
  p.setPen(QPen(kBlue.darker(130), 1));
  p.setBrush(kBlue);
  p.drawEllipse(QPointF(12, 12), 10, 10);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawEllipse(QPointF(12, 7), 1.8, 1.8);
  p.drawRoundedRect(QRectF(10.5, 10, 3, 9), 1, 1);
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication application(argc, argv);
  if (argc != 2) {
    std::fputs("Usage: tarvo2_draw_icons FOLDER\n", stderr);
    return 64;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  const std::vector<std::pair<const char*, std::function<void(QPainter&)>>> icons = {
      {"new", DrawNew},
      {"open", DrawOpen},
      {"save", DrawSave},
      {"saveas", DrawSaveAs},
      {"exit", DrawExit},
      {"cut", DrawCut},
      {"copy", DrawCopy},
      {"paste", DrawPaste},
      {"find", DrawFind},
      {"replace", DrawReplace},
      {"parameters", DrawParameters},
      {"growtree", DrawGrowTree},
      {"stop", DrawStop},
      {"about", DrawAbout}};
  for (const auto& [name, draw] : icons) {
    for (int scale : {1, 2}) {
      QImage image(24 * scale, 24 * scale, QImage::Format_ARGB32);
      image.fill(Qt::transparent);
      QPainter painter(&image);
      painter.setRenderHint(QPainter::Antialiasing);
      painter.scale(scale, scale);
      draw(painter);
      painter.end();
      const QString file =
          QString("%1/%2%3.png").arg(folder, QString::fromLatin1(name), scale == 2 ? "@2x" : "");
      if (!image.save(file)) {
        std::fprintf(stderr, "Cannot write %s\n", file.toLocal8Bit().constData());
        return 1;
      }
    }
  }
  return 0;
}
