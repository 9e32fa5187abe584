// The files around a run: a report that cannot be written, a table that is the report file, a
// table too large to read, prog.par values that read without an error but as zeros, and a report
// replaced only by a complete one.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include "file_bytes.h"
#include "input_table.h"
#include "report_file.h"
#include "tarvo/atomic_file.h"
#include "tarvo/engine.h"
#include "test_files.h"

namespace tarvo {
namespace {

namespace fs = std::filesystem;
using testing::EngineRunTest;
using testing::ReadBytes;

const char kClassTable[] = "4 2 ?\r\n1 0(2)\r\nx cls\r\n1 a\r\n2 a\r\n3 b\r\n4 b\r\n";
const char kNumericTable[] = "4 2 ?\r\n1 1\r\nx y\r\n1 1\r\n2 1.5\r\n3 4\r\n4 4.5\r\n";

// The message of the engine error that a call throws, or "no error".
template <class Call>
std::string EngineErrorOf(Call call) {
  try {
    call();
  } catch (const EngineError& error) {
    return error.what();
  }
  return "no error";
}

std::string RunOn(const std::string& table, RunParameters p, RunResult* result = nullptr) {
  RunResult got = RunEngine(p, table, RunOptions{});
  if (result) *result = got;
  return ReadBytes("output.txt");
}

RunParameters Predicting(int32_t feature) {
  RunParameters p;
  p.FeatureToPredict = feature;
  return p;
}

// A full disk: writes fail with ENOSPC, at the write once the buffer is full, else at the close.
TEST(ReportFileTest, FailedWriteOrCloseIsAnEngineErrorNamingFileAndReason) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  const std::string reason = std::strerror(ENOSPC);
  ReportFile big;
  ASSERT_TRUE(big.Open("/dev/full"));
  EXPECT_EQ(EngineErrorOf([&] { big.Write(std::string(1 << 20, 'x')); }),
            "Cannot write file /dev/full (" + reason + ")");
  ReportFile small;
  ASSERT_TRUE(small.Open("/dev/full"));
  small.Line(" Error: too much objects");
  EXPECT_EQ(EngineErrorOf([&] { small.Close(); }), "Cannot write file /dev/full (" + reason + ")");
}

TEST_F(EngineRunTest, ReportOnAFullDiskEndsTheRunWithAnEngineError) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  fs::create_symlink("/dev/full", "output.txt");
  WriteProgPar();
  WriteFile("table.txt", kClassTable);
  const std::string message = EngineErrorOf([] { RunOn("table.txt", Predicting(2)); });
  EXPECT_EQ(message, "Cannot write file output.txt (" + std::string(std::strerror(ENOSPC)) + ")");
  // A table fault is a report too: its one line is lost the same way.
  WriteFile("fault.txt", "x 2 ?\r\n");
  EXPECT_NE(EngineErrorOf([] { RunOn("fault.txt", Predicting(2)); }), "no error");
}

TEST_F(EngineRunTest, TableThatIsTheReportFileIsRefusedAndKept) {
  WriteProgPar();
  WriteFile("output.txt", kClassTable);
  fs::create_symlink("output.txt", "link.txt");
  for (const char* table : {"output.txt", "link.txt", "./output.txt"}) {
    const std::string message = EngineErrorOf([&] { RunOn(table, Predicting(2)); });
    EXPECT_NE(message.find(std::string("The table ") + table + " is the report file output.txt"),
              std::string::npos)
        << message;
    EXPECT_EQ(ReadBytes("output.txt"), kClassTable) << table;
  }
  // The report may also be the link: the table behind it is kept as well.
  fs::remove("output.txt");
  fs::remove("link.txt");
  WriteFile("table.txt", kClassTable);
  fs::create_symlink("table.txt", "output.txt");
  EXPECT_NE(EngineErrorOf([] { RunOn("table.txt", Predicting(2)); }), "no error");
  EXPECT_EQ(ReadBytes("table.txt"), kClassTable);
}

TEST_F(EngineRunTest, TableLargerThanTheLimitIsAFaultOfTheTable) {
  // A sparse file: its size is refused before any byte is read.
  WriteFile("huge.txt", kClassTable);
  fs::resize_file("huge.txt", kMaxTableBytes + 1);
  RunResult result;
  EXPECT_EQ(RunOn("huge.txt", Predicting(2), &result),
            " Error in input file: the file is larger than 256 MB\r\n");
  EXPECT_TRUE(result.TableFault);
}

TEST(FileBytesTest, StreamThatNeverEndsIsRefusedAtTheLimit) {
  std::string bytes;
  const TFileRead read = ReadFileBytes("/dev/zero", bytes, 100000);
  EXPECT_FALSE(read.Read);
  EXPECT_TRUE(read.TooLarge);
  EXPECT_TRUE(bytes.empty());
  // A file of exactly the limit is read whole.
  testing::TempFolder folder;
  testing::WriteBytes(folder.File("t"), kClassTable);
  EXPECT_TRUE(ReadFileBytes(folder.File("t"), bytes, sizeof kClassTable - 1).Read);
  EXPECT_EQ(bytes, kClassTable);
  const TFileRead missing = ReadFileBytes("/no/such/file", bytes);
  EXPECT_FALSE(missing.Read);
  EXPECT_EQ(missing.SystemError, ENOENT);
}

