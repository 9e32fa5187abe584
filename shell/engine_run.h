// One run of the engine on a thread of its own; what it tells arrives in order, as queued calls,
// on the thread that started it.
#pragma once

#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "background_task.h"
#include "tarvo/engine.h"
#include "tarvo/parameters.h"
#include "tarvo/tree_description.h"
#include "tree_collector.h"

// How a run ended.
struct TRunOutcome {
  enum class TEnd { Completed, Stopped, Failed };
  TEnd End = TEnd::Completed;
  QString Error;                    // the message of a failed run, or of a stopped run whose
                                    // report could not be marked incomplete
  tarvo::RunResult Result;          // what a completed run told besides the report
  tarvo::RunParameters Parameters;  // as the engine left them
  std::vector<tarvo::TreeDescription> Trees;  // the reported trees of a completed run
};

class TEngineRun : public TBackgroundTask {
  Q_OBJECT

 public:
  // Called on the run's thread each time a tree starts, with the stop request; tests hold a run
  // here to look at the window while it lasts.
  using TTreeStartHook = std::function<void(int32_t tree, const std::atomic<bool>& stopRequested)>;

  // csv: how a CSV or TSV table is read (a table file ignores it).
  TEngineRun(const tarvo::RunParameters& parameters, tarvo::PruneRule prune,
             std::string inputFileName, tarvo::CsvOptions csv, TTreeStartHook hook,
             QObject* parent = nullptr);
  // Stops the run and waits for its thread.
  ~TEngineRun() override;
  TEngineRun(const TEngineRun&) = delete;
  TEngineRun& operator=(const TEngineRun&) = delete;

  // Throws std::system_error when no thread can be made for the run.
  void Start();
  // Asks the engine to stop; Ended follows once it has unwound.
  void RequestStop() { StopRequested.store(true); }
  // Asks the engine to stop and waits for its thread; Ended is not delivered.
  void StopAndWait();

 signals:
  void PanelTextChanged(int panel, const QString& text);
  void TreesPlanned(int trees);
  void TreeStarted(int tree);
  void Ended(const TRunOutcome& outcome);

 private:
  void Run();

  tarvo::RunParameters Parameters;
  tarvo::PruneRule Prune;
  std::string InputFileName;
  tarvo::CsvOptions Csv;
  TTreeStartHook Hook;
  std::atomic<bool> StopRequested{false};
};

// The report name of a run and the line that ends a stopped run's report.
inline const char* const kReportFileName = "output.txt";
inline const char* const kStoppedReportLine = "The run was stopped: this report is incomplete.";
