// Parsing tarvo-run's command line with CLI11 (GNU forms: --name=value, --name value, -o FILE,
// -oFILE, and -- before a table whose name begins with a dash). Each option is declared once,
// with its help text and the conversion of its value; values convert with the number grammar of
// param.par, so that an option and the file read a value the same way.
#include "command_line.h"

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "exit_status.h"
#include "table_input.h"
#include "tarvo/numbers.h"

namespace {

constexpr const char* kVersion = "tarvo-run (Tarvo) 2.0";

constexpr const char* kDescription =
    "Grow decision trees from the table file TABLE and write their rules, error estimates,\n"
    "predictions and vote to a report, as the window's Grow Tree does.\n"
    "\n"
    "The run parameters come from param.par in the current folder, else from the defaults of\n"
    "the window's parameter panel (shown below in brackets); each option overrides its\n"
    "parameter. The report is output.txt there.\n"
    "\n"
    "TABLE may also be a CSV or TSV table: a header row of column names, and an empty\n"
    "field, NA or ? for a missing value; without --target its last column is predicted.\n";

constexpr const char* kFooter =
    "Progress is shown on stderr when it is a terminal. Ctrl+C stops the run.\n"
    "\n"
    "Exit status:\n"
    "  0    the report is complete\n"
    "  1    the table or the run parameters have a fault: the report holds its message, and\n"
    "       so does stderr (a run without options ends with 0 after a fault that the table\n"
    "       holds, as the window's Grow Tree; a missing table is 1 always)\n"
    "  2    the run ended with an error, whose message is the first line on stderr\n"
    "  64   the command line is wrong\n"
    "  130  the run was interrupted; the report is incomplete\n";

// GNU's layout of a help text: the usage line first, and "--name=VALUE".
class HelpFormatter : public CLI::Formatter {
 public:
  HelpFormatter() { column_width(28); }
  std::string make_description(const CLI::App*) const override { return {}; }
  std::string make_usage(const CLI::App* app, std::string) const override {
    return "Usage: tarvo-run [OPTION]... TABLE\n" + app->get_description() + "\n";
  }
  std::string make_positionals(const CLI::App*) const override { return {}; }
  std::string make_group(std::string group, bool positional,
                         std::vector<const CLI::Option*> options) const override {
    return CLI::Formatter::make_group(group, positional, options).substr(1);  // one blank line
  }
  std::string make_option_name(const CLI::Option* option, bool positional) const override {
    std::string names = CLI::Formatter::make_option_name(option, positional);
    for (size_t comma = names.find(','); comma != std::string::npos;
         comma = names.find(',', comma + 2)) {
      names.insert(comma + 1, " ");
    }
    return names;
  }
  std::string make_option_opts(const CLI::Option* option) const override {
    const std::string& type = option->get_type_name();
    return type.empty() ? std::string() : "=" + type;
  }
  std::string make_footer(const CLI::App* app) const override { return app->get_footer(); }
};

int UsageError(const std::string& message) {
  std::fprintf(stderr, "tarvo-run: %s (try 'tarvo-run --help')\n", message.c_str());
  return kExitUsage;
}

// Help and version go to standard output; a failed write is an error, as for any output.
int PrintOrFail(const std::string& text) {
  errno = 0;
  const bool written = std::fputs(text.c_str(), stdout) >= 0 && std::fflush(stdout) == 0;
  if (written) return kExitComplete;
  std::fprintf(stderr, "tarvo-run: cannot write to standard output: %s\n",
               std::strerror(errno ? errno : EIO));
  return kExitTableFault;
}

// An option whose value converts with `convert`; a value that does not is a usage error naming
// the option and the value.
template <class T>
CLI::Option* AddConverted(CLI::App& app, const std::string& names, const std::string& longName,
                          std::optional<T>& target, bool (*convert)(std::string_view, T&),
                          const char* notA, const std::string& help) {
  return app.add_option_function<std::string>(
      names,
      [&target, convert, notA, longName](const std::string& text) {
        T value{};
        if (!convert(text, value)) {
          throw CLI::ValidationError(longName + ": '" + text + "' is not " + notA);
        }
        target = value;
      },
      help);
}

CLI::Option* AddReal(CLI::App& app, const std::string& name, std::optional<double>& target,
                     const std::string& help) {
  return AddConverted<double>(app, name, name, target, tarvo::ParseRealToken, "a number", help)
      ->type_name("REAL");
}

CLI::Option* AddWhole(CLI::App& app, const std::string& name, std::optional<int32_t>& target,
                      const std::string& help) {
  return AddConverted<int32_t>(app, name, name, target, tarvo::ParseIntegerToken, "a whole number",
                               help)
      ->type_name("N");
}

// A file option: a name that is empty is refused.
CLI::Option* AddFile(CLI::App& app, const std::string& names, const std::string& longName,
                     std::optional<std::string>& target, const std::string& help) {
  return app
      .add_option_function<std::string>(
          names,
          [&target, longName](const std::string& name) {
            if (name.empty()) throw CLI::ValidationError(longName + ": the file name is empty");
            target = name;
          },
          help)
      ->type_name("FILE");
}

// "--output=" with nothing after the sign: CLI11 would take the next argument as the value, and
// the shell slip "--output=$UNSET" would then overwrite the table.
std::optional<std::string> EmptyValueOption(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--") break;
    if (argument.size() > 3 && argument.substr(0, 2) == "--" && argument.back() == '=' &&
        argument.find('=') == argument.size() - 1) {
      return std::string(argument.substr(0, argument.size() - 1));
    }
  }
  return std::nullopt;
}

