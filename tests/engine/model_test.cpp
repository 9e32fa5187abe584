// Models: what a run keeps predicts what its report predicts, a model file gives back the same
// model to the last bit, and bad files and tables that do not fit get their messages.
#include "tarvo/model.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "model_routing.h"
#include "synthetic_table.h"
#include "tarvo/engine.h"
#include "tarvo/model_file.h"
#include "tarvo/numbers.h"
#include "tarvo/table_file.h"
#include "test_files.h"

namespace tarvo {
namespace {

using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

// The answers a report writes: per prediction section, each object's answer; and the vote's.
struct ReportAnswers {
  std::vector<std::vector<std::string>> Trees;
  std::vector<std::string> TreeErrors;  // "" where a section has no error line
  std::vector<std::string> Votes;
  std::string VoteError;
};

std::string Trimmed(const std::string& text) {
  const size_t start = text.find_first_not_of(' ');
  return start == std::string::npos ? ""
                                    : text.substr(start, text.find_last_not_of(' ') - start + 1);
}

bool AllDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// An answer without the " (true class= ...)" or " (true value= ...)" that follows it.
std::string WithoutTruth(std::string answer) {
  const size_t truth = answer.find(" (true ");
  if (truth != std::string::npos && answer.back() == ')') answer.erase(truth);
  return Trimmed(answer);
}

// "Object   12-> answer": the answer, or nothing.
std::optional<std::string> ObjectAnswer(const std::string& line) {
  if (line.rfind("Object ", 0) != 0) return std::nullopt;
  const size_t arrow = line.find("-> ");
  if (arrow == std::string::npos) return std::nullopt;
  if (!AllDigits(Trimmed(line.substr(6, arrow - 6)))) return std::nullopt;
  return WithoutTruth(line.substr(arrow + 3));
}

// "  3 object (Vote: ...) -> answer": the answer, or nothing.
std::optional<std::string> VoteAnswer(const std::string& line) {
  const std::string trimmed = Trimmed(line);
  const size_t object = trimmed.find(" object (Vote: ");
  if (object == std::string::npos || !AllDigits(trimmed.substr(0, object))) return std::nullopt;
  const size_t arrow = trimmed.rfind(") -> ");
  if (arrow == std::string::npos || arrow < object) return std::nullopt;
  return WithoutTruth(trimmed.substr(arrow + 5));
}

// "test error= 0.250" or "Relative test error= 0.250": the figure, or nothing.
std::optional<std::string> ErrorFigure(const std::string& line) {
  for (const char* start : {"test error=", "Relative test error="}) {
    if (line.rfind(start, 0) == 0) return Trimmed(line.substr(std::string_view(start).size()));
  }
  return std::nullopt;
}

ReportAnswers AnswersOfReport(const std::string& report) {
  ReportAnswers answers;
  std::istringstream lines(report);
  std::string line;
  bool voting = false;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line == "############ PREDICTION  ##########") {
      answers.Trees.emplace_back();
      answers.TreeErrors.emplace_back();
    } else if (line == "###############Prediction################") {
      voting = true;
    } else if (const auto answer = ObjectAnswer(line)) {
      answers.Trees.back().push_back(*answer);
    } else if (const auto vote = VoteAnswer(line)) {
      answers.Votes.push_back(*vote);
    } else if (const auto figure = ErrorFigure(line)) {
      (voting ? answers.VoteError : answers.TreeErrors.back()) = *figure;
    }
  }
  return answers;
}

std::string ErrorText(const TestError& error) {
  if (error.Known == 0) return "";
  return error.Defined ? FormatReal(error.Value, 0, 3) : "undefined (true values are all equal)";
}

