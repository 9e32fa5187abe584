// The learning engine's one entry: a run reads a table, grows trees and writes its report.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "tarvo/csv_table.h"
#include "tarvo/model.h"
#include "tarvo/parameters.h"
#include "tarvo/pruning.h"
#include "tarvo/table.h"

namespace tarvo {

// An error that ends a run before its report is complete (a missing or unreadable prog.par,
// a report file that cannot be created). what() is the text the user sees.
class EngineError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A run that ended early because its caller asked it to stop. It is not an EngineError: the
// caller decides what to show, and the report left behind is incomplete.
class RunCancelled : public std::exception {
 public:
  const char* what() const noexcept override { return "The run was stopped."; }
};

// The engine's way to the window: the texts of status panels 1 and 2 and an immediate repaint,
// the plan of the run and the start of each tree. Always called on the thread that called
// RunEngine (worker threads of the search never report progress).
class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void SetPanelText(int panel, const std::string& text) = 0;
  virtual void Repaint() = 0;
  // How many trees the run will grow at most, told once after the table has been read and
  // before the first tree starts. The run may grow fewer (variants end when a root cannot split).
  virtual void PlanTrees(int32_t /*trees*/) {}
  // Tree `index` of the plan (1-based) starts growing.
  virtual void TreeStarted(int32_t /*index*/) {}
};

class TreeObserver;  // receives a description of every reported tree (tarvo/tree_description.h)

// What a caller may add to a run besides its parameters and table. Every member is optional.
struct RunOptions {
  ProgressSink* Progress = nullptr;
  // Set to true (from any thread) to stop the run; RunEngine then throws RunCancelled.
  const std::atomic<bool>* CancelRequested = nullptr;
  TreeObserver* Observer = nullptr;
  int32_t SearchThreads = 0;  // threads of the search; 0 means one per core
  std::string ReportFileName = "output.txt";
  std::string ChiSquareFileName = "prog.par";
  // Cost-complexity pruning of every tree, its size chosen on the run's folds; with it the
  // report adds a pruning table after each tree. None keeps the report as it is.
  PruneRule Prune = PruneRule::None;
  // How a run on a file reads it: a described table file, or CSV or TSV with these options.
  TableFormat InputFormat = TableFormat::Described;
  CsvOptions Csv;
  // The name of a table in memory, for the report's "input file:" line; for a table file, when
  // not empty, the name shown there instead of the path read (that of a copy, say).
  std::string TableName;
};

// One fold of a cross-validation: its error (relative to the training spread in a regression
// run) and how many objects it tested.
struct FoldError {
  double Error = 0.0;
  int32_t Tested = 0;
};

// The run's first tree in figures, for callers that compare settings.
struct FirstTreeFigures {
  int32_t Leaves = 0;                 // leaves of the tree grown on all the training objects
  double CrossValidationError = 0.0;  // as the report gives it; 0 without cross-validation
  std::vector<FoldError> Folds;       // the folds that tested objects, in fold order
};

// What a completed call tells besides the report.
struct RunResult {
  // The report holds one message about the table or the run parameters instead of trees.
  bool TableFault = false;
  std::string FaultMessage;  // that message's first line, without its line end
  // Things that read without an error but probably not as the user meant (a prog.par value that
  // did not read, for instance): one line each, for stderr or a status bar.
  std::vector<std::string> Warnings;
  FirstTreeFigures FirstTree;
  // The trees that count, for predicting other objects (tarvo/model.h); null after a fault.
  std::shared_ptr<const Model> GrownModel;
};

// The fuller entry: parameters and a table file in (read as options.InputFormat says), report
// out. A classification run leaves the number of file
// columns in parameters.FeatureToPredict, as the described entry does.
RunResult RunEngine(RunParameters& parameters, std::string inputFileName,
                    const RunOptions& options);

// The same run on a table in memory; toPredict, when given, holds objects to predict with the
// table's columns (their predicted column may be unknown). A table that FindTableFault refuses is
// a fault of the table: the report holds its message.
RunResult RunEngine(RunParameters& parameters, const Table& table, const RunOptions& options,
                    const Table* toPredict = nullptr);

// Runs the engine once on inputFileName with the seven run parameters in param.par order.
// The product is output.txt in the current working directory; faults of the table are reported
// there and the call returns normally. A classification run leaves the number of file columns in
// FeatureToPredict, as callers reload their parameters before every run. progress may be null.
void RunEngine(double& TargetWeight, double& RecursiveComplexity, double& Homogeneity,
               int32_t& MonteCarlo, int32_t& VariantsNumber, int32_t& FeatureToPredict,
               int32_t& FoldsCrossValidate, std::string inputFileName,
               ProgressSink* progress = nullptr);

}  // namespace tarvo
