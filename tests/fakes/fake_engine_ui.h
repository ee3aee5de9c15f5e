#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ports/engine_ui.h"

namespace quorvane::testing {

// Records what the engine shows; the progress bar follows the real bar's arithmetic.
class FakeEngineUi : public EngineUi {
 public:
  std::vector<std::string> statuses;  // every text put into pane 0, in order
  std::string pane0;
  bool queryEnabled = true;
  bool syncEnabled = true;
  int progress = 0;
  int modeUiUpdates = 0;
  int correctionTooBigPosts = 0;
  int closePosts = 0;
  int testSucceeded = 0;
  int testFailed = 0;
  std::function<void()> onTestSucceeded;
  std::function<void()> onTestFailed;

  void ShowStatus(const std::string& text) override { Put(text); }
  void PutStatus(const std::string& text) override { Put(text); }
  void EnableQueryButton(bool enabled) override { queryEnabled = enabled; }
  void EnableSyncButton(bool enabled) override { syncEnabled = enabled; }
  int StepProgress() override {
    const int previous = progress;
    progress = NextProgressPosition(progress);
    return previous;
  }
  void ResetProgress() override { progress = 0; }
  void UpdateModeUi() override { ++modeUiUpdates; }
  void PostCorrectionTooBig() override { ++correctionTooBigPosts; }
  void PostClose() override { ++closePosts; }
  void SendTestSucceeded() override {
    ++testSucceeded;
    if (onTestSucceeded) onTestSucceeded();
  }
  void SendTestFailed() override {
    ++testFailed;
    if (onTestFailed) onTestFailed();
  }

 private:
  void Put(const std::string& text) {
    statuses.push_back(text);
    pane0 = text;
  }
};

}  // namespace quorvane::testing
