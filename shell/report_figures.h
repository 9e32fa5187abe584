// Figures the window shows beside a run's trees, taken from the report the run wrote.
#pragma once

#include <QString>
#include <QStringList>

// The cross-validation error of each tree of the report, in the order the report holds the trees
// (each tree's part begins with a line of 60 stars): its number as written ("0.125"), with
// "relative " before it for a regression tree, or an empty text for a tree without one.
QStringList CrossValidationErrors(const QString& report);
