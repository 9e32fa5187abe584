// The predicted column of a CSV or TSV table in the window. Its columns are read by the engine's
// CSV reader; the column the user picks is kept per table in the window's settings, because
// param.par's FeatureToPredict numbers the columns of table files and stays as it is. Without a
// pick the last column is predicted, as tarvo-run does.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include "table_header.h"
#include "tarvo/csv_table.h"

class QSettings;

// True for a name the window runs as a CSV or TSV table (.csv, .tsv, .tab in any case).
bool IsCsvTableName(const QString& fileName);

// The columns of a CSV or TSV table given as its bytes (the separator follows fileName), with
// their kinds as a run reads them, the columns in `nominal` nominal. No columns, and the reader's
// message in fault, when the bytes do not read as such a table.
QList<TTableColumn> ReadCsvColumns(const QByteArray& bytes, const QString& fileName,
                                   const QStringList& nominal, QString& fault);
// Only the names of the file's header row, every column counted numeric; none when the header
// does not read.
QList<TTableColumn> ReadCsvHeaderColumns(const QString& fileName);

// The column a user picked for a table; Number 0 when none was picked.
struct TCsvTarget {
  int Number = 0;
  QString Name;
};

TCsvTarget ReadCsvTargetChoice(const QSettings& settings, const QString& tableFileName);
// False when the settings cannot be written.
bool WriteCsvTargetChoice(QSettings& settings, const QString& tableFileName,
                          const TCsvTarget& choice);

// The columns a user asked to be read as nominal in a table (names or numbers, as typed); none
// when nothing was asked.
QStringList ReadCsvNominalChoice(const QSettings& settings, const QString& tableFileName);
bool WriteCsvNominalChoice(QSettings& settings, const QString& tableFileName,
                           const QStringList& columns);
// The entries of a comma-separated list of columns, trimmed, empty ones left out.
QStringList SplitColumnList(const QString& text);
// The reading options of a CSV or TSV table: its separator, and the nominal columns asked.
tarvo::CsvOptions CsvReadOptions(const QString& tableFileName, const QStringList& nominal);
// The first entry that names none of the columns as a run looks it up (a name, in UTF-8 as the
// run is given it, against the header's bytes; else a number 1..size); empty when all do.
QString UnknownCsvColumn(const QList<TTableColumn>& columns, const QStringList& entries);

// The number of the column to predict: the picked one while the table still has it (at its
// number, else the one column of its name), otherwise the last column; 0 without columns.
int PredictedCsvColumn(const QList<TTableColumn>& columns, const TCsvTarget& choice);

// "Predicting NAME, the last column of FILE" or "Predicting NAME, column N of FILE".
QString PredictedCsvColumnNote(const QList<TTableColumn>& columns, int number,
                               const QString& tableFileName);
