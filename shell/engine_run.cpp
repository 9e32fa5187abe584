// The engine on a worker thread: progress and the end of the run go back as queued calls.
#include "engine_run.h"

#include <QFile>
#include <exception>

namespace {

// The engine's progress, handed to the window's thread. The panel texts, the plan and the tree
// starts travel through one queue, so they arrive in the order the engine told them.
class TQueuedProgress : public tarvo::ProgressSink {
 public:
  TQueuedProgress(std::function<void(int, QString)> panel, std::function<void(int32_t)> planned,
                  std::function<void(int32_t)> started)
      : panel_(std::move(panel)), planned_(std::move(planned)), started_(std::move(started)) {}
  void SetPanelText(int panel, const std::string& text) override {
    panel_(panel, QString::fromLatin1(text));
  }
  // The window repaints by itself: its event loop runs throughout.
  void Repaint() override {}
  void PlanTrees(int32_t trees) override { planned_(trees); }
  void TreeStarted(int32_t index) override { started_(index); }

 private:
  std::function<void(int, QString)> panel_;
  std::function<void(int32_t)> planned_;
  std::function<void(int32_t)> started_;
};

// A stopped run leaves the part of the report written so far; its last line says so, so that
// nobody takes it for a complete report.
// False when the line cannot be written.
bool MarkReportStopped(const QString& fileName) {
  QFile report(fileName);
  if (!report.open(QIODevice::ReadWrite)) return false;
  QByteArray tail;
  if (report.size() > 0 && report.seek(report.size() - 1)) tail = report.read(1);
  QByteArray line = QByteArray(kStoppedReportLine) + "\r\n";
  if (!tail.isEmpty() && tail != "\n") line.prepend("\r\n");
  return report.seek(report.size()) && report.write(line) == line.size() && report.flush();
}

}  // namespace

TEngineRun::TEngineRun(const tarvo::RunParameters& parameters, tarvo::PruneRule prune,
                       std::string inputFileName, tarvo::CsvOptions csv, TTreeStartHook hook,
                       QObject* parent)
    : TBackgroundTask(parent),
      Parameters(parameters),
      Prune(prune),
      InputFileName(std::move(inputFileName)),
      Csv(std::move(csv)),
      Hook(std::move(hook)) {
  setObjectName("EngineRun");
}

TEngineRun::~TEngineRun() {
  StopAndWait();
}

void TEngineRun::Start() {
  TBackgroundTask::Start([this] { Run(); });
}

void TEngineRun::StopAndWait() {
  StopRequested.store(true);
  Wait();
}

void TEngineRun::Run() {
  TQueuedProgress progress(
      [this](int panel, QString text) {
        Post([this, panel, text] { emit PanelTextChanged(panel, text); });
      },
      [this](int32_t trees) { Post([this, trees] { emit TreesPlanned(trees); }); },
      [this](int32_t tree) {
        Post([this, tree] { emit TreeStarted(tree); });
        if (Hook) Hook(tree, StopRequested);
      });
  tarvo::RunOptions options;
  options.Progress = &progress;
  options.CancelRequested = &StopRequested;
  options.ReportFileName = kReportFileName;
  // A .csv, .tsv or .tab file is read as such a table; any other name as a table file.
  options.InputFormat = tarvo::TableFormatOfName(InputFileName);
  options.Csv = Csv;
  options.Prune = Prune;
  tarvo::TreeCollector trees;
  options.Observer = &trees;

  TRunOutcome outcome;
  outcome.Parameters = Parameters;
  try {
    outcome.Result = tarvo::RunEngine(outcome.Parameters, InputFileName, options);
    outcome.Trees = std::move(trees.Trees);
  } catch (const tarvo::RunCancelled&) {
    outcome.End = TRunOutcome::TEnd::Stopped;
    if (!MarkReportStopped(kReportFileName))
      outcome.Error = QString("Cannot write file %1").arg(kReportFileName);
  } catch (const std::exception& error) {
    outcome.End = TRunOutcome::TEnd::Failed;
    outcome.Error = QString::fromLocal8Bit(error.what());
  } catch (...) {
    outcome.End = TRunOutcome::TEnd::Failed;
    outcome.Error = "The run stopped on an unknown error.";
  }
  Post([this, outcome] { emit Ended(outcome); });
}
