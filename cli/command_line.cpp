// Parsing tarvo-run's command line with CLI11 (GNU forms: --name=value, --name value, -o FILE,
// -oFILE, and -- before a table whose name begins with a dash). Values are converted here, with
// the number grammar of param.par, so that an option and the file read a value the same way.
#include "command_line.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>

#include "exit_status.h"
#include "tarvo/numbers.h"

namespace {

constexpr const char* kHelpText =
    "Usage: tarvo-run [OPTION]... TABLE\n"
    "  or:  tarvo-run --apply=MODEL [-o FILE] TABLE\n"
    "Grow decision trees from the table file TABLE and write their rules, error estimates,\n"
    "predictions and vote to a report, as the window's Grow Tree does.\n"
    "\n"
    "Without options the run parameters are those of param.par in the current folder (a\n"
    "missing file or value counts as 0) and the report is output.txt there. With any option,\n"
    "each run parameter comes from its option, else from the parameter file, else from the\n"
    "defaults of the window's parameter panel (shown below in brackets).\n"
    "\n"
    "Run parameters:\n"
    "      --look-ahead=REAL     depth of the look-ahead of the split search; a fraction thins\n"
    "                            the features of the deeper searches [1]\n"
    "      --homogeneity=REAL    error frequency that stops a node; in regression the level of\n"
    "                            the chi-square test: 0.001, 0.005, 0.01 or 0.05 [0.05]\n"
    "      --variants=N          trees to grow, each without the root feature of the one\n"
    "                            before (at most 255) [1]\n"
    "      --target=COLUMN       the predicted column: its number, or its name as the table's\n"
    "                            header spells it [1]\n"
    "      --folds=N             folds of the cross-validation (at most 255); none when 1 or\n"
    "                            less [10]\n"
    "      --target-weight=REAL  weight of the error or dispersion term of the split score [1]\n"
    "      --monte-carlo=N       trials of the dispersion test for negative means [100]\n"
    "\n"
    "Pruning (not kept in the parameter file):\n"
    "      --prune=RULE          cut every tree back to the size that cross-validation on\n"
    "                            the run's folds chooses: min (least error) or 1se (the\n"
    "                            smallest tree within one standard error of it); none [none].\n"
    "                            Unless given, --target-weight and --homogeneity then take\n"
    "                            the growth settings of pruning (see the README)\n"
    "\n"
    "File options:\n"
    "      --param=FILE          read the run parameters from FILE [./param.par]\n"
    "      --prog=FILE           read the chi-square table from FILE [./prog.par, else the\n"
    "                            copy installed with the program]\n"
    "  -o, --output=FILE         write the report to FILE; - writes it to standard output\n"
    "                            [output.txt]\n"
    "      --table-format=FORMAT the format of TABLE: csv, tsv or table (a table file); by\n"
    "                            default .csv is CSV, .tsv and .tab are TSV, others tables\n"
    "      --nominal=COL[,COL...]  columns of a CSV or TSV table that are nominal even when\n"
    "                            their values are numbers (names or numbers)\n"
    "\n"
    "A CSV or TSV table has a header row of column names; an empty field, NA or ? is a\n"
    "missing value. Without --target its last column is predicted.\n"
    "\n"
    "Tuning (look-ahead and homogeneity chosen by cross-validation):\n"
    "      --tune                run the table once per setting of a grid and print each\n"
    "                            setting's cross-validation error, the best marked; no report\n"
    "      --grid=TEXT           the settings, as \"rc=1,2,3 h=0.01,0.05\" [rc=1,2,2.5,3\n"
    "                            h=0.01,0.05,0.1,0.2; a numeric target: h=0.001,0.005,0.01,0.05]\n"
    "      --budget=SECONDS      stop the search when the time is spent; 0: no limit [300]\n"
    "      --write-param         write the best setting into the parameter file\n"
    "\n"
    "Models (the trees kept in a file, to predict other tables):\n"
    "      --save-model=FILE     write the run's trees to FILE as a model, besides the report\n"
    "      --apply=MODEL         predict the objects of TABLE with the model in MODEL instead\n"
    "                            of growing trees: CSV with the columns object, variant_1...,\n"
    "                            vote to -o FILE, or to standard output; where TABLE holds the\n"
    "                            true values, the test errors go to stderr. A value of a\n"
    "                            nominal column that the model never saw counts as missing\n"
    "\n"
    "Pictures of the trees (the run and its report stay the same):\n"
    "      --dot=FILE            write every reported tree to FILE in Graphviz DOT, one\n"
    "                            digraph per variant (dot -Tpdf FILE draws them)\n"
    "      --svg=FILE            write a picture of one reported tree to FILE as SVG\n"
    "      --variant=N           the variant that --svg draws [1]\n"
    "\n"
    "Other options:\n"
    "      --help                show this text and exit\n"
    "      --version             show the version and exit\n"
    "\n"
    "Progress is shown on stderr when it is a terminal. Ctrl+C stops the run.\n"
    "\n"
    "Exit status:\n"
    "  0    the report is complete\n"
    "  1    the table or the run parameters have a fault: the report holds its message,\n"
    "       and so does stderr (0 without options, as the window's Grow Tree)\n"
    "  2    the run ended with an error, whose message is the first line on stderr\n"
    "  64   the command line is wrong\n"
    "  130  the run was interrupted; the report is incomplete\n";

int UsageError(const std::string& message) {
  std::fprintf(stderr, "tarvo-run: %s (try 'tarvo-run --help')\n", message.c_str());
  return kExitUsage;
}

// The option texts as given, converted once parsing has succeeded.
struct OptionTexts {
  std::optional<std::string> targetWeight, lookAhead, homogeneity, monteCarlo, variants, folds,
      budget;
  std::optional<std::string> svgVariant, prune;
};

bool ConvertReal(const char* name, const std::optional<std::string>& text,
                 std::optional<double>& value, std::string& error) {
  if (!text) return true;
  double number = 0.0;
  if (!tarvo::ParseRealToken(*text, number)) {
    error = std::string(name) + ": '" + *text + "' is not a number";
    return false;
  }
  value = number;
  return true;
}

bool ConvertInteger(const char* name, const std::optional<std::string>& text,
                    std::optional<int32_t>& value, std::string& error) {
  if (!text) return true;
  int32_t number = 0;
  if (!tarvo::ParseIntegerToken(*text, number)) {
    error = std::string(name) + ": '" + *text + "' is not a whole number";
    return false;
  }
  value = number;
  return true;
}

bool CheckFileName(const char* name, const std::optional<std::string>& file, std::string& error) {
  if (!file || !file->empty()) return true;
  error = std::string(name) + ": the file name is empty";
  return false;
}

bool IsSameFile(const std::string& a, const std::string& b) {
  std::error_code ignored;
  return a == b || std::filesystem::equivalent(a, b, ignored);
}

}  // namespace

