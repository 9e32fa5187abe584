// A model: the trees a run keeps, with what predicting new objects and their vote needs, and the
// prediction of a table's objects by it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "tarvo/parameters.h"
#include "tarvo/table.h"

namespace tarvo {

// A model that cannot be read, written or applied; what() is the message for the user.
class ModelError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct ModelBranch {
  int32_t Child = 0;  // index of the child in ModelTree::Nodes
  // An interval branch holds the values x with Low < x <= High (an open end has no bound); a
  // value-set branch holds the codes in Values (1-based, as the column's ValueNames count them).
  bool Interval = true;
  double Low = 0.0;
  double High = 0.0;
  bool OpenBelow = false;
  bool OpenAbove = false;
  std::vector<int32_t> Values;
};

struct ModelNode {
  int32_t Feature = 0;                // 1-based column tested here; 0 for a leaf
  std::vector<int32_t> ClassCounts;   // classification: training objects per class, class 1 first
  double Mean = 0.0;                  // regression: mean of the predicted value
  std::vector<ModelBranch> Branches;  // in the order an object tries them; empty for a leaf
};

struct ModelTree {
  int32_t Variant = 1;
  // The tree's cross-validation error as the report gives it; 0 when it was not cross-validated.
  double CrossValidationError = 0.0;
  std::vector<ModelNode> Nodes;  // the root first, each node before its children
};

struct ModelColumn {
  std::string Name;
  bool Nominal = false;
  std::vector<std::string> ValueNames;  // nominal columns: the name of code k at index k - 1
};

struct Model {
  std::vector<ModelColumn> Columns;     // the columns of the table the trees were grown from
  int32_t PredictedColumn = 1;          // 1-based
  bool Classification = true;           // false: regression trees
  std::vector<std::string> ClassNames;  // classification: class 1 first, as the report names them
  RunParameters Parameters;             // the run's parameters as the caller gave them
  std::vector<ModelTree> Trees;         // the trees that vote, variant 1 first
};

// The error of a model's predictions over the objects whose true value is known, computed as the
// report computes it: a misclassification frequency, or the square root of the squared error
// over the spread of the true values about their mean.
struct TestError {
  int32_t Known = 0;     // objects with a known true value; no error without them
  bool Defined = false;  // false when the true values of a regression have no spread
  double Value = 0.0;
};

struct ObjectPrediction {
  // Each tree's answer: a class number 1..ClassNames.size(), or a value.
  std::vector<double> Trees;
  // Classification: the class counts of the node that answered, for each tree.
  std::vector<std::vector<int32_t>> ClassCounts;
  double Vote = 0.0;  // the trees' weighted vote: a class number or a value
};

struct Predictions {
  std::vector<ObjectPrediction> Objects;  // in the table's order
  std::vector<TestError> TreeErrors;      // one per tree
  TestError VoteError;
};

// The weight of each tree in the vote: the inverse of its cross-validation error (a tree with no
// error, or a run without folds, counts as an error of 0.0001), normalized to sum 1.
std::vector<double> VotingWeights(const Model& model);

// Predicts every object of table. The table's columns are found by name: every column a tree
// tests must be there with the model's kind; the predicted column may be missing, or unknown for
// some objects. A nominal value the model never saw counts as missing: the object stops at the
// node that tests it. Throws ModelError, naming the column, when the table does not fit.
Predictions Predict(const Model& model, const Table& table);

// The text of a tree's answer or of the vote, as the report writes it: a class name, or a value
// with 2 decimals (a tree) or 3 (the vote).
std::string TreeAnswerText(const Model& model, double answer);
std::string VoteText(const Model& model, double vote);

}  // namespace tarvo
