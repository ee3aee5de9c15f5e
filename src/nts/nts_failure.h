#pragma once

#include <string>

namespace quorvane::nts {

// Why an authenticated poll failed; each is a failing server, never a reason to fall back.
enum class NtsFailure {
  ServerNotReached,
  CertificateNotTrusted,
  CertificateExpired,
  CertificateWrongHost,
  HandshakeFailed,
  ServerRefused,      // an Error record
  AnswerMalformed,    // records that break the protocol
  NoCommonAlgorithm,  // no NTPv4 or no AEAD_AES_SIV_CMAC_256
  NoCookies,
  NotAuthenticated,
};

// The status-bar text for a failure.
std::string NtsStatusText(NtsFailure failure);

}  // namespace quorvane::nts
