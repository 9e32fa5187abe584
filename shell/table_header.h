// The columns that a table's header declares, for the parameter panel's column list.
#pragma once

#include <QList>
#include <QString>
#include <string>

struct TTableColumn {
  int Number = 0;  // from 1
  QString Name;
  bool Nominal = false;
  // A CSV or TSV column's name as its header spells it, byte for byte: what a run looks up.
  std::string NameBytes;
};

// Reads the header of a table text (counts, missing-value token, column types, column names) as
// the engine does: tokens between blanks, tabs, line ends and commas, "#" opening and closing a
// comment, names kept to their first 20 characters. Returns no columns when the header does not
// read as a table's.
QList<TTableColumn> ReadTableColumns(const QString& text);

// True when the text begins as a table does, with a number (its count of objects), comments
// skipped: a report, the guide or the welcome text does not.
bool StartsLikeTable(const QString& text);
