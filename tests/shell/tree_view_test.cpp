// The Tree view after Grow Tree: one item per node and edge of each reported tree, the variant
// selector, zoom, Save Picture As in SVG and PNG, and a tree of one node.
#include "tree_view.h"

#include <QComboBox>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QImage>
#include <QToolButton>
#include <QXmlStreamReader>
#include <clocale>

#include "report_figures.h"
#include "shell_test_support.h"
#include "tarvo/engine.h"
#include "tree_collector.h"
#include "tree_items.h"

namespace {

int ItemsOfType(const QGraphicsScene& scene, int type) {
  int count = 0;
  for (const QGraphicsItem* item : scene.items()) count += item->type() == type ? 1 : 0;
  return count;
}

QString RootTitle(const QGraphicsScene& scene) {
  QString title;
  qreal left = 1e9;  // the tree grows from the left
  for (const QGraphicsItem* item : scene.items()) {
    if (item->type() != TTreeNodeItem::Type || item->boundingRect().left() >= left) continue;
    left = item->boundingRect().left();
    title = static_cast<const TTreeNodeItem*>(item)->title();
  }
  return title;
}

}  // namespace

class TTreeViewTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TWorkingFolder> folder_;

  // Opens table in the window and grows its trees with the given param.par.
  void GrowTree(TForm1& form, TScriptedDialogs& dialogs, const QByteArray& table,
                const QByteArray& parameters) {
    WriteBytes("param.par", parameters);
    WriteBytes(folder_->Path("table.txt"), table);
    dialogs.OpenAnswers << folder_->Path("table.txt");
    Trigger(form, "FileOpen1");
    ::GrowTree(form);
    QCOMPARE(dialogs.Errors, QStringList());
  }

  // The trees the engine reports for the same table and parameters.
  std::vector<tarvo::TreeDescription> ReportedTrees() {
    tarvo::RunParameters p = tarvo::ReadParameterFile("param.par");
    tarvo::TreeCollector trees;
    tarvo::RunOptions options;
    options.Observer = &trees;
    options.ReportFileName = "check.txt";
    tarvo::RunEngine(p, folder_->Path("table.txt").toStdString(), options);
    return trees.Trees;
  }

 private slots:
  void initTestCase() { std::setlocale(LC_NUMERIC, "C"); }
  void init() {
    folder_ = std::make_unique<TWorkingFolder>();
    IsolateSettings(*folder_);
    PrepareRunFiles();
  }
  void cleanup() { folder_.reset(); }

  void EachVariantDrawsOneItemPerNodeAndEdge() {
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    GrowTree(form, dialogs, ReadBytes(TARVO_EXAMPLE_TABLE), "1.000 1.000 0.050  100   3   1  10");
    const std::vector<tarvo::TreeDescription> trees = ReportedTrees();
    QVERIFY(trees.size() >= 2);

    TTreeView* view = Child<TTreeView>(form, "TreeView");
    QVERIFY(!view->isHidden());
    QComboBox* selector = Child<QComboBox>(*view, "VariantSelector");
    QCOMPARE(selector->count(), static_cast<int>(trees.size()));
    QCOMPARE(selector->currentIndex(), 0);
    for (int i = 0; i < selector->count(); ++i) {
      selector->setCurrentIndex(i);
      const int nodes = static_cast<int>(trees[i].Nodes.size());
      QCOMPARE(ItemsOfType(*view->scene(), TTreeNodeItem::Type), nodes);
      QCOMPARE(ItemsOfType(*view->scene(), TTreeEdgeItem::Type), nodes - 1);
      // Every variant tests another feature at its root.
      QCOMPARE(RootTitle(*view->scene()), QString::fromStdString(trees[i].Nodes[0].FeatureName));
    }
    // No two boxes overlap.
    const QList<QGraphicsItem*> items = view->scene()->items();
    for (const QGraphicsItem* a : items) {
      for (const QGraphicsItem* b : items) {
        if (a != b && a->type() == TTreeNodeItem::Type && b->type() == TTreeNodeItem::Type) {
          QVERIFY(!a->boundingRect().adjusted(1, 1, -1, -1).intersects(b->boundingRect()));
        }
      }
    }
  }

  void ZoomKeysScaleTheView() {
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    GrowTree(form, dialogs, ReadBytes(TARVO_EXAMPLE_TABLE), "1.000 1.000 0.050  100   1   1  10");
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QGraphicsView* graphics = Child<QGraphicsView>(form, "TreeGraphics");
    graphics->setFocus();
    const qreal before = graphics->transform().m11();
    QTest::keyClick(graphics, Qt::Key_Plus, Qt::ControlModifier);
    QVERIFY(graphics->transform().m11() > before);
    QTest::keyClick(graphics, Qt::Key_Minus, Qt::ControlModifier);
    QTest::keyClick(graphics, Qt::Key_Minus, Qt::ControlModifier);
    QVERIFY(graphics->transform().m11() < before);
  }

  void SavePictureAsWritesSvgAndPng() {
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    GrowTree(form, dialogs, ReadBytes(TARVO_EXAMPLE_TABLE), "1.000 1.000 0.050  100   1   1  10");
    QToolButton* save = Child<QToolButton>(form, "SavePictureAs");
    dialogs.SaveAnswers << folder_->Path("tree.svg") << folder_->Path("tree.png");
    save->click();
    save->click();
    QCOMPARE(dialogs.Errors, QStringList());
    QVERIFY(dialogs.SaveAsksBeforeReplacing);  // a picture of another run may be there

    QFile svg(folder_->Path("tree.svg"));
    QVERIFY(svg.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&svg);
    int texts = 0;
    QString root;
    while (!xml.atEnd()) {
      if (xml.readNext() != QXmlStreamReader::StartElement) continue;
      if (root.isEmpty()) root = xml.name().toString();
      texts += xml.name() == QLatin1String("text") ? 1 : 0;
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(root, QString("svg"));
    QVERIFY(texts > 0);

    const QImage png(folder_->Path("tree.png"));
    QVERIFY(!png.isNull());
    QVERIFY(png.width() > 100 && png.height() > 50);

    // A write that fails partway says so, and leaves the picture there was whole.
    const QByteArray old = ReadBytes(folder_->Path("tree.svg"));
    dialogs.SaveAnswers << folder_->Path("tree.svg");
    {
      const TFileSizeLimit full(1024);
      save->click();
    }
    QCOMPARE(dialogs.Errors.size(), 1);
    QVERIFY2(dialogs.Errors[0].contains("File too large"), qPrintable(dialogs.Errors[0]));
    QCOMPARE(ReadBytes(folder_->Path("tree.svg")), old);
  }

  void SavedPictureHasTitleAndLegendAndFollowsTheFilter() {
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    GrowTree(form, dialogs, ReadBytes(TARVO_EXAMPLE_TABLE), "1.000 1.000 0.050  100   1   1  10");
    // The variant box and the title give the error that the report gives.
    const QRegularExpression errorLine("crossvalidate error +(\\S+)");
    const QString error = errorLine.match(EditorText(form)).captured(1);
    QVERIFY(!error.isEmpty());
    QCOMPARE(Child<QComboBox>(form, "VariantSelector")->itemText(0),
             "Variant 1, CV error " + error);

    // A bare name takes the suffix of the filter chosen.
    dialogs.SaveAnswers << folder_->Path("tree") << folder_->Path("named.svg");
    dialogs.SaveFilterAnswer = "PNG Images (*.png)";
    Child<QToolButton>(form, "SavePictureAs")->click();
    QVERIFY(!QImage(folder_->Path("tree.png")).isNull());
    QVERIFY(!QFile::exists(folder_->Path("tree.svg")));
    Child<QToolButton>(form, "SavePictureAs")->click();
    QCOMPARE(dialogs.Errors, QStringList());

    QFile svg(folder_->Path("named.svg"));
    QVERIFY(svg.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&svg);
    QString title;
    QStringList texts;
    while (!xml.atEnd()) {
      if (xml.readNext() != QXmlStreamReader::StartElement) continue;
      if (xml.name() == QLatin1String("title")) title = xml.readElementText();
      if (xml.name() == QLatin1String("text")) texts << xml.readElementText().trimmed();
    }
    const QString expected =
        "table.txt: sort (classification); look-ahead 1.00, homogeneity 0.050, folds 10; "
        "variant 1, CV error " +
        error;
    QCOMPARE(title, expected);
    QVERIFY(texts.contains(expected));
    // The legend names every class; the boxes alone need not.
    for (const tarvo::TreeDescription& tree : ReportedTrees())
      for (const std::string& name : tree.ClassNames)
        QVERIFY2(texts.contains(QString::fromStdString(name)), name.c_str());
  }

  void TreeIsClearedWithTheTableAndKeepsItsRoom() {
    int kept = 0;
    {
      TScriptedDialogs dialogs;
      TForm1 form(dialogs);
      form.show();
      QVERIFY(QTest::qWaitForWindowExposed(&form));
      GrowTree(form, dialogs, ReadBytes(TARVO_EXAMPLE_TABLE), "1.000 1.000 0.050  100   1   1  10");
      TTreeView* view = Child<TTreeView>(form, "TreeView");
      // Half the window the first time.
      QTRY_VERIFY2(view->height() > form.height() * 2 / 5,
                   qPrintable(QString::number(view->height())));
      form.resizeDocks({view}, {120}, Qt::Vertical);
      QTRY_VERIFY(view->height() < form.height() / 3);
      kept = view->height();

      WriteBytes(folder_->Path("other.txt"), "3 1 ?\n");
      dialogs.OpenAnswers << folder_->Path("other.txt");
      Trigger(form, "FileOpen1");
      QVERIFY(view->isHidden());
      QVERIFY(view->scene()->items().isEmpty());
      form.close();
    }
    // The next start keeps the size the user gave it.
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    GrowTree(form, dialogs, ReadBytes(TARVO_EXAMPLE_TABLE), "1.000 1.000 0.050  100   1   1  10");
    QTRY_COMPARE(Child<TTreeView>(form, "TreeView")->height(), kept);
  }

  // Each tree's part of the report gives its own error; a variant without one stays empty.
  void CrossValidationErrorsFollowTheTrees() {
    const QString stars(60, '*');
    const QString report = stars +
                           "\nVariant N  1\n 10-fold  relative crossvalidate error 0.987\n" +
                           stars + "\n No rule is found for given parameters\n" + stars +
                           "\nVariant N  3\n\n  5-fold crossvalidate error 0.250\n";
    QCOMPARE(CrossValidationErrors(report), QStringList({"relative 0.987", "", "0.250"}));
    QCOMPARE(CrossValidationErrors("No input file found.\n"), QStringList());
  }

  void TreeOfOneNodeShowsOneNode() {
    TScriptedDialogs dialogs;
    TForm1 form(dialogs);
    GrowTree(form, dialogs, "4 2 ?\n1 0(2)\nx c\n1 a\n2 a\n3 a\n4 a\n",
             "1.000 1.000 0.050  100   1   2  10");
    QVERIFY(EditorText(form).contains("No rule is found"));
    TTreeView* view = Child<TTreeView>(form, "TreeView");
    QCOMPARE(ItemsOfType(*view->scene(), TTreeNodeItem::Type), 1);
    QCOMPARE(ItemsOfType(*view->scene(), TTreeEdgeItem::Type), 0);
    QCOMPARE(RootTitle(*view->scene()), QString("a"));
  }
};

QTEST_MAIN(TTreeViewTest)
#include "tree_view_test.moc"
