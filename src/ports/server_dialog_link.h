#pragma once

#include <string>

namespace quorvane {

// What the server configuration dialog shares with the engine while it is open. The dialog
// sets OpenServerDialog for its lifetime and ServerTestTarget for one test; the engine
// reads both, fills the three texts before it reports a success, and reports the result
// through EngineUi::SendTestSucceeded / SendTestFailed. User-interface thread only.
struct ServerTestLink {
  bool OpenServerDialog = false;
  int ServerTestTarget = 0;  // 0 none, 1 primary field, 2 secondary field
  // Filled before a test success is sent: "%f" seconds each.
  std::string RequestTravelText;
  std::string ServerProcessingText;
  std::string ResponseTravelText;
};

}  // namespace quorvane
