// ReadTableFile: the table reader of a run, its messages kept instead of reported.
#include "tarvo/table_file.h"

#include <vector>

#include "input_table.h"
#include "report_file.h"
#include "table_loading.h"
#include "tree_records.h"

namespace tarvo {

bool ReadTableFile(const std::string& path, int32_t featureToPredict, Table& rows, Table& toPredict,
                   std::string& fault) {
  // The reader writes its one message to a report; never opened, it keeps only the first line.
  ReportFile messages;
  TInputTable input;
  TTargetDescription target;
  TFeatureMask mask;
  TableReader reader(messages, path);
  bool read = reader.LoadTrainingPart(featureToPredict, 1.0, input, target, mask);
  if (read) {
    // As in a run: a value first met in the prediction rows has a code of its own but no name.
    const std::vector<std::vector<TValueRec>> trainingValues = input.ValueTable;
    read = reader.LoadPredictionSection(input);
    input.ValueTable = trainingValues;
  }
  if (!read) {
    fault = messages.FirstLine();
    return false;
  }
  TablesOfInput(input, rows, toPredict);
  return true;
}

}  // namespace tarvo
