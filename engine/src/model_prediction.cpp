// Predict: a model applied to the objects of a table in memory, its columns found by name.
#include <cmath>
#include <string>
#include <unordered_map>
#include <vector>

#include "input_table.h"
#include "model_routing.h"
#include "tarvo/model.h"
#include "tarvo/numbers.h"

namespace tarvo {

namespace {

// Which of the model's columns (1-based) its trees test.
std::vector<char> TestedColumns(const Model& model) {
  std::vector<char> tested(model.Columns.size() + 1, 0);
  for (const ModelTree& tree : model.Trees) {
    for (const ModelNode& node : tree.Nodes) {
      if (!node.Branches.empty()) tested[node.Feature] = 1;
    }
  }
  return tested;
}

// Whether one name is the other cut as a table file cuts names, to their first kTokenLength
// bytes: a model from a CSV table meets the same columns in a table file, and the other way.
bool SameNameCut(const std::string& a, const std::string& b) {
  const size_t cut = static_cast<size_t>(kTokenLength);
  const std::string& shorter = a.size() < b.size() ? a : b;
  const std::string& longer = a.size() < b.size() ? b : a;
  return shorter.size() == cut && longer.compare(0, cut, shorter) == 0;
}

// The table's column of that name, else the one whose name is that name cut or uncut; null when
// there is none. Two of them are a fault.
const Column* FindColumn(const Table& table, const std::string& name) {
  for (const bool cut : {false, true}) {
    const Column* found = nullptr;
    for (const Column& column : table.Columns) {
      if (cut ? !SameNameCut(column.Name, name) : column.Name != name) continue;
      if (found) throw ModelError("The table has two columns named " + name + ".");
      found = &column;
    }
    if (found) return found;
  }
  return nullptr;
}

bool HasKnownValue(const Column& column) {
  for (double x : column.Values) {
    if (!std::isnan(x)) return true;
  }
  return false;
}

// The table's values in the run's form: 1-based, MissingCode where unknown, and nominal values
// coded as the model codes them (a value the model never saw takes `unseen`).
std::vector<double> ModelValues(const Column& column, const ModelColumn& as, double unseen) {
  std::vector<double> values(column.Values.size() + 1, MissingCode);
  std::vector<double> codes;  // the model's code of each of the table's codes
  if (as.Nominal) {
    std::unordered_map<std::string, int32_t> modelCode;
    for (size_t k = as.ValueNames.size(); k-- > 0;) modelCode[as.ValueNames[k]] = int32_t(k) + 1;
    for (const std::string& name : column.ValueNames) {
      const auto found = modelCode.find(name);
      codes.push_back(found == modelCode.end() ? unseen : found->second);
    }
  }
  for (size_t o = 0; o < column.Values.size(); ++o) {
    const double x = column.Values[o];
    if (std::isnan(x)) continue;
    if (!as.Nominal) {
      values[o + 1] = x;
    } else if (x >= 1 && x <= static_cast<double>(codes.size())) {
      values[o + 1] = codes[static_cast<size_t>(x) - 1];
    }
  }
  return values;
}

std::string KindName(bool nominal) {
  return nominal ? "nominal" : "numeric";
}

}  // namespace

std::vector<double> VotingWeights(const Model& model) {
  std::vector<double> errors;
  for (const ModelTree& tree : model.Trees) errors.push_back(tree.CrossValidationError);
  return VotingWeightsOf(errors, model.Parameters.FoldsCrossValidate);
}

Predictions Predict(const Model& model, const Table& table) {
  const int32_t n = table.ObjectCount();
  const int32_t columns = static_cast<int32_t>(model.Columns.size());
  const std::vector<char> tested = TestedColumns(model);
  TDataTable data(columns + 1);
  for (int32_t f = 1; f <= columns; ++f) {
    const ModelColumn& wanted = model.Columns[f - 1];
    const bool predicted = f == model.PredictedColumn;
    if (!tested[f] && !predicted) continue;
    const Column* column = FindColumn(table, wanted.Name);
    if (!column) {
      if (predicted) continue;  // no true values: nothing to compare with
      throw ModelError("The table has no column " + wanted.Name + ", which the model tests.");
    }
    if (column->Values.size() != static_cast<size_t>(n)) {
      throw ModelError("The column " + wanted.Name + " of the table has " +
                       std::to_string(column->Values.size()) + " values, its first column " +
                       std::to_string(n) + ".");
    }
    // A column that holds no value at all has no kind of its own: its objects are all missing.
    if (column->Nominal != wanted.Nominal && HasKnownValue(*column)) {
      throw ModelError("The column " + wanted.Name + " is " + KindName(column->Nominal) +
                       " in the table but " + KindName(wanted.Nominal) + " in the model.");
    }
    if (column->Nominal != wanted.Nominal) continue;
    // A true class the model never saw is known, and no tree can predict it: class 0.
    data[f] = ModelValues(*column, wanted, predicted ? 0.0 : MissingCode);
  }
  for (std::vector<double>& values : data) {
    if (values.empty()) values.assign(n + 1, MissingCode);
  }

  const bool classification = model.Classification;
  const int32_t classes = static_cast<int32_t>(model.ClassNames.size());
  const std::vector<double> weights = VotingWeights(model);
  const std::vector<double>& truth = data[model.PredictedColumn];
  std::vector<TestErrorSum> treeErrors(model.Trees.size());
  TestErrorSum voteError;
  std::vector<TTreeRouter> routers;
  for (const ModelTree& tree : model.Trees) routers.emplace_back(tree);
  Predictions result;
  result.Objects.resize(n);
  for (int32_t j = 1; j <= n; ++j) {
    ObjectPrediction& object = result.Objects[j - 1];
    for (const TTreeRouter& router : routers) {
      const ModelNode& node = router.NodeReached(data, j);
      object.Trees.push_back(AnswerOf(node, classification));
      if (classification) object.ClassCounts.push_back(node.ClassCounts);
    }
    object.Vote = CombineVotes(classification, classes, weights, object.Trees);
    const double y = truth[j];
    if (!IsKnown(y)) continue;
    for (size_t t = 0; t < model.Trees.size(); ++t) {
      if (classification) {
        treeErrors[t].AddClass(y != object.Trees[t]);
      } else {
        treeErrors[t].AddValue(object.Trees[t], y);
      }
    }
    if (classification) {
      voteError.AddClass(y != object.Vote);
    } else {
      voteError.AddValue(object.Vote, y);
    }
  }
  for (const TestErrorSum& error : treeErrors) {
    result.TreeErrors.push_back(error.Result(classification));
  }
  result.VoteError = voteError.Result(classification);
  return result;
}

std::string TreeAnswerText(const Model& model, double answer) {
  if (!model.Classification) return FormatReal(answer, 0, 2);
  const double classes = static_cast<double>(model.ClassNames.size());
  return answer >= 1 && answer <= classes ? model.ClassNames[static_cast<size_t>(answer) - 1] : "";
}

std::string VoteText(const Model& model, double vote) {
  return model.Classification ? TreeAnswerText(model, vote) : FormatReal(vote, 0, 3);
}

}  // namespace tarvo
