// Reading and writing the pruning setting in the window's settings.
#include "prune_setting.h"

#include <QSettings>

#include "settings_sync.h"

namespace {

const char* const kPruneKey = "run/prune";
const char* const kRuleKey = "run/pruneRule";

}  // namespace

// A rule that does not read (a hand-edited settings file) leaves the default one.
TPruneSetting ReadPruneSetting(const QSettings& settings) {
  TPruneSetting setting;
  setting.On = settings.value(kPruneKey, false).toBool();
  tarvo::PruneRule rule = tarvo::PruneRule::None;
  if (tarvo::ParsePruneRule(settings.value(kRuleKey).toString().toStdString(), rule) &&
      rule != tarvo::PruneRule::None)
    setting.Rule = rule;
  return setting;
}

bool WritePruneSetting(QSettings& settings, const TPruneSetting& setting) {
  settings.setValue(kPruneKey, setting.On);
  settings.setValue(kRuleKey, QString(tarvo::PruneRuleName(setting.Rule)));
  return SyncSettings(settings);
}
