#include "run_state.h"

#include "tarvo/engine.h"

namespace tarvo {

void TRunState::CheckCancel() const {
  if (CancelRequested && CancelRequested->load(std::memory_order_relaxed)) throw RunCancelled();
}

void TRunState::CreditFeature(int32_t f, double score) {
  if (FeatureScore[f] == kMissingScore) FeatureScore[f] = 0;
  FeatureScoreCount[f] += 1;
  FeatureScore[f] += score;
}

void TRunState::PlanTrees(int32_t trees) {
  if (Progress) Progress->PlanTrees(trees);
}

void TRunState::StartTree() {
  CheckCancel();
  ++TreesStarted;
  if (Progress) Progress->TreeStarted(TreesStarted);
}

void TRunState::ShowProgress(int panel, const std::string& text) {
  if (!Progress) return;
  Progress->SetPanelText(panel, text);
  Progress->Repaint();
}

}  // namespace tarvo
