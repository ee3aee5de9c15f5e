#include "sntp/sntp_engine.h"

namespace quorvane {

SntpEngine::SntpEngine(const EnginePorts& ports)
    : poll_(state_, ports, *this),
      replies_(state_, ports, poll_),
      listen_(state_, ports, poll_, *this) {
  poll_.SetListenModeTick(&listen_);
}

SntpEngine::~SntpEngine() = default;

void SntpEngine::SetServerDialogOpen(bool open) {
  state_.ServerTest.OpenServerDialog = open;
  if (!open) EndServerTest();
}

void SntpEngine::StartServerTest(int target) {
  state_.ServerTest.ServerTestTarget = target;
  StartQuery();
}

}  // namespace quorvane
