// Model files as JSON (nlohmann-json). A reader checks everything it takes: a file edited by hand
// or damaged gives a message, never a model whose trees could lead an object astray.
#include "tarvo/model_file.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <unordered_set>
#include <vector>

#include "file_bytes.h"
#include "system_error_text.h"
#include "tarvo/atomic_file.h"

namespace tarvo {

namespace {

using Json = nlohmann::ordered_json;  // members in the order written: format and version first

constexpr const char* kFormatName = "tarvo-model";
constexpr size_t kMaxModelBytes = size_t{1} << 30;

// A name that is not UTF-8 cannot be a JSON string: it becomes {"hex": "..."} of its bytes.
Json NameJson(const std::string& name) {
  Json text = name;
  try {
    (void)text.dump();
    return text;
  } catch (const Json::type_error&) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char byte : name) {
      hex += kDigits[byte >> 4];
      hex += kDigits[byte & 15];
    }
    return Json{{"hex", hex}};
  }
}

Json NamesJson(const std::vector<std::string>& names) {
  Json list = Json::array();
  for (const std::string& name : names) list.push_back(NameJson(name));
  return list;
}

Json RealJson(double value, const char* what) {
  if (!std::isfinite(value))
    throw ModelError(std::string("The model's ") + what + " is not finite.");
  return value;
}

Json TreeJson(const ModelTree& tree) {
  Json nodes = Json::array();
  for (const ModelNode& node : tree.Nodes) {
    Json branches = Json::array();
    for (const ModelBranch& b : node.Branches) {
      Json branch = {{"child", b.Child}};
      if (b.Interval) {
        branch["low"] = RealJson(b.Low, "branch bound");
        branch["high"] = RealJson(b.High, "branch bound");
        branch["open_below"] = b.OpenBelow;
        branch["open_above"] = b.OpenAbove;
      } else {
        branch["values"] = b.Values;
      }
      branches.push_back(std::move(branch));
    }
    nodes.push_back({{"feature", node.Feature},
                     {"class_counts", node.ClassCounts},
                     {"mean", RealJson(node.Mean, "node mean")},
                     {"branches", std::move(branches)}});
  }
  return {{"variant", tree.Variant},
          {"cross_validation_error", RealJson(tree.CrossValidationError, "error")},
          {"nodes", std::move(nodes)}};
}

// Reading: every access goes through these, which throw the reason the text is no model.
class ModelReader {
 public:
  explicit ModelReader(std::string name) : name_(std::move(name)) {}

  [[noreturn]] void Fail(const std::string& reason) const {
    throw ModelError("Cannot read the model " + name_ + ": " + reason + ".");
  }

  const Json& Member(const Json& object, const char* key) const {
    if (!object.is_object()) Fail(std::string("a record with \"") + key + "\" is not one");
    const auto found = object.find(key);
    if (found == object.end()) Fail(std::string("\"") + key + "\" is missing");
    return *found;
  }

  const Json& Array(const Json& object, const char* key) const {
    const Json& value = Member(object, key);
    if (!value.is_array()) Fail(std::string("\"") + key + "\" is not a list");
    return value;
  }

  int64_t WholeNumber(const Json& value, const char* what, int64_t low, int64_t high) const {
    int64_t number = 0;
    if (value.is_number_unsigned()) {
      const uint64_t u = value.get<uint64_t>();
      number = u > static_cast<uint64_t>(high) ? high + 1 : static_cast<int64_t>(u);
    } else if (value.is_number_integer()) {
      number = value.get<int64_t>();
    } else {
      Fail(std::string(what) + " is not a whole number");
    }
    if (number < low || number > high) Fail(std::string(what) + " is out of range");
    return number;
  }
  int64_t Integer(const Json& object, const char* key, int64_t low, int64_t high) const {
    return WholeNumber(Member(object, key), key, low, high);
  }

  double Real(const Json& object, const char* key) const {
    const Json& value = Member(object, key);
    if (!value.is_number()) Fail(std::string("\"") + key + "\" is not a number");
    const double number = value.get<double>();
    if (!std::isfinite(number)) Fail(std::string("\"") + key + "\" is not a finite number");
    return number;
  }

  bool Flag(const Json& object, const char* key) const {
    const Json& value = Member(object, key);
    if (!value.is_boolean()) Fail(std::string("\"") + key + "\" is not true or false");
    return value.get<bool>();
  }