// Predictions of the model for the objects, as the report would write them, compared with it.
void ExpectReportPredictions(const std::string& report, const Model& model,
                             const Predictions& predictions) {
  const ReportAnswers answers = AnswersOfReport(report);
  ASSERT_FALSE(predictions.Objects.empty());
  ASSERT_EQ(answers.Trees.size(), model.Trees.size());
  for (size_t t = 0; t < model.Trees.size(); ++t) {
    ASSERT_EQ(answers.Trees[t].size(), predictions.Objects.size());
    for (size_t j = 0; j < predictions.Objects.size(); ++j) {
      EXPECT_EQ(TreeAnswerText(model, predictions.Objects[j].Trees[t]), answers.Trees[t][j])
          << "tree " << t + 1 << ", object " << j + 1;
    }
    EXPECT_EQ(ErrorText(predictions.TreeErrors[t]), answers.TreeErrors[t]) << "tree " << t + 1;
  }
  if (model.Trees.size() < 2) return;  // the report has no vote then
  ASSERT_EQ(answers.Votes.size(), predictions.Objects.size());
  for (size_t j = 0; j < predictions.Objects.size(); ++j) {
    EXPECT_EQ(VoteText(model, predictions.Objects[j].Vote), answers.Votes[j]) << j + 1;
  }
  EXPECT_EQ(ErrorText(predictions.VoteError), answers.VoteError);
}

// Every double of both predictions has the same bits.
void ExpectSameBits(const Predictions& a, const Predictions& b) {
  ASSERT_EQ(a.Objects.size(), b.Objects.size());
  for (size_t j = 0; j < a.Objects.size(); ++j) {
    const ObjectPrediction& x = a.Objects[j];
    const ObjectPrediction& y = b.Objects[j];
    ASSERT_EQ(x.Trees.size(), y.Trees.size());
    EXPECT_EQ(std::memcmp(x.Trees.data(), y.Trees.data(), x.Trees.size() * sizeof(double)), 0);
    EXPECT_EQ(std::memcmp(&x.Vote, &y.Vote, sizeof(double)), 0);
    EXPECT_EQ(x.ClassCounts, y.ClassCounts);
  }
}

// Runs the engine, then predicts the objects to predict with the run's model and with the model
// read back from its file.
Model CheckModelOfRun(const std::string& table, RunParameters p, const std::string& progPar) {
  TempFolder folder;
  RunOptions options;
  options.ReportFileName = folder.File("output.txt");
  options.ChiSquareFileName = progPar;
  const int32_t predicted = p.FeatureToPredict;
  const RunResult result = RunEngine(p, table, options);
  EXPECT_FALSE(result.TableFault) << result.FaultMessage;
  if (!result.GrownModel) {
    ADD_FAILURE() << "no model";
    return {};
  }
  const Model& model = *result.GrownModel;
  Table rows, toPredict;
  std::string fault;
  EXPECT_TRUE(ReadTableFile(table, predicted, rows, toPredict, fault)) << fault;
  const Predictions predictions = Predict(model, toPredict);
  ExpectReportPredictions(ReadBytes(options.ReportFileName), model, predictions);

  SaveModel(model, folder.File("model.json"));
  const Model loaded = LoadModel(folder.File("model.json"));
  EXPECT_EQ(ModelText(loaded), ModelText(model));
  ExpectSameBits(Predict(loaded, toPredict), predictions);
  return model;
}

class ModelOfRun : public ::testing::TestWithParam<const char*> {};

TEST_P(ModelOfRun, PredictsWhatTheReportPredicts) {
  const std::string folder = std::string(TARVO_TEST_DATA_DIR) + "/runs/" + GetParam();
  const RunParameters p = ReadParameterFile(folder + "/param.par");
  CheckModelOfRun(folder + "/table.txt", p, TARVO_PROG_PAR);
}

INSTANTIATE_TEST_SUITE_P(SampleRuns, ModelOfRun,
                         ::testing::Values("folds2_last_fold_root", "folds3_weighted_vote",
                                           "regression_constant", "regression_prediction_folds3",
                                           "regression_vote_equal", "variants_vote_tie"));

