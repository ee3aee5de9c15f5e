#pragma once

#include <cstdint>
#include <memory>

#include "base/app_settings.h"
#include "ports/clock.h"
#include "ports/datagram_socket.h"
#include "ports/engine_ui.h"
#include "ports/message_boxes.h"
#include "ports/server_dialog_link.h"
#include "ports/sync_log_writer.h"
#include "sntp/sntp_packet.h"
#include "sntp/watchdog.h"

namespace quorvane {

// Everything the engine talks to.
struct EnginePorts {
  AppSettings& settings;
  EngineUi& ui;
  // The program's own boxes: shown one at a time (see BoxGate).
  BoxGate& boxes;
  SocketFactory& sockets;
  Clock& clock;
  SyncLogWriter& log;
  Watchdog& watchdog;
};

// The engine's process-wide state: one record that the poll cycle and the response handling
// both work on. User-interface thread only.
struct EngineState {
  std::unique_ptr<CMyAsyncSocket> EngineSocket;
  NtpSeconds T1 = 0;       // when the current request left
  RequestNonce T1Nonce{};  // the current request's transmit bits, which its reply must echo
  // The connect step waits for a host-name lookup that started at ConnectStartWall.
  bool LookupPending = false;
  int64_t ConnectStartWall = 0;
  uint64_t AttemptSerial = 0;  // counts attempts, so a box's caller knows if its own is over
  bool SyncRequested = false;
  uint32_t TimeoutRetries = 0;
  bool FailoverSinceReply = false;
  uint32_t PollTicks = 0;
  bool FirstPollPending = true;
  bool ExitAfterSync = false;
  uint32_t BroadcastTickCount = 0;
  ServerTestLink ServerTest;

  // A server test runs: its results go to the dialog, not to the status bar or the servers.
  bool Testing() const { return ServerTest.ServerTestTarget != 0; }
  // Closes and discards EngineSocket, if any.
  void DiscardSocket() {
    LookupPending = false;  // a lookup dies with its socket
    if (!EngineSocket) return;
    EngineSocket->Close();
    EngineSocket.reset();
  }
};

}  // namespace quorvane