  std::string Name(const Json& value) const {
    if (value.is_string()) return value.get<std::string>();
    if (value.is_object() && value.size() == 1 && value.contains("hex") &&
        value["hex"].is_string()) {
      const std::string& hex = value["hex"].get_ref<const std::string&>();
      std::string bytes;
      if (hex.size() % 2 != 0) Fail("a name in hex has an odd number of digits");
      for (size_t i = 0; i < hex.size(); i += 2) {
        bytes += static_cast<char>(HexDigit(hex[i]) * 16 + HexDigit(hex[i + 1]));
      }
      return bytes;
    }
    Fail("a name is not a text");
  }

  std::vector<std::string> Names(const Json& object, const char* key) const {
    std::vector<std::string> names;
    for (const Json& value : Array(object, key)) names.push_back(Name(value));
    return names;
  }

 private:
  int HexDigit(char c) const {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    Fail("a name in hex holds a character that is no hex digit");
  }

  std::string name_;
};

constexpr int64_t kInt32Low = std::numeric_limits<int32_t>::min();
constexpr int64_t kInt32High = std::numeric_limits<int32_t>::max();

RunParameters ReadParameters(const ModelReader& r, const Json& json) {
  RunParameters p;
  p.TargetWeight = r.Real(json, "target_weight");
  p.RecursiveComplexity = r.Real(json, "recursive_complexity");
  p.Homogeneity = r.Real(json, "homogeneity");
  p.MonteCarlo = static_cast<int32_t>(r.Integer(json, "monte_carlo", kInt32Low, kInt32High));
  p.VariantsNumber = static_cast<int32_t>(r.Integer(json, "variants", kInt32Low, kInt32High));
  p.FeatureToPredict =
      static_cast<int32_t>(r.Integer(json, "feature_to_predict", kInt32Low, kInt32High));
  p.FoldsCrossValidate = static_cast<int32_t>(r.Integer(json, "folds", kInt32Low, kInt32High));
  return p;
}

std::vector<ModelColumn> ReadColumns(const ModelReader& r, const Json& json) {
  std::vector<ModelColumn> columns;
  for (const Json& entry : r.Array(json, "columns")) {
    ModelColumn column;
    column.Name = r.Name(r.Member(entry, "name"));
    const Json& kind = r.Member(entry, "kind");
    if (kind != "numeric" && kind != "nominal") r.Fail("a column's kind is not numeric or nominal");
    column.Nominal = kind == "nominal";
    if (column.Nominal) column.ValueNames = r.Names(entry, "values");
    columns.push_back(std::move(column));
  }
  if (columns.empty()) r.Fail("the model has no columns");
  return columns;
}

// A node's branches must lead to nodes after it (so that every descent ends) and test its
// column as the column's kind allows.
ModelTree ReadTree(const ModelReader& r, const Json& json, const Model& model) {
  ModelTree tree;
  tree.Variant = static_cast<int32_t>(r.Integer(json, "variant", 1, kInt32High));
  tree.CrossValidationError = r.Real(json, "cross_validation_error");
  const Json& nodes = r.Array(json, "nodes");
  if (nodes.empty()) r.Fail("a tree has no nodes");
  const int64_t count = static_cast<int64_t>(nodes.size());
  const int64_t columns = static_cast<int64_t>(model.Columns.size());
  const size_t classes = model.Classification ? model.ClassNames.size() : 0;
  for (int64_t index = 0; index < count; ++index) {
    const Json& entry = nodes[static_cast<size_t>(index)];
    ModelNode& node = tree.Nodes.emplace_back();
    node.Feature = static_cast<int32_t>(r.Integer(entry, "feature", 0, columns));
    for (const Json& c : r.Array(entry, "class_counts")) {
      node.ClassCounts.push_back(
          static_cast<int32_t>(r.WholeNumber(c, "a class count", 0, kInt32High)));
    }
    if (node.ClassCounts.size() != classes) r.Fail("a node's class counts are not one per class");
    node.Mean = r.Real(entry, "mean");
    const Json& branches = r.Array(entry, "branches");
    if (!branches.empty() && node.Feature == 0) r.Fail("a node with branches tests no column");
    const bool nominal = node.Feature > 0 && model.Columns[node.Feature - 1].Nominal;
    for (const Json& b : branches) {
      ModelBranch& branch = node.Branches.emplace_back();
      branch.Child = static_cast<int32_t>(r.Integer(b, "child", index + 1, count - 1));
      branch.Interval = !nominal;
      if (nominal) {
        for (const Json& v : r.Array(b, "values")) {
          branch.Values.push_back(
              static_cast<int32_t>(r.WholeNumber(v, "a value code", 1, kInt32High)));
        }
      } else {
        branch.Low = r.Real(b, "low");
        branch.High = r.Real(b, "high");
        branch.OpenBelow = r.Flag(b, "open_below");
        branch.OpenAbove = r.Flag(b, "open_above");
      }
    }
  }
  return tree;
}

}  // namespace