// Larger trees with nominal and numeric predictors, missing values and several variants.
TEST(ModelOfRun, SyntheticTablesWithVariants) {
  for (const synthetic::TargetKind kind :
       {synthetic::TargetKind::kClasses, synthetic::TargetKind::kNumber}) {
    synthetic::TableShape shape;
    shape.target = kind;
    shape.objects = 300;
    shape.columns = 12;
    shape.predictObjects = 120;
    shape.missingShare = 0.05;
    shape.seed = kind == synthetic::TargetKind::kClasses ? 7 : 8;
    TempFolder folder;
    WriteBytes(folder.File("table.txt"), synthetic::MakeTable(shape));
    const RunParameters p{1.0, 1.0, 0.05, 100, 4, 12, 5};
    SCOPED_TRACE(kind == synthetic::TargetKind::kClasses ? "classes" : "numbers");
    const Model model = CheckModelOfRun(folder.File("table.txt"), p, TARVO_PROG_PAR);
    EXPECT_EQ(model.Trees.size(), 4u);
    EXPECT_GT(model.Trees[0].Nodes.size(), 10u);
  }
}

// A model by hand: column 1 numeric, column 2 nominal (a, b, c), column 3 the class (no, yes).
Model SmallModel() {
  Model model;
  model.Columns = {
      {"x", false, {}}, {"colour", true, {"a", "b", "c"}}, {"class", true, {"no", "yes"}}};
  model.PredictedColumn = 3;
  model.ClassNames = {"no", "yes"};
  ModelTree tree;
  tree.Nodes.resize(3);
  tree.Nodes[0] = {2, {3, 4}, 0.0, {}};
  tree.Nodes[0].Branches.push_back({1, false, 0, 0, false, false, {1}});
  tree.Nodes[0].Branches.push_back({2, false, 0, 0, false, false, {2, 3}});
  tree.Nodes[1] = {0, {3, 0}, 0.0, {}};
  tree.Nodes[2] = {0, {0, 4}, 0.0, {}};
  model.Trees.push_back(tree);
  return model;
}

TEST(ModelPrediction, ColumnsFoundByNameAndUnseenValuesCountAsMissing) {
  const Model model = SmallModel();
  Table table;
  table.AddNominalColumn("colour", {"b", "purple", "", "a"});  // other codes, another order
  table.AddNumericColumn("unused", {1, 2, 3, 4});
  const Predictions p = Predict(model, table);
  ASSERT_EQ(p.Objects.size(), 4u);
  EXPECT_EQ(p.Objects[0].Trees[0], 2);  // b leads to the yes leaf
  EXPECT_EQ(p.Objects[1].Trees[0], 2);  // an unseen value stops at the root: 3 no, 4 yes
  EXPECT_EQ(p.Objects[1].ClassCounts[0], (std::vector<int32_t>{3, 4}));
  EXPECT_EQ(p.Objects[2].ClassCounts[0], (std::vector<int32_t>{3, 4}));
  EXPECT_EQ(p.Objects[3].Trees[0], 1);
  EXPECT_EQ(p.VoteError.Known, 0);  // no predicted column: no true values

  // A long name meets its first 20 bytes, as a table file keeps it, and the other way round.
  Model longNamed = SmallModel();
  longNamed.Columns[1].Name = "colour_of_the_flower_petals";
  Table cut;
  cut.AddNominalColumn("colour_of_the_flowe", {"b"});  // 19 bytes: another name
  EXPECT_THROW(Predict(longNamed, cut), ModelError);
  cut.AddNominalColumn("colour_of_the_flower", {"b"});
  EXPECT_EQ(Predict(longNamed, cut).Objects[0].Trees[0], 2);
  Table uncut;
  uncut.AddNominalColumn("colour_of_the_flower_petals", {"a"});
  longNamed.Columns[1].Name = "colour_of_the_flower";
  EXPECT_EQ(Predict(longNamed, uncut).Objects[0].Trees[0], 1);
}

