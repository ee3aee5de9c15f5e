#include "nts/nts_failure.h"

namespace quorvane::nts {

std::string NtsStatusText(NtsFailure failure) {
  switch (failure) {
    case NtsFailure::ServerNotReached:
      return "NTS: key establishment server not reached";
    case NtsFailure::CertificateNotTrusted:
      return "NTS: certificate not trusted";
    case NtsFailure::CertificateExpired:
      return "NTS: certificate expired";
    case NtsFailure::CertificateWrongHost:
      return "NTS: certificate names another host";
    case NtsFailure::HandshakeFailed:
      return "NTS: secure connection failed";
    case NtsFailure::ServerRefused:
      return "NTS: server refused key establishment";
    case NtsFailure::AnswerMalformed:
      return "NTS: key establishment answer not understood";
    case NtsFailure::NoCommonAlgorithm:
      return "NTS: no common algorithm";
    case NtsFailure::NoCookies:
      return "NTS: no cookies received";
    case NtsFailure::NotAuthenticated:
      return "NTS: reply not authenticated";
  }
  return "NTS: reply not authenticated";
}

}  // namespace quorvane::nts
