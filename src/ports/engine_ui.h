#pragma once

#include <string>

namespace quorvane {

inline constexpr int kProgressMax = 110;
inline constexpr int kProgressStep = 7;

// The progress bar's position after one step: past the maximum it wraps to its start.
constexpr int NextProgressPosition(int position) {
  const int next = position + kProgressStep;
  return next > kProgressMax ? 0 : next;
}

// What the engine asks of the main window and, during a server test, of the server dialog.
class EngineUi {
 public:
  virtual ~EngineUi() = default;
  // Pane 0 of the status bar, repainted at once so it shows while the engine is busy.
  virtual void ShowStatus(const std::string& text) = 0;
  // Pane 0 of the status bar, repainted in the normal course of events.
  virtual void PutStatus(const std::string& text) = 0;
  virtual void EnableQueryButton(bool enabled) = 0;
  virtual void EnableSyncButton(bool enabled) = 0;
  // Advances the progress bar by one step and returns its position before the step.
  virtual int StepProgress() = 0;
  virtual void ResetProgress() = 0;
  virtual void UpdateModeUi() = 0;
  // Posted: handled after the current handler returns.
  virtual void PostCorrectionTooBig() = 0;
  virtual void PostClose() = 0;
  // Sent to the open server dialog; it has handled them when the call returns.
  virtual void SendTestSucceeded() = 0;
  virtual void SendTestFailed() = 0;
};

}  // namespace quorvane
