// Temporary folders, whole files as bytes, and runs of the engine in a folder of their own.
// Tests never rely on the working directory CTest gives them.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "tarvo/engine.h"
#include "tarvo/parameters.h"

namespace tarvo::testing {

// A fresh, empty folder under the system's temporary directory, removed with its contents.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarvo-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::string File(std::string_view name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline void WriteBytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << path;
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A table written with "\n" line ends in the test source, as a CR LF file or as its LF twin.
enum class LineEnds { CrLf, Lf };

inline std::string WithLineEnds(std::string_view text, LineEnds ends) {
  std::string out;
  for (char c : text) {
    if (c == '\n' && ends == LineEnds::CrLf) out.push_back('\r');
    out.push_back(c);
  }
  return out;
}

inline std::string LineEndsName(const ::testing::TestParamInfo<LineEnds>& info) {
  return info.param == LineEnds::CrLf ? "CrLf" : "Lf";
}

// Plausible chi-square values for prog.par: four lines, 50 numbers each (the second line needs 30).
// The reader tests never depend on the values themselves.
inline std::string SmallProgPar() {
  std::string text;
  const double shift[4] = {3.1, 2.6, 2.3, 1.6};
  for (int line = 0; line < 4; ++line) {
    for (int i = 1; i <= 50; ++i) {
      const int f = i <= 30 ? i : 30 + 2 * (i - 30);
      char number[32];
      std::snprintf(number, sizeof number, "%s%.3f", i == 1 ? "" : " ",
                    f + shift[line] * std::sqrt(2.0 * f));
      text += number;
    }
    text += "\r\n";
  }
  return text;
}

// Each test runs in a fresh working folder: RunEngine writes output.txt there and looks for
// prog.par there.
class EngineRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(folder_.Path());
  }
  void TearDown() override { std::filesystem::current_path(previous_); }

  void WriteFile(std::string_view name, std::string_view bytes) {
    WriteBytes(folder_.File(name), bytes);
  }
  void WriteProgPar() { WriteFile("prog.par", SmallProgPar()); }

  // Writes table.txt, runs the engine on it and returns output.txt as bytes.
  std::string Run(std::string_view table, RunParameters p = RunParameters{}) {
    WriteFile("table.txt", table);
    RunEngine(p.TargetWeight, p.RecursiveComplexity, p.Homogeneity, p.MonteCarlo, p.VariantsNumber,
              p.FeatureToPredict, p.FoldsCrossValidate, "table.txt");
    return ReadBytes(folder_.File("output.txt"));
  }

  TempFolder folder_;

 private:
  std::filesystem::path previous_;
};

}  // namespace tarvo::testing
