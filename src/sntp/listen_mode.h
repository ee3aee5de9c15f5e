#pragma once

#include <cstdint>
#include <string>

#include "ports/settings_store.h"
#include "sntp/engine_state.h"
#include "sntp/poll_cycle.h"

namespace quorvane {

// What the timer tick does in listen mode; poll mode needs none of it.
class ListenModeTick {
 public:
  virtual ~ListenModeTick() = default;
  virtual void OnListenTick() = 0;
};

inline constexpr const char* kSocketFailedText = "Socket() failed.";
inline constexpr const char* kNoBroadcastText =
    "No broadcast has been received during the timeout period.\n"
    "The server may not be broadcasting, or broadcasting often enough,\n"
    "or there may be a communications problem.";
inline constexpr const char* kListenSavedText = "Broadcast Timeout configuration changes saved.";
inline constexpr const char* kListenFailedText = "Error: Could not create listening socket.";
inline constexpr const char* kModeCanceledText = "Mode not changed: user canceled.";

// The box shown after the bind error: the usual cause, then the cause the error code names
// on this platform (missing privilege, or a time daemon holding the port).
std::string BindFailureExplanation(int wsaCode);

// Listen mode: the listening socket on port 123, the count of ticks since the last
// broadcast with its warning, and the two commands that switch modes. Works on the engine's
// record; user-interface thread only.
class ListenMode : public ListenModeTick {
 public:
  // Sockets it makes send their notifications to `events`.
  ListenMode(EngineState& state, const EnginePorts& ports, PollCycle& poll, SocketEvents& events);

  // Makes EngineSocket a UDP socket bound to port 123 on every local address. On failure the
  // unusable socket stays EngineSocket, so a tick does not try again.
  bool OpenListeningSocket();
  void OnListenTick() override;

  // Command 40045.
  void PollModeCommand(SettingsStore& store);
  // The part of command 40046 after the Broadcast Timeout dialog has closed.
  void ListenModeCommand(bool accepted, SettingsStore& store);

 private:
  bool WarningDue() const;

  EngineState& state_;
  AppSettings& settings_;
  EngineUi& ui_;
  BoxGate& boxes_;
  SocketFactory& sockets_;
  PollCycle& poll_;
  SocketEvents& events_;
};

}  // namespace quorvane
