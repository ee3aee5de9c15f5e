#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "app/app_settings.h"
#include "ports/clock.h"
#include "ports/datagram_socket.h"
#include "ports/engine_ui.h"
#include "ports/message_boxes.h"
#include "ports/server_dialog_link.h"
#include "ports/sync_log_writer.h"
#include "sntp/sntp_packet.h"
#include "sntp/watchdog.h"

namespace quorvane {

// What the timer tick does in listen mode; poll mode needs none of it.
class ListenModeTick {
 public:
  virtual ~ListenModeTick() = default;
  virtual void OnListenTick() = 0;
};

enum class FailOverReason { NoResponse = 1, ConnectTimedOut = 2 };

// Everything the engine talks to.
struct EnginePorts {
  AppSettings& settings;
  EngineUi& ui;
  MessageBoxes& boxes;
  SocketFactory& sockets;
  Clock& clock;
  SyncLogWriter& log;
  Watchdog& watchdog;
};

// The engine's process-wide state and the poll cycle, response handling and clock
// correction that run on it. User-interface thread only.
class EngineState : public SocketEvents {
 public:
  explicit EngineState(const EnginePorts& ports);
  ~EngineState() override;

  // One attempt to ServerInUse (the Query button, retries, server tests).
  void StartQuery();
  // An attempt whose reply sets the clock (Sync button, tray command, interval).
  void StartSync();
  void EndAttempt(std::string_view status);
  void FailOver(FailOverReason reason);
  void OnWatchdogStep();
  // Everything the 200 ms tick does after the time display has been painted.
  void OnTimerTick();

  // Notifications of EngineSocket.
  void OnReceive() override;
  void OnConnect(int errorCode) override;
  void OnClose() override;

  void SetListenModeTick(ListenModeTick* listen) { listen_ = listen; }
  // Closes and discards EngineSocket, if any.
  void DiscardSocket();

  std::unique_ptr<CMyAsyncSocket> EngineSocket;
  NtpSeconds T1 = 0;
  bool SyncRequested = false;
  uint32_t TimeoutRetries = 0;
  bool FailoverSinceReply = false;
  uint32_t PollTicks = 0;
  bool FirstPollPending = true;
  bool ExitAfterSync = false;
  uint32_t BroadcastTickCount = 0;
  ServerTestLink serverTest;

 private:
  bool Testing() const { return serverTest.ServerTestTarget != 0; }
  void ShowEngineStatus(const std::string& text);
  void SendTestFailedIfOpen();
  // Each returns the status text for the closing steps.
  std::string QuerySteps(const CorrectedInstant& instant, ClockOffset offset);
  bool CorrectionSteps(const CorrectedInstant& instant, ClockOffset offset, std::string& status);
  void ClosingSteps(const std::string& status);

  AppSettings& settings_;
  EngineUi& ui_;
  MessageBoxes& boxes_;
  SocketFactory& sockets_;
  Clock& clock_;
  SyncLogWriter& log_;
  Watchdog& watchdog_;
  ListenModeTick* listen_ = nullptr;
};

}  // namespace quorvane