std::optional<int> ParseCommandLine(int argc, char** argv, CommandLine& line) {
  CLI::App app("", "tarvo-run");
  app.set_help_flag();  // the help text above, not CLI11's
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);  // as GNU tools
  bool help = false, version = false;
  OptionTexts texts;
  app.add_flag("--help", help);
  app.add_flag("--version", version);
  app.add_option("--look-ahead", texts.lookAhead)->type_name("REAL");
  app.add_option("--homogeneity", texts.homogeneity)->type_name("REAL");
  app.add_option("--variants", texts.variants)->type_name("N");
  app.add_option("--target", line.Target)->type_name("COLUMN");
  app.add_option("--folds", texts.folds)->type_name("N");
  app.add_option("--target-weight", texts.targetWeight)->type_name("REAL");
  app.add_option("--monte-carlo", texts.monteCarlo)->type_name("N");
  app.add_option("--param", line.ParameterFile)->type_name("FILE");
  app.add_option("--prog", line.ChiSquareFile)->type_name("FILE");
  const CLI::Option* output = app.add_option("-o,--output", line.ReportFile)->type_name("FILE");
  const CLI::Option* tableFormat = app.add_option("--table-format", line.TableFormat)
                                       ->type_name("FORMAT")
                                       ->check(CLI::IsMember({"csv", "tsv", "table"}));
  const CLI::Option* nominal = app.add_option("--nominal", line.Nominal)->type_name("COL[,COL...]");
  app.add_option("--prune", texts.prune)->type_name("RULE");
  app.add_flag("--tune", line.Tune);
  app.add_option("--grid", line.Grid)->type_name("TEXT");
  app.add_option("--budget", texts.budget)->type_name("SECONDS");
  app.add_flag("--write-param", line.WriteParam);
  const CLI::Option* dot = app.add_option("--dot", line.DotFile)->type_name("FILE");
  const CLI::Option* svg = app.add_option("--svg", line.SvgFile)->type_name("FILE");
  const CLI::Option* variant = app.add_option("--variant", texts.svgVariant)->type_name("N");
  const CLI::Option* saveModel = app.add_option("--save-model", line.SaveModel)->type_name("FILE");
  const CLI::Option* apply = app.add_option("--apply", line.ApplyModel)->type_name("MODEL");
  const CLI::Option* table = app.add_option("TABLE", line.Table);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return UsageError(error.what());
  }
  if (help) {
    std::fputs(kHelpText, stdout);
    return kExitComplete;
  }
  if (version) {
    std::puts("tarvo-run (Tarvo) 2.0");
    return kExitComplete;
  }
  if (table->count() == 0) return UsageError("no TABLE given");

  std::string error;
  if (!ConvertReal("--target-weight", texts.targetWeight, line.TargetWeight, error) ||
      !ConvertReal("--look-ahead", texts.lookAhead, line.LookAhead, error) ||
      !ConvertReal("--homogeneity", texts.homogeneity, line.Homogeneity, error) ||
      !ConvertInteger("--monte-carlo", texts.monteCarlo, line.MonteCarlo, error) ||
      !ConvertInteger("--variants", texts.variants, line.Variants, error) ||
      !ConvertInteger("--folds", texts.folds, line.Folds, error) ||
      !ConvertReal("--budget", texts.budget, line.Budget, error) ||
      !CheckFileName("--param", line.ParameterFile, error) ||
      !CheckFileName("--prog", line.ChiSquareFile, error) ||
      !CheckFileName("--output", line.ReportFile, error) ||
      !CheckFileName("--dot", line.DotFile, error) ||
      !CheckFileName("--svg", line.SvgFile, error) ||
      !CheckFileName("--save-model", line.SaveModel, error) ||
      !CheckFileName("--apply", line.ApplyModel, error)) {
    return UsageError(error);
  }
  if (line.Nominal && line.Nominal->empty()) return UsageError("--nominal: no column given");
  if (texts.prune) {
    tarvo::PruneRule rule = tarvo::PruneRule::None;
    if (!tarvo::ParsePruneRule(*texts.prune, rule)) {
      return UsageError("--prune: '" + *texts.prune + "' is not min, 1se or none");
    }
    line.Prune = rule;
  }
  // The tuning runs grow their trees without pruning; its growth settings would mislead them.
  if (line.Tune && line.Prune) return UsageError("--prune does not go with --tune");
  if (!line.Tune && (line.Grid || line.Budget || line.WriteParam)) {
    return UsageError("--grid, --budget and --write-param go with --tune");
  }
  if (line.SaveModel && line.Tune) return UsageError("--save-model does not go with --tune");
  if (line.SaveModel && (IsSameFile(*line.SaveModel, line.Table) ||
                         IsSameFile(*line.SaveModel, line.ReportFile.value_or("output.txt")))) {
    return UsageError("--save-model: " + *line.SaveModel + " is the table or the report");
  }
  if (line.ApplyModel) {
    // Applying a model grows nothing: only the table's own options and the output go with it.
    for (const CLI::Option* option : app.get_options()) {
      if (option->count() > 0 && option != apply && option != table && option != output &&
          option != tableFormat && option != nominal) {
        return UsageError("--apply takes TABLE, -o, --table-format and --nominal, not " +
                          option->get_name());
      }
    }
  }
  std::optional<int32_t> svgVariant;
  if (!ConvertInteger("--variant", texts.svgVariant, svgVariant, error)) return UsageError(error);
  if (svgVariant && *svgVariant < 1) return UsageError("--variant: the variants count from 1");
  line.SvgVariant = svgVariant.value_or(1);
  // The picture options leave the run as it is: parameters and exit statuses as without them.
  for (const CLI::Option* option : app.get_options()) {
    if (option != table && option != dot && option != svg && option != variant &&
        option != saveModel && option->count() > 0) {
      line.HasOptions = true;
    }
  }
  return std::nullopt;
}
