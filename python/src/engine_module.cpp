// The engine as the Python module tarvo._engine: tables in as columns, runs without the GIL,
// models that pickle as their own model file text, and predictions as numpy arrays.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tarvo/engine.h"
#include "tarvo/model.h"
#include "tarvo/model_file.h"
#include "tarvo/pruning.h"
#include "tarvo/table.h"
#include "tarvo/table_file.h"
#include "tree_collector.h"
#include "tree_dot.h"

namespace py = pybind11;

namespace {

using DoubleArray = py::array_t<double, py::array::c_style | py::array::forcecast>;

// A column as Python hands it over: (name, nominal, values, value names). Nominal values are the
// codes 1..len(value names); NaN is a missing value in either kind.
tarvo::Table TableOfColumns(const py::list& columns) {
  tarvo::Table table;
  for (const py::handle item : columns) {
    const auto entry = item.cast<py::tuple>();
    if (entry.size() != 4)
      throw py::value_error("a column is (name, nominal, values, value names)");
    tarvo::Column& column = table.Columns.emplace_back();
    column.Name = entry[0].cast<std::string>();
    column.Nominal = entry[1].cast<bool>();
    const auto values = entry[2].cast<DoubleArray>();
    if (values.ndim() != 1) throw py::value_error("the values of a column are one-dimensional");
    column.Values.assign(values.data(), values.data() + values.size());
    column.ValueNames = entry[3].cast<std::vector<std::string>>();
  }
  return table;
}

py::list ColumnsOfTable(const tarvo::Table& table) {
  py::list columns;
  for (const tarvo::Column& column : table.Columns) {
    DoubleArray values(static_cast<py::ssize_t>(column.Values.size()));
    std::copy(column.Values.begin(), column.Values.end(), values.mutable_data());
    columns.append(py::make_tuple(column.Name, column.Nominal, values, column.ValueNames));
  }
  return columns;
}

// A grown or loaded model, shared and never changed once made.
struct ModelHandle {
  std::shared_ptr<const tarvo::Model> Model;
};

ModelHandle ModelOfText(const std::string& text) {
  try {
    return {std::make_shared<const tarvo::Model>(tarvo::ModelOfText(text, "the model"))};
  } catch (const tarvo::ModelError& error) {
    throw py::value_error(error.what());
  }
}

// For each voting tree (in the model's order) and each of the first `features` columns, the
// share of the tree's gain that the column's splits make. A tree without splits gains nothing.
DoubleArray FeatureGains(const std::vector<tarvo::TreeDescription>& trees,
                         const tarvo::Model& model, int32_t features) {
  const auto rows = static_cast<py::ssize_t>(model.Trees.size());
  DoubleArray gains({rows, static_cast<py::ssize_t>(features)});
  auto out = gains.mutable_unchecked<2>();
  for (py::ssize_t t = 0; t < rows; ++t) {
    for (int32_t f = 0; f < features; ++f) out(t, f) = 0.0;
    for (const tarvo::TreeDescription& tree : trees) {
      if (tree.Variant != model.Trees[t].Variant) continue;
      const std::vector<double> shares = tarvo::FeatureGainShares(tree);
      for (int32_t f = 0; f < features && static_cast<size_t>(f) < shares.size(); ++f)
        out(t, f) = shares[f];
    }
  }
  return gains;
}

struct RunSettings {
  double TargetWeight = 1.0;
  double LookAhead = 1.0;
  double Homogeneity = 0.05;
  int32_t MonteCarlo = 100;
  int32_t Variants = 1;
  int32_t Folds = 10;
  int32_t Threads = 0;
  std::string Prune = "none";  // none, min or 1se
};

// Grows the trees of a table whose predicted column is `predicted` (1-based). The report goes
// to reportPath; a table or parameter the engine refuses comes back as "fault".
py::dict Fit(const py::list& columns, int32_t predicted, const RunSettings& settings,
             const std::string& reportPath, const std::string& chiSquarePath,
             const std::string& tableName) {
  const tarvo::Table table = TableOfColumns(columns);
  tarvo::RunParameters parameters;
  parameters.TargetWeight = settings.TargetWeight;
  parameters.RecursiveComplexity = settings.LookAhead;
  parameters.Homogeneity = settings.Homogeneity;
  parameters.MonteCarlo = settings.MonteCarlo;
  parameters.VariantsNumber = settings.Variants;
  parameters.FeatureToPredict = predicted;
  parameters.FoldsCrossValidate = settings.Folds;
  tarvo::RunOptions options;
  if (!tarvo::ParsePruneRule(settings.Prune, options.Prune)) {
    throw py::value_error("prune='" + settings.Prune + "': none, min or 1se is expected");
  }
  options.SearchThreads = settings.Threads;
  options.ReportFileName = reportPath;
  options.ChiSquareFileName = chiSquarePath;
  options.TableName = tableName;
  tarvo::TreeCollector trees;
  options.Observer = &trees;
  tarvo::RunResult result;
  {
    py::gil_scoped_release release;
    try {
      result = tarvo::RunEngine(parameters, table, options);
    } catch (const tarvo::EngineError& error) {
      py::gil_scoped_acquire acquire;
      throw py::value_error(error.what());
    }
  }
  py::dict out;
  out["fault"] = result.TableFault ? py::cast(result.FaultMessage) : py::none();
  out["warnings"] = result.Warnings;
  out["cross_validation_error"] = result.FirstTree.CrossValidationError;
  out["leaves"] = result.FirstTree.Leaves;
  out["model"] = result.GrownModel ? py::cast(ModelHandle{result.GrownModel}) : py::none();
  out["dot"] = tarvo::TreesToDot(trees.Trees);
  out["feature_gains"] = py::none();
  if (result.GrownModel)
    out["feature_gains"] = FeatureGains(trees.Trees, *result.GrownModel, predicted - 1);
  return out;
}

// Each object's vote, each tree's answer and, in classification, each tree's class counts of the
// node that answered (objects x trees x classes).
py::dict Predict(const ModelHandle& handle, const py::list& columns) {
  const tarvo::Table table = TableOfColumns(columns);
  tarvo::Predictions predictions;
  {
    py::gil_scoped_release release;
    try {
      predictions = tarvo::Predict(*handle.Model, table);
    } catch (const tarvo::ModelError& error) {
      py::gil_scoped_acquire acquire;
      throw py::value_error(error.what());
    }
  }
  const tarvo::Model& model = *handle.Model;
  const auto objects = static_cast<py::ssize_t>(predictions.Objects.size());
  const auto treeCount = static_cast<py::ssize_t>(model.Trees.size());
  const auto classes = static_cast<py::ssize_t>(model.ClassNames.size());
  DoubleArray vote(objects);
  DoubleArray answers({objects, treeCount});
  py::array_t<int32_t> counts({objects, treeCount, model.Classification ? classes : 0});
  auto voteOut = vote.mutable_unchecked<1>();
  auto answersOut = answers.mutable_unchecked<2>();
  auto countsOut = counts.mutable_unchecked<3>();
  for (py::ssize_t i = 0; i < objects; ++i) {
    const tarvo::ObjectPrediction& object = predictions.Objects[i];
    voteOut(i) = object.Vote;
    for (py::ssize_t t = 0; t < treeCount; ++t) {
      answersOut(i, t) = object.Trees[t];
      if (!model.Classification) continue;
      for (py::ssize_t c = 0; c < classes; ++c) countsOut(i, t, c) = object.ClassCounts[t][c];
    }
  }
  py::dict out;
  out["vote"] = vote;
  out["trees"] = answers;
  out["class_counts"] = counts;
  return out;
}

}  // namespace

