#include "run_state.h"

#include "tarvo/engine.h"

namespace tarvo {

void TRunState::CheckCancel() const {
  if (CancelRequested && CancelRequested->load(std::memory_order_relaxed)) throw RunCancelled();
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
