#pragma once

#include <array>
#include <optional>
#include <string>

#include "nts/ke_records.h"
#include "nts/nts_failure.h"
#include "ports/nts_aead.h"
#include "ports/nts_key_establishment.h"

namespace quorvane::nts {

using NtsKey = std::array<uint8_t, NtsAead::kKeySize>;

struct NtsKeys {
  NtsKey c2s{};
  NtsKey s2c{};
};

struct KeResult {
  std::optional<NtsFailure> failure;
  NtsKeys keys;
  KeGrant grant;
};

// One key establishment with `host` on `port` (4460 but in tests): sends the request, reads the
// answer up to End of Message (at most 64 KiB), checks it and exports the two keys. Blocking: run
// it off the window's thread.
KeResult EstablishKeys(NtsKeConnector& connector, const std::string& host, uint16_t port,
                       const std::string& trustFile);

}  // namespace quorvane::nts