void DeclareRunParameters(CLI::App& app, CommandLine& line) {
  const std::string group = "Run parameters";
  AddReal(app, "--look-ahead", line.RecursiveComplexity,
          "depth of the look-ahead of the split search; a fraction thins\n"
          "the features of the deeper searches [1]")
      ->group(group);
  AddReal(app, "--homogeneity", line.Homogeneity,
          "error frequency that stops a node; in regression the level of\n"
          "the chi-square test: 0.001, 0.005, 0.01 or 0.05, or 0 (no test)\n"
          "with --prune [0.05]")
      ->group(group);
  AddWhole(app, "--variants", line.VariantsNumber,
           "trees to grow, each without the root feature of the one\n"
           "before (at most 255) [1]")
      ->group(group);
  app.add_option("--target", line.Target,
                 "the predicted column: its number, or its name as the table's\n"
                 "header spells it [1]")
      ->type_name("COLUMN")
      ->group(group);
  AddWhole(app, "--folds", line.FoldsCrossValidate,
           "folds of the cross-validation (at most 255); none when 1 or\nless [10]")
      ->group(group);
  AddReal(app, "--target-weight", line.TargetWeight,
          "weight of the error or dispersion term of the split score [1]")
      ->group(group);
  AddWhole(app, "--monte-carlo", line.MonteCarlo,
           "trials of the dispersion test for negative means [100]")
      ->group(group);
}

void DeclareFiles(CLI::App& app, CommandLine& line) {
  const std::string group = "File options";
  AddFile(app, "--param", "--param", line.ParameterFile,
          "read the run parameters from FILE [./param.par]")
      ->group(group);
  AddFile(app, "--prog", "--prog", line.ChiSquareFile,
          "read the chi-square table from FILE [./prog.par, else the\n"
          "copy installed with the program]")
      ->group(group);
  AddFile(app, "-o,--output", "--output", line.ReportFile,
          "write the report to FILE; - writes it to standard output\n[output.txt]")
      ->group(group);
}

void DeclareTableInput(CLI::App& app, CommandLine& line) {
  const std::string group = "CSV and TSV tables";
  app.add_option("--table-format", line.TableFormat,
                 "the format of TABLE: csv, tsv or table (a table file); by\n"
                 "default .csv is CSV, .tsv and .tab are TSV, others tables")
      ->type_name("FORMAT")
      ->check(CLI::IsMember({"csv", "tsv", "table"}))
      ->group(group);
  app.add_option_function<std::string>(
         "--nominal",
         [&line](const std::string& columns) {
           if (columns.empty()) throw CLI::ValidationError("--nominal: no column given");
           line.Nominal = columns;
         },
         "columns of a CSV or TSV table that are nominal even when\n"
         "their values are numbers (names or numbers)")
      ->type_name("COL[,COL...]")
      ->group(group);
}

