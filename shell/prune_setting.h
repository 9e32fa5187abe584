// The window's pruning setting: a check box and a rule in the parameter panel, kept in the
// window's settings rather than in param.par, whose seven values stay as they are.
#pragma once

#include "tarvo/pruning.h"

class QSettings;

struct TPruneSetting {
  bool On = false;
  tarvo::PruneRule Rule = tarvo::PruneRule::OneSe;  // kept while pruning is off
  // The rule a run uses: None while pruning is off.
  tarvo::PruneRule RunRule() const { return On ? Rule : tarvo::PruneRule::None; }
};

TPruneSetting ReadPruneSetting(const QSettings& settings);
// False when the settings cannot be written.
bool WritePruneSetting(QSettings& settings, const TPruneSetting& setting);
