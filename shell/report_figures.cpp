// Reading the cross-validation lines of a report, tree by tree.
#include "report_figures.h"

#include <QRegularExpression>

QStringList CrossValidationErrors(const QString& report) {
  static const QRegularExpression kErrorLine(R"(-fold +(relative +)?crossvalidate error +(\S+))");
  const QString treeStart(60, '*');
  QStringList errors;
  for (const QString& line : report.split('\n')) {
    if (line == treeStart) {
      errors << QString();
      continue;
    }
    const QRegularExpressionMatch match = kErrorLine.match(line);
    if (match.hasMatch() && !errors.isEmpty() && errors.last().isEmpty())
      errors.last() = (match.captured(1).isEmpty() ? "" : "relative ") + match.captured(2);
  }
  return errors;
}
