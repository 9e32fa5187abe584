// TTreeView: lays out the described tree with Graphviz and draws it with Qt's graphics items.
#include "tree_view.h"

#include <QAction>
#include <QBuffer>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGraphicsScene>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QSvgGenerator>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string_view>

#include "dialogs.h"
#include "tarvo/atomic_file.h"
#include "tarvo/numbers.h"
#include "tree_graphviz.h"
#include "tree_labels.h"

namespace {

constexpr qreal kMargin = 12;

QPointF Place(const tarvo::TreeLayout::Point& p) {
  return QPointF(p.X, p.Y);
}
QRectF Place(const tarvo::TreeLayout::Box& b) {
  return QRectF(b.X, b.Y, b.Width, b.Height);
}

QPainterPath CurveOf(const tarvo::TreeLayout::Edge& edge) {
  QPainterPath path;
  if (edge.Curve.empty()) return path;
  path.moveTo(Place(edge.Curve[0]));
  for (size_t i = 1; i + 2 < edge.Curve.size(); i += 3) {
    path.cubicTo(Place(edge.Curve[i]), Place(edge.Curve[i + 1]), Place(edge.Curve[i + 2]));
  }
  return path;
}

// A filled triangle from the curve's end to the tip.
QPolygonF ArrowOf(const tarvo::TreeLayout::Edge& edge) {
  if (!edge.Arrow || edge.Curve.empty()) return QPolygonF();
  const QPointF base = Place(edge.Curve.back()), tip = Place(edge.ArrowTip);
  const QPointF along = tip - base;
  const QPointF across(-along.y() * 0.4, along.x() * 0.4);
  return QPolygonF({tip, base + across, base - across});
}

}  // namespace

TZoomView::TZoomView(QWidget* parent) : QGraphicsView(parent) {
  setDragMode(QGraphicsView::ScrollHandDrag);
  setRenderHint(QPainter::Antialiasing);
  setTransformationAnchor(QGraphicsView::AnchorUnderMouse);
  setBackgroundBrush(Qt::white);
}

void TZoomView::ZoomBy(qreal factor) {
  Mode = TScaleMode::User;
  const qreal now = transform().m11();
  // Between a tenth and eight times the picture's own size.
  const qreal next = std::clamp(now * factor, 0.1, 8.0);
  scale(next / now, next / now);
}

void TZoomView::FitTree() {
  Mode = TScaleMode::Fit;
  if (!scene()) return;
  fitInView(scene()->sceneRect(), Qt::KeepAspectRatio);
  // A small tree is not blown up beyond its own size.
  if (transform().m11() > 1.0) resetTransform();
}

void TZoomView::ShowReadable(const QPointF& focus) {
  FitTree();
  constexpr qreal kReadable = 0.7;  // the text of the boxes is 9 pixels high here
  if (transform().m11() >= kReadable) return;
  Mode = TScaleMode::Readable;
  Focus = focus;
  setTransform(QTransform::fromScale(kReadable, kReadable));
  centerOn(focus);
}

void TZoomView::resizeEvent(QResizeEvent* event) {
  QGraphicsView::resizeEvent(event);
  if (Mode == TScaleMode::Fit) FitTree();
  if (Mode == TScaleMode::Readable) ShowReadable(Focus);
}

void TZoomView::wheelEvent(QWheelEvent* event) {
  if (!(event->modifiers() & Qt::ControlModifier)) {
    QGraphicsView::wheelEvent(event);
    return;
  }
  ZoomBy(std::pow(1.0015, event->angleDelta().y()));
  event->accept();
}

TTreeView::TTreeView(TDialogs& dialogs, QWidget* parent)
    : QDockWidget("Tree", parent), Dialogs(dialogs) {
  setObjectName("TreeView");
  // It shows after a run that reported a tree, and stays: there is no command to reopen it.
  setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
  Scene = new QGraphicsScene(this);
  View = new TZoomView;
  View->setObjectName("TreeGraphics");
  View->setScene(Scene);

  VariantBox = new QComboBox;
  VariantBox->setObjectName("VariantSelector");
  // Always wide enough for its texts with their CV errors.
  VariantBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  VariantBox->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  connect(VariantBox, &QComboBox::currentIndexChanged, this, &TTreeView::ShowVariant);
  Legend = new QLabel;
  Legend->setObjectName("TreeLegend");
  // A long legend gives way rather than widen the dock; saved pictures hold all of it.
  Legend->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

  // The zoom commands work while the focus is anywhere in the dock.
  auto command = [&](const QString& text, const QKeySequence& keys, auto slot) {
    QAction* action = new QAction(text, this);
    action->setShortcut(keys);
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(action, &QAction::triggered, this, slot);
    addAction(action);
    QToolButton* button = new QToolButton;
    button->setDefaultAction(action);
    return button;
  };
  QHBoxLayout* controls = new QHBoxLayout;
  controls->addWidget(new QLabel("Variant:"));
  controls->addWidget(VariantBox);
  controls->addWidget(command("Zoom In", QKeySequence::ZoomIn, [this] { View->ZoomBy(1.25); }));
  controls->addWidget(command("Zoom Out", QKeySequence::ZoomOut, [this] { View->ZoomBy(0.8); }));
  controls->addWidget(command("Fit", QKeySequence("Ctrl+0"), [this] { View->FitTree(); }));
  QToolButton* save = command("Save Picture As...", QKeySequence(), [this] { SavePictureAs(); });
  save->setObjectName("SavePictureAs");
  controls->addWidget(save);
  controls->addSpacing(12);
  controls->addWidget(Legend, 1);

  QWidget* body = new QWidget;
  QVBoxLayout* layout = new QVBoxLayout(body);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addLayout(controls);
  layout->addWidget(View, 1);
  setWidget(body);
}

