// Reading a CSV or TSV table's columns through the engine, and the user's pick of the column to
// predict, kept per table in the window's settings.
#include "csv_target.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringDecoder>
#include <QVariantMap>
#include <sstream>
#include <string>
#include <vector>

#include "settings_sync.h"
#include "tarvo/table_columns.h"

namespace {

const char* const kChoicesKey = "run/csvColumnToPredict";
const char* const kNominalKey = "run/csvNominalColumns";

tarvo::TableFormat FormatOfName(const QString& fileName) {
  return tarvo::TableFormatOfName(QFile::encodeName(fileName).toStdString());
}

// A name's bytes as UTF-8 when they are, else as Latin-1: every byte one character.
QString NameText(const std::string& bytes) {
  // Stateless: a name ending in a byte that starts a sequence is not UTF-8 either.
  QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
  const QString text = utf8(QByteArray::fromStdString(bytes));
  return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

// The choices are kept by the table's full name, one map per kind of choice for all tables.
QString ChoiceKey(const QString& tableFileName) {
  return QFileInfo(tableFileName).absoluteFilePath();
}

QStringList ReadChoice(const QSettings& settings, const char* key, const QString& tableFileName) {
  return settings.value(key).toMap().value(ChoiceKey(tableFileName)).toStringList();
}

bool WriteChoice(QSettings& settings, const char* key, const QString& tableFileName,
                 const QStringList& choice) {
  QVariantMap choices = settings.value(key).toMap();
  if (choice.isEmpty()) {
    choices.remove(ChoiceKey(tableFileName));
  } else {
    choices.insert(ChoiceKey(tableFileName), choice);
  }
  settings.setValue(key, choices);
  return SyncSettings(settings);
}

}  // namespace

bool IsCsvTableName(const QString& fileName) {
  return FormatOfName(fileName) != tarvo::TableFormat::Described;
}

QList<TTableColumn> ReadCsvColumns(const QByteArray& bytes, const QString& fileName,
                                   const QStringList& nominal, QString& fault) {
  const tarvo::CsvOptions options = CsvReadOptions(fileName, nominal);
  std::istringstream in(bytes.toStdString());
  tarvo::Table table;
  std::string message;
  QList<TTableColumn> columns;
  if (!tarvo::ReadCsvTable(in, QFileInfo(fileName).fileName().toStdString(), options, table,
                           message)) {
    fault = QString::fromStdString(message);
    return columns;
  }
  for (const tarvo::Column& column : table.Columns)
    columns.append(
        {static_cast<int>(columns.size()) + 1, NameText(column.Name), column.Nominal, column.Name});
  return columns;
}

QList<TTableColumn> ReadCsvHeaderColumns(const QString& fileName) {
  std::vector<tarvo::TableColumn> header;
  QList<TTableColumn> columns;
  if (!tarvo::ReadTableColumns(QFile::encodeName(fileName).toStdString(), FormatOfName(fileName),
                               header))
    return columns;
  for (const tarvo::TableColumn& column : header)
    columns.append(
        {static_cast<int>(columns.size()) + 1, NameText(column.Name), false, column.Name});
  return columns;
}

TCsvTarget ReadCsvTargetChoice(const QSettings& settings, const QString& tableFileName) {
  const QStringList kept = ReadChoice(settings, kChoicesKey, tableFileName);
  TCsvTarget choice;
  if (kept.size() != 2) return choice;  // none, or a hand-edited entry that does not read
  choice.Number = kept[0].toInt();
  choice.Name = kept[1];
  return choice;
}

bool WriteCsvTargetChoice(QSettings& settings, const QString& tableFileName,
                          const TCsvTarget& choice) {
  return WriteChoice(settings, kChoicesKey, tableFileName,
                     QStringList{QString::number(choice.Number), choice.Name});
}

QStringList ReadCsvNominalChoice(const QSettings& settings, const QString& tableFileName) {
  return ReadChoice(settings, kNominalKey, tableFileName);
}

bool WriteCsvNominalChoice(QSettings& settings, const QString& tableFileName,
                           const QStringList& columns) {
  return WriteChoice(settings, kNominalKey, tableFileName, columns);
}

QStringList SplitColumnList(const QString& text) {
  QStringList entries;
  for (const QString& part : text.split(',')) {
    if (!part.trimmed().isEmpty()) entries.append(part.trimmed());
  }
  return entries;
}

tarvo::CsvOptions CsvReadOptions(const QString& tableFileName, const QStringList& nominal) {
  tarvo::CsvOptions options;
  options.Separator = tarvo::SeparatorOf(FormatOfName(tableFileName));
  for (const QString& column : nominal) options.NominalColumns.push_back(column.toStdString());
  return options;
}

QString UnknownCsvColumn(const QList<TTableColumn>& columns, const QStringList& entries) {
  std::vector<std::string> names;
  for (const TTableColumn& column : columns) names.push_back(column.NameBytes);
  for (const QString& entry : entries) {
    if (tarvo::FindCsvColumn(names, entry.toStdString()) == 0) return entry;
  }
  return QString();
}

int PredictedCsvColumn(const QList<TTableColumn>& columns, const TCsvTarget& choice) {
  // A pick made while the table did not read has no name: its number is all there is.
  if (choice.Number >= 1 && choice.Number <= columns.size() &&
      (choice.Name.isEmpty() || columns[choice.Number - 1].Name == choice.Name))
    return choice.Number;
  int named = 0;
  for (const TTableColumn& column : columns) {
    if (column.Name != choice.Name) continue;
    if (named != 0) {  // two columns of that name: neither is surely the one picked
      named = 0;
      break;
    }
    named = column.Number;
  }
  return named != 0 ? named : static_cast<int>(columns.size());
}

QString PredictedCsvColumnNote(const QList<TTableColumn>& columns, int number,
                               const QString& tableFileName) {
  const QString file = QFileInfo(tableFileName).fileName();
  if (number < 1 || number > columns.size()) return QString();
  const QString name = columns[number - 1].Name;
  if (number == columns.size())
    return QString("Predicting %1, the last column of %2").arg(name, file);
  return QString("Predicting %1, column %2 of %3").arg(name).arg(number).arg(file);
}
