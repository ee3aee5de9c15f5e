#include "sntp/listen_mode.h"

#include "base/settings_table.h"
#include "sntp/socket_error_text.h"

namespace quorvane {
namespace {

constexpr uint32_t kTickMs = 200;

constexpr const char* kWindowsTimeText =
    "The error you were just notified of probably stems from\n"
    "a service called 'Windows Time' running on your PC\n"
    "that's using something that Quorvane needs.\n"
    "It's also known as w32time.\n"
    "\n"
    "You cannot switch to Listen mode until you stop that service.\n"
    "\n"
    "To do so right-click on My Computer and choose Manage.\n"
    "In the pane that appears expand 'Services and Applications' on the left\n"
    "and then click on 'Services'. All of your PC's services will appear on the right.\n"
    "Find 'Windows Time', right-click on it and choose Stop.\n"
    "\n"
    "You can also stop the service by opening the Start menu,\n"
    "choosing Run, and then entering 'net stop w32time'.";

constexpr const char* kNoPrivilegeCause =
    "\n\nOn this computer the cause is different:\n"
    "Quorvane lacks the privilege to listen on port 123.\n"
    "Its helper, quorvane-helper beside the program,\n"
    "holds that privilege for it.\n"
    "\n"
    "With the installed package, join the group quorvane:\n\n"
    "  sudo adduser $USER quorvane\n\n"
    "then log out, log in again and start Quorvane.\n"
    "\n"
    "In a build tree, grant the privilege to the helper once:\n\n"
    // Continued with a backslash: the box wraps long lines, and a shell takes it whole.
    "  sudo setcap cap_sys_time,cap_net_bind_service=p \\\n"
    "      build/quorvane-helper\n\n"
    "and start Quorvane again.";

constexpr const char* kPortInUseCause =
    "\n\nOn this computer the cause is different:\n"
    "another program holds port 123, usually an NTP daemon\n"
    "(chronyd, ntpd). Stop it first, for example with\n\n"
    "    sudo systemctl stop chrony\n\n"
    "(or ntp, or ntpsec), then choose Listen mode again.";

}  // namespace

std::string BindFailureExplanation(int wsaCode) {
  std::string text = kWindowsTimeText;
  if (wsaCode == wsa::kAccess) text += kNoPrivilegeCause;
  if (wsaCode == wsa::kAddrInUse) text += kPortInUseCause;
  return text;
}

ListenMode::ListenMode(EngineState& state, const EnginePorts& ports, PollCycle& poll,
                       SocketEvents& events)
    : state_(state),
      settings_(ports.settings),
      ui_(ports.ui),
      boxes_(ports.boxes),
      sockets_(ports.sockets),
      poll_(poll),
      events_(events) {}

bool ListenMode::OpenListeningSocket() {
  state_.EngineSocket = sockets_.NewSocket(events_);
  CMyAsyncSocket& socket = *state_.EngineSocket;
  if (!socket.Socket()) {
    boxes_.Show(ApplicationBox(kSocketFailedText));
    return false;
  }
  if (socket.Bind(kNtpPort)) return true;
  const int code = socket.LastError();
  if (code != 0) {
    ReportSocketError(boxes_, kBindErrorPrefix, code);
    boxes_.Show(ApplicationBox(BindFailureExplanation(code)));
  }
  return false;
}

bool ListenMode::WarningDue() const {
  // A time-out of 0 ms (or one whose product wrapped to 0) means no warning, not a warning
  // at every tick. The product is taken in 64 bits so that a long time-out is reached.
  if (settings_.BroadcastTimeoutMs == 0) return false;
  return uint64_t{state_.BroadcastTickCount} * kTickMs >= settings_.BroadcastTimeoutMs;
}

void ListenMode::OnListenTick() {
  if (!state_.EngineSocket && !OpenListeningSocket()) {
    // In memory only: the stored mode stays, so the next start tries to listen again.
    settings_.Socket_Mode = kPollMode;
    ui_.UpdateModeUi();
  }
  ++state_.BroadcastTickCount;
  if (!WarningDue()) return;
  state_.BroadcastTickCount = 0;
  boxes_.Show(EngineBox(kNoBroadcastText));
}

void ListenMode::PollModeCommand(SettingsStore& store) {
  settings_.Socket_Mode = kPollMode;
  settings::Write(store, settings::Socket_Mode, kPollMode);
  poll_.FinishAttempt();
  settings_.RecomputeCorrectionLimit(boxes_);
  ui_.UpdateModeUi();
}

void ListenMode::ListenModeCommand(bool accepted, SettingsStore& store) {
  // The mode changes only on success; a failure or a cancel leaves it as it is.
  if (!accepted) {
    ui_.ShowStatus(kModeCanceledText);
  } else {
    // The attempt ends with its socket: a poll's watchdog left running would retry on its
    // time-out and take the listening socket's place.
    poll_.FinishAttempt();
    if (OpenListeningSocket()) {
      settings_.Socket_Mode = kListenMode;
      settings::Write(store, settings::Socket_Mode, kListenMode);
      settings_.RecomputeCorrectionLimit(boxes_);
      ui_.ShowStatus(kListenSavedText);
    } else {
      ui_.ShowStatus(kListenFailedText);
    }
  }
  ui_.UpdateModeUi();
}

}  // namespace quorvane
