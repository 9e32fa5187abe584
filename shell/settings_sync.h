// Writing the window's settings out.
#pragma once

#include <QSettings>

// Writes the settings to their file; false when that failed. A file that did not read (hand-edited,
// damaged) leaves a format error behind, but what is written now replaces it whole, so only a
// failed access counts.
inline bool SyncSettings(QSettings& settings) {
  settings.sync();
  return settings.status() != QSettings::AccessError;
}
