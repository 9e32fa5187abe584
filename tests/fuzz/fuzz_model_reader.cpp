// Feeds arbitrary bytes to the model-file reader. Besides the sanitizers' findings, it stops on a
// reading that breaks what the rest of the program relies on: a refusal without a message, or a
// model that does not write back to a text that reads as the same model. Every model read is
// also applied to a small table of its own columns (known, missing and unseen values), which
// must give one prediction per object and tree, or a message.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_require.h"
#include "tarvo/model.h"
#include "tarvo/model_file.h"
#include "tarvo/table.h"

namespace {

using namespace tarvo;

// Three objects: the first value of every column, a missing one, and one the model never saw.
Table TableOfColumns(const Model& model) {
  Table table;
  for (const ModelColumn& column : model.Columns) {
    if (column.Nominal) {
      const std::string first = column.ValueNames.empty() ? "a" : column.ValueNames.front();
      table.AddNominalColumn(column.Name, {first, "", first + "\x01unseen"});
    } else {
      table.AddNumericColumn(column.Name, {0.5, kMissingValue, -1e300});
    }
  }
  return table;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  Model model;
  try {
    model = ModelOfText(text, "fuzz.json");
  } catch (const ModelError& error) {
    Require(error.what()[0] != '\0', "a refusal without a message");
    return 0;
  }
  const std::string written = ModelText(model);
  try {
    Require(ModelText(ModelOfText(written, "written.json")) == written,
            "a model written back reads as another model");
  } catch (const ModelError&) {
    Require(false, "a model written back does not read");
  }
  try {
    const Predictions predictions = Predict(model, TableOfColumns(model));
    Require(predictions.Objects.size() == 3, "not one prediction per object");
    for (const ObjectPrediction& object : predictions.Objects) {
      Require(object.Trees.size() == model.Trees.size(), "not one answer per tree");
    }
  } catch (const ModelError& error) {
    Require(error.what()[0] != '\0', "a table refused without a message");
  }
  return 0;
}
