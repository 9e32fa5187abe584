// The Tree view: a dock that draws the trees of the last run, one variant at a time, with zoom,
// pan, a legend of the class colours and "Save Picture As..." (SVG or PNG).
#pragma once

#include <QDockWidget>
#include <QGraphicsView>
#include <memory>
#include <vector>

#include "tarvo/parameters.h"
#include "tarvo/tree_description.h"
#include "tree_items.h"

class QComboBox;
class QGraphicsScene;
class QLabel;
class TDialogs;

// A graphics view that zooms with Ctrl+wheel and pans by dragging.
class TZoomView : public QGraphicsView {
  Q_OBJECT
 public:
  explicit TZoomView(QWidget* parent = nullptr);
  void ZoomBy(qreal factor);
  void FitTree();
  // The whole tree when it fits at a readable size; otherwise the readable size with focus (the
  // root) in sight, to be scrolled from there.
  void ShowReadable(const QPointF& focus);

 protected:
  void wheelEvent(QWheelEvent* event) override;
  // Keeps the picture as it was shown (fitted, or readable on the root) until the user zooms.
  void resizeEvent(QResizeEvent* event) override;

 private:
  enum class TScaleMode { Fit, Readable, User };
  TScaleMode Mode = TScaleMode::Fit;
  QPointF Focus;
};

// What a saved picture's title and the variant box tell about the run the trees come from.
struct TTreeCaption {
  QString Table;  // the file the run read
  tarvo::RunParameters Parameters;
  QStringList Errors;  // each tree's cross-validation error as the report gives it, or empty
};

class TTreeView : public QDockWidget {
  Q_OBJECT

 public:
  TTreeView(TDialogs& dialogs, QWidget* parent = nullptr);

  // The trees of a run, in the order the report holds them; shows the first, and hides the dock
  // when the run reported none (a fault of the table, or no run: Clear).
  void SetTrees(std::vector<tarvo::TreeDescription> trees, TTreeCaption caption = {});
  void Clear() { SetTrees({}); }
  // Draws the tree at index (0-based) of the last run.
  void ShowVariant(int index);
  // Writes the picture shown, with its title and legend, to fileName: SVG when it ends in .svg,
  // else an image by its suffix.
  void SavePicture(const QString& fileName);
  void SavePictureAs();
  // The title of a saved picture of the tree shown: table, target, parameters, variant, error.
  QString PictureTitle() const;

  QGraphicsScene* scene() const { return Scene; }
  QComboBox* variantSelector() const { return VariantBox; }

 private:
  void DrawTree(const tarvo::TreeDescription& tree);
  void ShowLegend(const tarvo::TreeDescription& tree);
  // Paints the title, the legend and the tree into a picture of size PictureSize().
  void PaintPicture(QPainter& painter) const;
  QSizeF PictureSize() const;
  qreal HeadingHeight() const;

  TDialogs& Dialogs;
  std::vector<tarvo::TreeDescription> Trees;
  TTreeCaption Caption;
  TTreeFonts Fonts;
  QGraphicsScene* Scene;
  TZoomView* View;
  QComboBox* VariantBox;
  QLabel* Legend;
  QPointF RootCentre;
};