void TTreeView::SetTrees(std::vector<tarvo::TreeDescription> trees, TTreeCaption caption) {
  Trees = std::move(trees);
  Caption = std::move(caption);
  const QSignalBlocker quiet(VariantBox);
  VariantBox->clear();
  for (size_t i = 0; i < Trees.size(); ++i) {
    const QString error = i < static_cast<size_t>(Caption.Errors.size())
                              ? Caption.Errors[static_cast<qsizetype>(i)]
                              : QString();
    VariantBox->addItem(QString("Variant %1").arg(Trees[i].Variant) +
                        (error.isEmpty() ? QString() : ", CV error " + error));
  }
  // Shown first, so that the view has its size when the tree is fitted into it.
  setVisible(!Trees.empty());
  ShowVariant(0);
}

void TTreeView::ShowVariant(int index) {
  Scene->clear();
  Legend->clear();
  if (index < 0 || index >= static_cast<int>(Trees.size())) return;
  if (VariantBox->currentIndex() != index) VariantBox->setCurrentIndex(index);
  try {
    DrawTree(Trees[index]);
  } catch (const std::exception& error) {
    Dialogs.ShowError(this, QString::fromStdString(error.what()));
    return;
  }
  ShowLegend(Trees[index]);
  View->ShowReadable(RootCentre);
}

void TTreeView::DrawTree(const tarvo::TreeDescription& tree) {
  std::vector<tarvo::Size> nodeSizes, labelSizes;
  std::vector<QString> labels;
  for (const tarvo::TreeNodeDescription& node : tree.Nodes) {
    const QSizeF size = TTreeNodeItem::Measure(tree, node, Fonts);
    nodeSizes.push_back({size.width(), size.height()});
    for (size_t k = 0; k < node.Branches.size(); ++k) {
      labels.push_back(QString::fromStdString(tarvo::BranchLabel(node, k)));
      const QSizeF label = TTreeEdgeItem::Measure(labels.back(), Fonts);
      labelSizes.push_back({label.width(), label.height()});
    }
  }
  const tarvo::TreeLayout layout = tarvo::LayOutTree(tree, nodeSizes, labelSizes);
  for (size_t k = 0; k < layout.Edges.size(); ++k) {
    const tarvo::TreeLayout::Edge& edge = layout.Edges[k];
    Scene->addItem(
        new TTreeEdgeItem(CurveOf(edge), ArrowOf(edge), Place(edge.Label), labels[k], Fonts));
  }
  for (size_t i = 0; i < tree.Nodes.size(); ++i) {
    Scene->addItem(new TTreeNodeItem(tree, tree.Nodes[i], Place(layout.Nodes[i]), Fonts));
  }
  RootCentre = Place(layout.Nodes[0]).center();
  Scene->setSceneRect(
      QRectF(0, 0, layout.Width, layout.Height).adjusted(-kMargin, -kMargin, kMargin, kMargin));
}

void TTreeView::ShowLegend(const tarvo::TreeDescription& tree) {
  QString text;
  for (size_t c = 0; c < tree.ClassNames.size(); ++c) {
    text += QString("<span style=\"color:%1\">&#9632;</span>&nbsp;%2&nbsp;&nbsp; ")
                .arg(tarvo::ClassColour(static_cast<int32_t>(c)),
                     QString::fromStdString(tarvo::ToUtf8(tree.ClassNames[c])).toHtmlEscaped());
  }
  Legend->setText(text);
}