TEST_F(EngineRunTest, ProgParThatReadsAsZerosIsWarnedWhenTheRunUsesIt) {
  WriteFile("table.txt", kNumericTable);
  WriteProgPar();
  RunResult result;
  RunOn("table.txt", Predicting(2), &result);
  EXPECT_TRUE(result.Warnings.empty());
  // Level 0.05 reads line 4, which this file does not have.
  WriteFile("prog.par", "1 2 3\r\n");
  const std::string report = RunOn("table.txt", Predicting(2), &result);
  EXPECT_EQ(report.rfind("****", 0), 0u);  // the report is complete as before
  ASSERT_EQ(result.Warnings.size(), 1u);
  EXPECT_EQ(
      result.Warnings[0],
      "prog.par: line 4 (level 0.050) holds 0 of its 50 numbers; the missing ones count as 0");
  // A classification run does not use the table: nothing to say.
  WriteFile("table.txt", kClassTable);
  RunOn("table.txt", Predicting(2), &result);
  EXPECT_TRUE(result.Warnings.empty());
}

TEST_F(EngineRunTest, UnreadableProgParGivesTheSystemsReason) {
  WriteFile("table.txt", kClassTable);
  fs::create_directory("prog.par");
  const std::string message = EngineErrorOf([] { RunOn("table.txt", Predicting(2)); });
  // It exists: not "File not found".
  EXPECT_EQ(message, "Cannot read file prog.par (" + std::string(std::strerror(EISDIR)) + ")");
  fs::remove("prog.par");
  fs::create_symlink("/dev/zero", "prog.par");
  EXPECT_EQ(EngineErrorOf([] { RunOn("table.txt", Predicting(2)); }),
            "Cannot read file prog.par: it is too long (more than 65536 bytes)");
}

// Names the files left in the folder besides the given ones (a temporary file left behind).
std::string OtherFiles(std::initializer_list<std::string> known) {
  std::string others;
  for (const fs::directory_entry& entry : fs::directory_iterator(".")) {
    const std::string name = entry.path().filename().string();
    if (std::find(known.begin(), known.end(), name) == known.end()) others += name + " ";
  }
  return others;
}

TEST_F(EngineRunTest, FailedRunKeepsThePreviousReport) {
  WriteFile("table.txt", kNumericTable);
  WriteFile("output.txt", "previous report");
  // No prog.par: the regression run fails after its table has been read.
  EXPECT_NE(EngineErrorOf([] { RunOn("table.txt", Predicting(2)); }), "no error");
  EXPECT_EQ(ReadBytes("output.txt"), "previous report");
  EXPECT_EQ(OtherFiles({"table.txt", "output.txt"}), "");
  // A run that completes replaces it, and the report keeps the file's permissions.
  fs::permissions("output.txt", fs::perms::owner_read | fs::perms::owner_write);
  WriteProgPar();
  EXPECT_EQ(RunOn("table.txt", Predicting(2)).rfind("****", 0), 0u);
  EXPECT_EQ(fs::status("output.txt").permissions(), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(OtherFiles({"table.txt", "output.txt", "prog.par"}), "");
}

TEST_F(EngineRunTest, StoppedRunLeavesThePartWritten) {
  WriteProgPar();
  WriteFile("table.txt", kClassTable);
  WriteFile("output.txt", "previous report");
  std::atomic<bool> stop{false};
  struct StopAtSecondTree : ProgressSink {
    std::atomic<bool>* stop;
    void SetPanelText(int, const std::string&) override {}
    void Repaint() override {}
    void TreeStarted(int32_t index) override { *stop = index == 2; }
  } progress;
  progress.stop = &stop;
  RunOptions options;
  options.Progress = &progress;
  options.CancelRequested = &stop;
  RunParameters p = Predicting(2);
  p.FoldsCrossValidate = 2;
  EXPECT_THROW(RunEngine(p, "table.txt", options), RunCancelled);
  // The first tree's rules are there; the previous report is gone.
  const std::string part = ReadBytes("output.txt");
  EXPECT_EQ(part.rfind("****", 0), 0u) << part;
  EXPECT_EQ(OtherFiles({"table.txt", "output.txt", "prog.par"}), "");
}

TEST(AtomicFileTest, LinksAndDevicesAreWrittenInPlace) {
  testing::TempFolder folder;
  const std::string target = folder.File("target.txt"), link = folder.File("link.txt");
  testing::WriteBytes(target, "old");
  fs::create_symlink(target, link);
  EXPECT_EQ(WriteFileAtomically(link, "new"), 0);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadBytes(target), "new");
  EXPECT_EQ(WriteFileAtomically("/dev/null", "x"), 0);
  EXPECT_EQ(WriteFileAtomically(folder.File("no/such/folder.txt"), "x"), ENOENT);
}

}  // namespace
}  // namespace tarvo