std::string ModelText(const Model& model) {
  Json columns = Json::array();
  for (const ModelColumn& column : model.Columns) {
    Json entry = {{"name", NameJson(column.Name)},
                  {"kind", column.Nominal ? "nominal" : "numeric"}};
    if (column.Nominal) entry["values"] = NamesJson(column.ValueNames);
    columns.push_back(std::move(entry));
  }
  const RunParameters& p = model.Parameters;
  Json trees = Json::array();
  for (const ModelTree& tree : model.Trees) trees.push_back(TreeJson(tree));
  const Json json = {{"format", kFormatName},
                     {"version", kModelFormatVersion},
                     {"kind", model.Classification ? "classification" : "regression"},
                     {"predicted_column", model.PredictedColumn},
                     {"classes", NamesJson(model.ClassNames)},
                     {"columns", std::move(columns)},
                     {"parameters",
                      {{"target_weight", RealJson(p.TargetWeight, "target weight")},
                       {"recursive_complexity", RealJson(p.RecursiveComplexity, "look-ahead")},
                       {"homogeneity", RealJson(p.Homogeneity, "homogeneity")},
                       {"monte_carlo", p.MonteCarlo},
                       {"variants", p.VariantsNumber},
                       {"feature_to_predict", p.FeatureToPredict},
                       {"folds", p.FoldsCrossValidate}}},
                     {"trees", std::move(trees)}};
  return json.dump(1) + "\n";
}

Model ModelOfText(const std::string& text, const std::string& name) {
  const ModelReader r(name);
  Json json;
  try {
    json = Json::parse(text);
  } catch (const Json::exception& error) {
    r.Fail(std::string("it is not JSON (") + error.what() + ")");
  }
  if (!json.is_object() || !json.contains("format") || json["format"] != kFormatName) {
    r.Fail("it is not a Tarvo model file");
  }
  const int64_t version = r.Integer(json, "version", 1, kInt32High);
  if (version > kModelFormatVersion) {
    throw ModelError("The model " + name + " has format version " + std::to_string(version) +
                     ", written by a newer Tarvo; this one reads versions up to " +
                     std::to_string(kModelFormatVersion) + ".");
  }
  Model model;
  const Json& kind = r.Member(json, "kind");
  if (kind != "classification" && kind != "regression") {
    r.Fail("its kind is not classification or regression");
  }
  model.Classification = kind == "classification";
  model.Columns = ReadColumns(r, json);
  model.PredictedColumn = static_cast<int32_t>(
      r.Integer(json, "predicted_column", 1, static_cast<int64_t>(model.Columns.size())));
  const ModelColumn& predicted = model.Columns[model.PredictedColumn - 1];
  if (predicted.Nominal != model.Classification) {
    r.Fail("the predicted column's kind does not fit the model's kind");
  }
  model.ClassNames = r.Names(json, "classes");
  if (model.Classification ? model.ClassNames.size() != predicted.ValueNames.size()
                           : !model.ClassNames.empty()) {
    r.Fail("its classes are not the values of the predicted column");
  }
  if (model.Classification && model.ClassNames.empty()) r.Fail("it has no classes");
  model.Parameters = ReadParameters(r, r.Member(json, "parameters"));
  for (const Json& tree : r.Array(json, "trees")) model.Trees.push_back(ReadTree(r, tree, model));
  if (model.Trees.empty()) r.Fail("it has no trees");
  return model;
}

void SaveModel(const Model& model, const std::string& path) {
  // A model finds its columns by name when it predicts: two of one name could not be told apart.
  std::unordered_set<std::string> names;
  for (const ModelColumn& column : model.Columns) {
    if (!names.insert(column.Name).second) {
      throw ModelError("Cannot write the model " + path + ": the table has two columns named " +
                       column.Name + ", and a model finds its columns by name.");
    }
  }
  // Replaced whole, keeping its permissions; a link or a device is written through.
  const int error = WriteFileAtomically(path, ModelText(model));
  if (error != 0)
    throw ModelError("Cannot write the model " + path + WithSystemReason(error) + ".");
}

Model LoadModel(const std::string& path) {
  std::string text;
  const TFileRead read = ReadFileBytes(path, text, kMaxModelBytes);
  if (read.TooLarge) throw ModelError("Cannot read the model " + path + ": it is too large.");
  if (!read) {
    throw ModelError("Cannot read the model " + path + WithSystemReason(read.SystemError) + ".");
  }
  return ModelOfText(text, path);
}

}  // namespace tarvo