QString TTreeView::PictureTitle() const {
  const int index = VariantBox->currentIndex();
  if (index < 0 || index >= static_cast<int>(Trees.size())) return QString();
  const tarvo::TreeDescription& tree = Trees[static_cast<size_t>(index)];
  const tarvo::RunParameters& p = Caption.Parameters;
  const auto fixed = [](double value, int decimals) {
    return QString::fromStdString(tarvo::FormatReal(value, 1, decimals));
  };
  QString title = QString("%1: %2 (%3); look-ahead %4, homogeneity %5, folds %6; variant %7")
                      .arg(QFileInfo(Caption.Table).fileName(),
                           QString::fromStdString(tarvo::ToUtf8(tree.PredictedName)),
                           tree.Classification ? "classification" : "regression",
                           fixed(p.RecursiveComplexity, 2), fixed(p.Homogeneity, 3))
                      .arg(p.FoldsCrossValidate)
                      .arg(tree.Variant);
  const QString error = index < Caption.Errors.size() ? Caption.Errors[index] : QString();
  if (!error.isEmpty()) title += ", CV error " + error;
  return title;
}

qreal TTreeView::HeadingHeight() const {
  const int index = VariantBox->currentIndex();
  const bool legend = index >= 0 && index < static_cast<int>(Trees.size()) &&
                      Trees[static_cast<size_t>(index)].Classification;
  const qreal line = QFontMetricsF(Fonts.Title).height();
  return kMargin + line * (legend ? 2.5 : 1.5);
}

QSizeF TTreeView::PictureSize() const {
  const QSizeF tree = Scene->sceneRect().size();
  const qreal title = QFontMetricsF(Fonts.Title).horizontalAdvance(PictureTitle()) + 2 * kMargin;
  return QSizeF(std::max(tree.width(), title), HeadingHeight() + tree.height());
}

void TTreeView::PaintPicture(QPainter& painter) const {
  const QSizeF size = PictureSize();
  painter.fillRect(QRectF(QPointF(0, 0), size), Qt::white);
  const QFontMetricsF metrics(Fonts.Title);
  painter.setPen(Qt::black);
  painter.setFont(Fonts.Title);
  qreal y = kMargin + metrics.ascent();
  painter.drawText(QPointF(kMargin, y), PictureTitle());
  // The legend: each class's colour and name, on one line under the title.
  const int index = VariantBox->currentIndex();
  const tarvo::TreeDescription& tree = Trees[static_cast<size_t>(index)];
  if (tree.Classification) {
    y += metrics.height();
    qreal x = kMargin;
    const qreal square = metrics.ascent() * 0.8;
    for (size_t c = 0; c < tree.ClassNames.size(); ++c) {
      painter.fillRect(QRectF(x, y - square, square, square),
                       QColor(tarvo::ClassColour(static_cast<int32_t>(c))));
      x += square + 4;
      const QString name = QString::fromStdString(tarvo::ToUtf8(tree.ClassNames[c]));
      painter.drawText(QPointF(x, y), name);
      x += metrics.horizontalAdvance(name) + 14;
    }
  }
  const QRectF source = Scene->sceneRect();
  Scene->render(&painter, QRectF(QPointF(0, HeadingHeight()), source.size()), source);
}

void TTreeView::SavePicture(const QString& fileName) {
  if (Trees.empty()) throw std::runtime_error("There is no tree to save.");
  const QSizeF size = PictureSize();
  // Drawn in memory first and then written whole: a failed write leaves the old picture as it was.
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  const QString suffix = QFileInfo(fileName).suffix().toLower();
  bool drawn = false;
  if (suffix == "svg") {
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(size.toSize());
    svg.setViewBox(QRectF(QPointF(0, 0), size));
    svg.setTitle(PictureTitle());
    QPainter painter;
    drawn = painter.begin(&svg);
    if (drawn) {
      PaintPicture(painter);
      drawn = painter.end();
    }
  } else {
    // An image at twice the picture's size, so that its text stays sharp when printed.
    QImage image((size * 2).toSize(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.scale(2, 2);
    PaintPicture(painter);
    painter.end();
    drawn = image.save(&buffer, suffix.toLatin1().constData());
  }
  if (!drawn) throw std::runtime_error("Cannot write file " + fileName.toStdString());
  const QByteArray& bytes = buffer.data();
  const int error = tarvo::WriteFileAtomically(
      QFile::encodeName(fileName).toStdString(),
      std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
  if (error != 0)
    throw std::runtime_error("Cannot write file " + fileName.toStdString() + ".\n" +
                             std::strerror(error));
}

void TTreeView::SavePictureAs() {
  QString filter;
  QString fileName =
      Dialogs.AskSaveFileName(this, "Save Picture As", QString(),
                              "SVG Pictures (*.svg);;PNG Images (*.png)", "svg", &filter, true);
  if (fileName.isEmpty()) return;
  // A name without a picture's suffix takes the one of the filter chosen.
  const QString suffix = QFileInfo(fileName).suffix().toLower();
  if (suffix != "svg" && suffix != "png") {
    const QString wanted = SuffixOfFilter(filter);
    fileName += "." + (wanted.isEmpty() ? QString("svg") : wanted);
  }
  try {
    SavePicture(fileName);
  } catch (const std::exception& error) {
    Dialogs.ShowError(this, QString::fromStdString(error.what()));
  }
}