void DeclarePruning(CLI::App& app, CommandLine& line) {
  app.add_option_function<std::string>(
         "--prune",
         [&line](const std::string& text) {
           tarvo::PruneRule rule = tarvo::PruneRule::None;
           if (!tarvo::ParsePruneRule(text, rule)) {
             throw CLI::ValidationError("--prune: '" + text + "' is not min, 1se or none");
           }
           line.Prune = rule;
         },
         "cut every tree back to the size that cross-validation on\n"
         "the run's folds chooses: min (least error) or 1se (the\n"
         "smallest tree within one standard error of it); none [none].\n"
         "Unless given, --target-weight and --homogeneity then take\n"
         "the growth settings of pruning (see the README)")
      ->type_name("RULE")
      ->group("Pruning (not kept in the parameter file)");
}

void DeclareTuning(CLI::App& app, CommandLine& line) {
  const std::string group =
      "Tuning (look-ahead, homogeneity and pruning chosen by cross-validation)";
  CLI::Option* tune = app.add_flag("--tune", line.Tune,
                                   "run the table once per setting of a grid and print each\n"
                                   "setting's cross-validation error, the best marked; no report.\n"
                                   "With --prune RULE only the rows of that rule run")
                          ->group(group);
  app.add_option("--grid", line.Grid,
                 "the settings, as \"rc=1,2,3 h=0.01,0.05 prune=none,1se,min\";\n"
                 "each look-ahead runs every h without pruning and one row\n"
                 "per other rule, grown as --prune grows [rc=1,2,2.5,3\n"
                 "h=0.01,0.05,0.1,0.2 prune=none,1se,min; a numeric target:\n"
                 "h=0.001,0.005,0.01,0.05]")
      ->type_name("TEXT")
      ->group(group)
      ->needs(tune);
  AddConverted<double>(app, "--budget", "--budget", line.Budget, tarvo::ParseRealToken, "a number",
                       "stop the search when the time is spent; 0: no limit [300]")
      ->type_name("SECONDS")
      ->group(group)
      ->needs(tune);
  app.add_flag("--write-param", line.WriteParam,
               "write the best setting into the parameter file; a pruned\n"
               "best row writes its look-ahead only (give --prune RULE)")
      ->group(group)
      ->needs(tune);
  app.add_option_function<std::string>(
         "--format",
         [&line](const std::string& format) {
           if (format == "csv") {
             line.Format = ResultFormat::Csv;
           } else if (format == "tsv") {
             line.Format = ResultFormat::Tsv;
           } else {
             throw CLI::ValidationError("--format: '" + format + "' is not csv or tsv");
           }
         },
         "print the rows (of --tune, or of --apply) as CSV or\n"
         "tab-separated values, one header word per column")
      ->type_name("csv|tsv")
      ->group(group);
}

void DeclareModels(CLI::App& app, CommandLine& line) {
  const std::string group = "Models (the trees kept in a file, to predict other tables)";
  AddFile(app, "--save-model", "--save-model", line.SaveModel,
          "write the run's trees to FILE as a model, besides the report")
      ->group(group);
  AddFile(app, "--apply", "--apply", line.ApplyModel,
          "predict the objects of TABLE with the model in MODEL instead\n"
          "of growing trees: CSV with the columns object, variant_1...,\n"
          "vote to -o FILE, or to standard output; where TABLE holds the\n"
          "true values, the test errors go to stderr. A value of a\n"
          "nominal column that the model never saw counts as missing")
      ->type_name("MODEL")
      ->group(group);
}

// Applying a model grows nothing: only the table's own options, the output and the format of the
// rows go with it.
std::optional<std::string> CheckApplyOptions(const CLI::App& app) {
  for (const CLI::Option* option : app.get_options()) {
    const std::string& name = option->get_name();
    if (option->count() > 0 && name != "--apply" && name != "TABLE" && name != "--output" &&
        name != "--table-format" && name != "--nominal" && name != "--format") {
      return "--apply takes TABLE, -o, --table-format, --nominal and --format, not " + name;
    }
  }
  return std::nullopt;
}