PYBIND11_MODULE(_engine, module) {
  module.doc() = "The Tarvo engine: look-ahead decision trees grown from tables in memory.";

  py::class_<RunSettings>(module, "RunSettings")
      .def(py::init<>())
      .def_readwrite("target_weight", &RunSettings::TargetWeight)
      .def_readwrite("look_ahead", &RunSettings::LookAhead)
      .def_readwrite("homogeneity", &RunSettings::Homogeneity)
      .def_readwrite("monte_carlo", &RunSettings::MonteCarlo)
      .def_readwrite("variants", &RunSettings::Variants)
      .def_readwrite("folds", &RunSettings::Folds)
      .def_readwrite("threads", &RunSettings::Threads)
      .def_readwrite("prune", &RunSettings::Prune);

  // The growth a pruned run uses unless the caller sets it: its target weight by look-ahead.
  module.def("prune_target_weight", &tarvo::PruneTargetWeight, py::arg("look_ahead"));
  module.attr("PRUNE_HOMOGENEITY") = tarvo::kPruneHomogeneity;
  // The columns of a table in memory, the predicted one included.
  module.attr("MAX_TABLE_COLUMNS") = tarvo::kMaxTableColumns;

  py::class_<ModelHandle>(module, "Model")
      .def_static("from_text", &ModelOfText, py::arg("text"))
      .def("text", [](const ModelHandle& handle) { return tarvo::ModelText(*handle.Model); })
      .def_property_readonly("classification",
                             [](const ModelHandle& handle) { return handle.Model->Classification; })
      .def_property_readonly("class_names",
                             [](const ModelHandle& handle) { return handle.Model->ClassNames; })
      .def_property_readonly("tree_count",
                             [](const ModelHandle& handle) { return handle.Model->Trees.size(); })
      .def_property_readonly("tree_errors",
                             [](const ModelHandle& handle) {
                               std::vector<double> errors;
                               for (const tarvo::ModelTree& tree : handle.Model->Trees)
                                 errors.push_back(tree.CrossValidationError);
                               return errors;
                             })
      .def_property_readonly(
          "voting_weights",
          [](const ModelHandle& handle) { return tarvo::VotingWeights(*handle.Model); })
      .def_property_readonly("tree_leaves",
                             [](const ModelHandle& handle) {
                               std::vector<int32_t> leaves;
                               for (const tarvo::ModelTree& tree : handle.Model->Trees) {
                                 int32_t count = 0;
                                 for (const tarvo::ModelNode& node : tree.Nodes)
                                   count += node.Branches.empty() ? 1 : 0;
                                 leaves.push_back(count);
                               }
                               return leaves;
                             })
      .def(py::pickle([](const ModelHandle& handle) { return tarvo::ModelText(*handle.Model); },
                      [](const std::string& text) { return ModelOfText(text); }));

  module.def("fit", &Fit, py::arg("columns"), py::arg("predicted"), py::arg("settings"),
             py::arg("report_path"), py::arg("chi_square_path"), py::arg("table_name"));
  module.def("predict", &Predict, py::arg("model"), py::arg("columns"));
  module.def(
      "read_table_file",
      [](const std::string& path, int32_t predicted) {
        tarvo::Table rows, toPredict;
        std::string fault;
        if (!tarvo::ReadTableFile(path, predicted, rows, toPredict, fault))
          throw py::value_error(fault);
        return py::make_tuple(ColumnsOfTable(rows), ColumnsOfTable(toPredict));
      },
      py::arg("path"), py::arg("predicted"));
}