TEST(ModelPrediction, TrueClassesGiveTheErrorAndAnUnseenClassIsWrong) {
  const Model model = SmallModel();
  Table table;
  table.AddNominalColumn("colour", {"a", "b", "b", "a"});
  table.AddNominalColumn("class", {"no", "no", "maybe", "?"}, {"?"});
  const Predictions p = Predict(model, table);
  EXPECT_EQ(p.TreeErrors[0].Known, 3);
  EXPECT_DOUBLE_EQ(p.TreeErrors[0].Value, 2.0 / 3);
}

std::string PredictFault(const Model& model, const Table& table) {
  try {
    Predict(model, table);
  } catch (const ModelError& e) {
    return e.what();
  }
  return "predicted";
}

TEST(ModelPrediction, TablesThatDoNotFitNameTheColumn) {
  const Model model = SmallModel();
  Table missing;
  missing.AddNumericColumn("x", {1});
  EXPECT_EQ(PredictFault(model, missing), "The table has no column colour, which the model tests.");
  Table otherKind;
  otherKind.AddNumericColumn("colour", {1});
  EXPECT_EQ(PredictFault(model, otherKind),
            "The column colour is numeric in the table but nominal in the model.");
  // A column without any value has no kind of its own, whether tested or predicted: a blank
  // tested column leaves its objects at the root.
  Table blank;
  blank.AddNumericColumn("colour", {kMissingValue, kMissingValue});
  blank.AddNumericColumn("class", {kMissingValue, kMissingValue});
  const Predictions p = Predict(model, blank);
  ASSERT_EQ(p.Objects.size(), 2u);
  EXPECT_EQ(p.Objects[1].ClassCounts[0], (std::vector<int32_t>{3, 4}));
}

TEST(ModelFile, RealsAndNamesReadBackToTheSameBits) {
  Model model = SmallModel();
  model.Classification = false;
  model.Columns[2] = {"y\xff\xfe odd bytes", false, {}};
  model.Columns[1].ValueNames = {"\xe9t\xe9", "", "c\"quoted\\"};
  model.ClassNames.clear();
  const double reals[] = {0.1, -0.0, 5e-324, 1.7976931348623157e308, 1e17, -1e17, 2.0 / 3};
  ModelTree& tree = model.Trees[0];
  tree.Nodes[0].Feature = 1;
  tree.Nodes[0].Branches = {{1, true, -1e17, 0.1, true, false, {}},
                            {2, true, 0.1, 1e17, false, true, {}}};
  for (ModelNode& node : tree.Nodes) node.ClassCounts.clear();
  for (double x : reals) {
    tree.Nodes[1].Mean = x;
    tree.CrossValidationError = -x;
    tree.Nodes[0].Branches[0].High = x;
    const Model back = ModelOfText(ModelText(model), "m");
    EXPECT_EQ(std::memcmp(&back.Trees[0].Nodes[1].Mean, &x, sizeof x), 0) << x;
    EXPECT_EQ(back.Trees[0].CrossValidationError, -x);
    EXPECT_EQ(back.Trees[0].Nodes[0].Branches[0].High, x);
    EXPECT_EQ(back.Columns[2].Name, model.Columns[2].Name);
    EXPECT_EQ(back.Columns[1].ValueNames, model.Columns[1].ValueNames);
  }
}

