#pragma once

#include <cmath>
#include <cstdint>
#include <variant>
#include <vector>

#include "base/app_settings.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_engine_ui.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_settings_store.h"
#include "fakes/fake_socket.h"
#include "fakes/fake_worker.h"
#include "sntp/sntp_engine.h"
#include "support/settings_fixtures.h"

namespace quorvane::testing {

// A 48-byte server reply (version 4, mode 4, stratum 2, no leap warning) with the given
// receive and transmit timestamps.
inline std::vector<uint8_t> Reply(NtpSeconds t2, NtpSeconds t3) {
  std::vector<uint8_t> bytes(48, 0);
  bytes[0] = 0x24;
  bytes[1] = 2;
  auto put = [&](size_t at, NtpSeconds t) {
    const double whole = std::floor(t);
    const auto seconds = static_cast<uint32_t>(whole);
    const auto fraction = static_cast<uint32_t>((t - whole) * 4294967296.0);
    for (int i = 0; i < 4; ++i) {
      bytes[at + i] = static_cast<uint8_t>(seconds >> (24 - 8 * i));
      bytes[at + 4 + i] = static_cast<uint8_t>(fraction >> (24 - 8 * i));
    }
  };
  put(32, t2);
  put(40, t3);
  return bytes;
}

// An engine on fake ports, with settings as a first start would load them but servers
// that name no real host.
struct EngineRig {
  AppSettings settings = PollModeSettings("primary.test", "secondary.test");
  FakeEngineUi ui;
  FakeMessageBoxes boxes;
  BoxGate gate{boxes};
  FakeSocketFactory sockets;
  FakeClock clock;
  RecordingSyncLog log;
  CountingWorkerLink link;
  Watchdog watchdog{link};
  SntpEngine engine{EnginePorts{settings, ui, gate, sockets, clock, log, watchdog}};

  // Watchdog steps until the current attempt has timed out once.
  void TimeOutOnce() {
    for (int i = 0; i < 16; ++i) engine.OnWatchdogStep();
  }
  // A reply that makes the poll offset exactly `offset` with no time passing.
  void AnswerWithOffset(double offset) {
    const NtpSeconds now = clock.ReadLocalClock();
    sockets.Deliver(Reply(engine.State().T1 + offset, now + offset));
  }
};

// For the mode tests: poll limit 1 hour, listen limit 10 seconds, 1000 ms broadcast
// time-out, in `mode` (also stored when it is Listen mode, as a start in it would find).
struct ModeRig : EngineRig {
  FakeSettingsStore store;
  explicit ModeRig(int32_t mode) {
    settings.MaxCorrectionNum = "1";
    settings.MaxCorrectionUnit = "Hour(s)";
    settings.Broadcast_Timeout = 1;
    settings.Broadcast_Timeout_Unit = "Second(s)";
    settings.Broadcast_Max_Correction = 10;
    settings.Broadcast_Max_Correction_Unit = "Second(s)";
    settings.RecomputeBroadcastTimeout();
    settings.Socket_Mode = mode;
    settings.RecomputeCorrectionLimit(gate);
    if (mode == kListenMode) store.values["Socket_Mode"] = mode;
  }
  int32_t StoredMode() const {
    const auto it = store.values.find("Socket_Mode");
    return it == store.values.end() ? 0 : std::get<int32_t>(it->second);
  }
};

}  // namespace quorvane::testing