void DeclarePictures(CLI::App& app, CommandLine& line) {
  const std::string group = "Pictures of the trees (the run and its report stay the same)";
  AddFile(app, "--dot", "--dot", line.DotFile,
          "write every reported tree to FILE in Graphviz DOT, one\n"
          "digraph per variant (dot -Tpdf -O FILE draws them); - for\n"
          "standard output")
      ->group(group);
  CLI::Option* svg = AddFile(app, "--svg", "--svg", line.SvgFile,
                             "write a picture of one reported tree to FILE as SVG; - for\n"
                             "standard output")
                         ->group(group);
  app.add_option_function<std::string>(
         "--variant",
         [&line](const std::string& text) {
           int32_t number = 0;
           if (!tarvo::ParseIntegerToken(text, number)) {
             throw CLI::ValidationError("--variant: '" + text + "' is not a whole number");
           }
           if (number < 1) throw CLI::ValidationError("--variant: the variants count from 1");
           line.SvgVariant = number;
         },
         "the variant that --svg draws [1]")
      ->type_name("N")
      ->group(group)
      ->needs(svg);
}

// Checks that need the values of several options.
std::optional<std::string> CheckValues(const CommandLine& line) {
  if (line.Budget && !(*line.Budget >= 0 && std::isfinite(*line.Budget))) {
    return "--budget: the seconds must be 0 (no limit) or more";
  }
  if (line.Tune && (line.DotFile || line.SvgFile || line.ReportFile)) {
    return "--tune writes no report and no picture: --output, --dot and --svg do not go with it";
  }
  if (line.Tune && line.SaveModel) return "--save-model does not go with --tune";
  if (line.SaveModel && *line.SaveModel == "-")
    return "--save-model needs a file name; standard output (-) is for the report and pictures";
  if (!line.Tune && line.Format != ResultFormat::Text)
    return "--format goes with --tune or --apply";
  if (line.WriteParam && line.Format != ResultFormat::Text) {
    // The file written is said in a line of text, which would break the rows of a script.
    return "--write-param prints its line of text; it does not go with --format";
  }
  return std::nullopt;
}

}  // namespace

std::optional<int> ParseCommandLine(int argc, char** argv, CommandLine& line) {
  if (const std::optional<std::string> option = EmptyValueOption(argc, argv)) {
    return UsageError(*option + ": the value is empty");
  }
  CLI::App app(kDescription, "tarvo-run");
  app.formatter(std::make_shared<HelpFormatter>());
  app.footer(kFooter);
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);  // as GNU tools
  DeclareRunParameters(app, line);
  DeclareFiles(app, line);
  DeclareTableInput(app, line);
  DeclarePruning(app, line);
  DeclareTuning(app, line);
  DeclareModels(app, line);
  DeclarePictures(app, line);
  app.set_help_flag("-h,--help", "show this text and exit")->group("Other options");
  app.set_version_flag("-V,--version", kVersion, "show the version and exit")
      ->group("Other options");
  const CLI::Option* table = app.add_option("TABLE", line.Table)->required();
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    return PrintOrFail(app.help());
  } catch (const CLI::CallForVersion& version) {
    return PrintOrFail(std::string(version.what()) + "\n");
  } catch (const CLI::ParseError& error) {
    return UsageError(error.what());
  }
  if (line.Nominal && TableFormatOf(line) == tarvo::TableFormat::Described) {
    return UsageError(
        "--nominal is for a CSV or TSV table; a table file declares the kind of each column");
  }
  if (line.ApplyModel) {
    if (const std::optional<std::string> error = CheckApplyOptions(app)) return UsageError(*error);
    return std::nullopt;
  }
  if (const std::optional<std::string> error = CheckValues(line)) return UsageError(*error);
  // The picture options leave the run as it is: parameters and exit statuses as without them.
  for (const CLI::Option* option : app.get_options()) {
    const std::string& name = option->get_name();
    if (option != table && name != "--dot" && name != "--svg" && name != "--variant" &&
        name != "--save-model" && option->count() > 0) {
      line.HasOptions = true;
    }
  }
  return std::nullopt;
}
