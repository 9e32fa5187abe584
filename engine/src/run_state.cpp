#include "run_state.h"

#include "tarvo/engine.h"

namespace tarvo {

void TRunState::CheckCancel() const {
  if (CancelRequested && CancelRequested->load(std::memory_order_relaxed)) throw RunCancelled();
}

void TRunState::ShowProgress(int panel, const std::string& text) {
  if (!Progress) return;
  Progress->SetPanelText(panel, text);
  Progress->Repaint();
}

}  // namespace tarvo