// Many interval branches are searched by their bounds; the branch found must be the one a scan
// of the list finds, for disjoint intervals in any order and for overlapping ones.
TEST(ModelRouting, IndexedBranchesFindWhatAScanFinds) {
  for (const bool overlapping : {false, true}) {
    ModelTree tree;
    tree.Nodes.resize(1);
    tree.Nodes[0].Feature = 1;
    for (int k = 0; k < 20; ++k) {
      const int slot = (k * 7) % 20;  // the list out of order
      ModelBranch b{k + 1,     true,       slot * 1.0, slot + (overlapping ? 1.5 : 1.0),
                    slot == 0, slot == 19, {}};
      tree.Nodes[0].Branches.push_back(b);
      tree.Nodes.push_back(ModelNode{0, {}, static_cast<double>(k), {}});
    }
    tree.Nodes[0].Branches.erase(tree.Nodes[0].Branches.begin() + 5);  // a gap
    const TTreeRouter router(tree);
    TDataTable data(2, std::vector<double>(2, 0.0));
    for (double x = -3.0; x <= 23.0; x += 0.25) {
      data[1][1] = x;
      int32_t expected = 0;
      for (const ModelBranch& b : tree.Nodes[0].Branches) {
        if ((b.OpenBelow || b.Low < x) && (b.OpenAbove || x <= b.High)) {
          expected = b.Child;
          break;
        }
      }
      EXPECT_EQ(&router.NodeReached(data, 1), &tree.Nodes[expected]) << x << " " << overlapping;
    }
  }
}

std::string ReadFault(const std::string& text) {
  try {
    ModelOfText(text, "m.json");
  } catch (const ModelError& e) {
    return e.what();
  }
  return "read";
}

TEST(ModelFile, BadFilesGetOneMessage) {
  const std::string good = ModelText(SmallModel());
  ASSERT_EQ(ReadFault(good), "read");
  auto edited = [&](const std::string& from, const std::string& to) {
    std::string text = good;
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
  };
  EXPECT_EQ(ReadFault(edited("\"version\": 1", "\"version\": 2")),
            "The model m.json has format version 2, written by a newer Tarvo; this one reads "
            "versions up to 1.");
  EXPECT_EQ(ReadFault(good.substr(0, good.size() / 2))
                .rfind("Cannot read the model m.json: it is not JSON", 0),
            0u);
  EXPECT_EQ(ReadFault(std::string("\x7f"
                                  "ELF\0\1\2\xff",
                                  8))
                .rfind("Cannot read the model m.json: it is not JSON", 0),
            0u);
  EXPECT_EQ(ReadFault("[1, 2]"), "Cannot read the model m.json: it is not a Tarvo model file.");
  // Each edit makes a model whose trees or columns could not be trusted.
  EXPECT_EQ(ReadFault(edited("\"kind\": \"nominal\"", "\"kind\": \"numeric\"")),
            "Cannot read the model m.json: \"low\" is missing.");
  EXPECT_EQ(ReadFault(edited("\"child\": 2", "\"child\": 0")),
            "Cannot read the model m.json: child is out of range.");
  EXPECT_EQ(ReadFault(edited("\"feature\": 2", "\"feature\": 9")),
            "Cannot read the model m.json: feature is out of range.");
  EXPECT_EQ(ReadFault(edited("\"predicted_column\": 3", "\"predicted_column\": 1.5")),
            "Cannot read the model m.json: predicted_column is not a whole number.");
  EXPECT_EQ(ReadFault(edited("\"mean\": 0.0", "\"mean\": 1e999"))
                .rfind("Cannot read the model m.json:", 0),
            0u);
  EXPECT_EQ(
      ReadFault(edited("\"classes\": [", "\"classes\": [\"extra\",")),
      "Cannot read the model m.json: its classes are not the values of the predicted column.");
}

TEST(ModelFile, SaveReplacesTheFileAndAFailedWriteIsAnError) {
  TempFolder folder;
  const std::string path = folder.File("model.json");
  WriteBytes(path, "old");
  SaveModel(SmallModel(), path);
  EXPECT_EQ(ReadBytes(path), ModelText(SmallModel()));
  EXPECT_THROW(SaveModel(SmallModel(), folder.File("no/such/folder/model.json")), ModelError);
  EXPECT_THROW(LoadModel(folder.File("absent.json")), ModelError);
  // Two columns of one name could not be found again: no such model is written.
  Model twins = SmallModel();
  twins.Columns.push_back(twins.Columns.front());
  EXPECT_THROW(SaveModel(twins, path), ModelError);
  EXPECT_EQ(ReadBytes(path), ModelText(SmallModel()));
}

}  // namespace
}  // namespace tarvo
