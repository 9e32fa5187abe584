// The --apply command: reads the model, then the table (its nominal columns as the model knows
// them), predicts, and writes the predictions as CSV.
#include "apply_command.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "exit_status.h"
#include "table_input.h"
#include "tarvo/atomic_file.h"
#include "tarvo/model.h"
#include "tarvo/model_file.h"
#include "tarvo/model_input.h"
#include "tarvo/numbers.h"

namespace {

int Fail(int status, const std::string& message) {
  std::fprintf(stderr, "tarvo-run: %s\n", message.c_str());
  return status;
}

// A field of the output, quoted when it holds the separator, a quote or a line end.
std::string Field(const std::string& text, char separator) {
  if (text.find_first_of(std::string("\"\r\n") + separator) == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string PredictionsText(const tarvo::Model& model, const tarvo::Predictions& predictions,
                            char separator) {
  std::string text = "object";
  for (size_t t = 1; t <= model.Trees.size(); ++t) {
    text += separator + std::string("variant_") + std::to_string(t);
  }
  text += separator + std::string("vote\n");
  for (size_t j = 0; j < predictions.Objects.size(); ++j) {
    const tarvo::ObjectPrediction& object = predictions.Objects[j];
    text += std::to_string(j + 1);
    for (double answer : object.Trees) {
      text += separator + Field(tarvo::TreeAnswerText(model, answer), separator);
    }
    text += separator + Field(tarvo::VoteText(model, object.Vote), separator) + "\n";
  }
  return text;
}

void PrintError(const tarvo::Model& model, const std::string& who, const tarvo::TestError& e) {
  if (e.Known == 0) return;
  const std::string value = e.Defined ? tarvo::FormatReal(e.Value, 5, 3)
                                      : std::string("undefined (true values are all equal)");
  std::fprintf(stderr, "%s: %stest error= %s (%d %s with a true value)\n", who.c_str(),
               model.Classification ? "" : "relative ", value.c_str(), e.Known,
               e.Known == 1 ? "object" : "objects");
}

bool WriteAll(int descriptor, const std::string& text) {
  size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = write(descriptor, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    written += static_cast<size_t>(n);
  }
  return true;
}

// Standard output, or the file replaced whole (keeping its permissions; a link or a device is
// written through).
bool Deliver(const std::string& destination, const std::string& text, std::string& error) {
  if (destination == "-") {
    if (WriteAll(STDOUT_FILENO, text)) return true;
    error = std::string("cannot write the predictions to standard output: ") + std::strerror(errno);
    return false;
  }
  const int reason = tarvo::WriteFileAtomically(destination, text);
  if (reason == 0) return true;
  error = "cannot write " + destination + ": " + std::strerror(reason);
  return false;
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ignored;
  return a == b || std::filesystem::equivalent(a, b, ignored);
}

}  // namespace

int RunApplyCommand(const CommandLine& line) {
  const std::string& modelFile = *line.ApplyModel;
  const std::string destination = line.ReportFile.value_or("-");
  if (destination != "-" &&
      (SameFile(destination, line.Table) || SameFile(destination, modelFile))) {
    return Fail(kExitRunError, "the predictions would overwrite " + destination +
                                   ", an input; nothing was written");
  }
  try {
    const tarvo::Model model = tarvo::LoadModel(modelFile);
    tarvo::Table table;
    std::string fault;
    tarvo::CsvOptions options;
    options.NominalColumns = NominalColumnsOf(line);
    if (!tarvo::ReadObjectsToPredict(model, TableFileOf(line), TableFormatOf(line), options, table,
                                     fault)) {
      const int openError = TableOpenError(TableFileOf(line));
      return Fail(kExitTableFault, openError != 0 ? TableOpenMessage(line.Table, openError)
                                                  : TableFaultMessage(line.Table, fault));
    }
    const tarvo::Predictions predictions = tarvo::Predict(model, table);
    std::string error;
    if (!Deliver(destination,
                 PredictionsText(model, predictions, line.Format == ResultFormat::Tsv ? '\t' : ','),
                 error)) {
      return Fail(kExitRunError, error);
    }
    for (size_t t = 0; t < predictions.TreeErrors.size(); ++t) {
      PrintError(model, "variant " + std::to_string(t + 1), predictions.TreeErrors[t]);
    }
    PrintError(model, "vote", predictions.VoteError);
    return kExitComplete;
  } catch (const tarvo::ModelError& error) {
    return Fail(kExitTableFault, error.what());
  }
}
