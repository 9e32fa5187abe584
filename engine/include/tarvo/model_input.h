// The objects a model is to predict, read from a table file or a CSV or TSV table.
#pragma once

#include <string>

#include "tarvo/csv_table.h"
#include "tarvo/model.h"
#include "tarvo/table.h"

namespace tarvo {

// A table file gives its rows (not its prediction section). A CSV or TSV table is read with the
// columns that the model holds as nominal read as nominal, besides options.NominalColumns; the
// separator follows the format. False with one message in `fault`.
bool ReadObjectsToPredict(const Model& model, const std::string& path, TableFormat format,
                          CsvOptions options, Table& table, std::string& fault);

}  // namespace tarvo
