#include "nts/key_establishment.h"

#include <vector>

namespace quorvane::nts {

namespace {

constexpr size_t kMaxAnswer = 64 * 1024;
constexpr std::string_view kExporterLabel = "EXPORTER-network-time-security";

NtsFailure FailureOf(KeConnectError error) {
  switch (error) {
    case KeConnectError::NotReached:
      return NtsFailure::ServerNotReached;
    case KeConnectError::CertificateNotTrusted:
      return NtsFailure::CertificateNotTrusted;
    case KeConnectError::CertificateExpired:
      return NtsFailure::CertificateExpired;
    case KeConnectError::CertificateWrongHost:
      return NtsFailure::CertificateWrongHost;
    case KeConnectError::None:
    case KeConnectError::HandshakeFailed:
      break;
  }
  return NtsFailure::HandshakeFailed;
}

// Reads until the answer is complete; its records, or the failure.
std::optional<NtsFailure> ReadAnswer(NtsKeChannel& channel, std::vector<KeRecord>& records) {
  std::vector<uint8_t> stream;
  std::array<uint8_t, 4096> buffer{};
  while (stream.size() < kMaxAnswer) {
    const int got = channel.Read(buffer);
    if (got < 0) return NtsFailure::HandshakeFailed;
    if (got == 0) return NtsFailure::AnswerMalformed;
    stream.insert(stream.end(), buffer.begin(), buffer.begin() + got);
    KeSplit split = SplitKeRecords(stream);
    if (split.status == KeSplitStatus::Malformed) return NtsFailure::AnswerMalformed;
    if (split.status == KeSplitStatus::Complete) {
      records = std::move(split.records);
      return std::nullopt;
    }
  }
  return NtsFailure::AnswerMalformed;
}

// RFC 8915 section 5.1: protocol id, AEAD id, then 0 for client-to-server, 1 for the other.
bool Export(NtsKeChannel& channel, uint8_t direction, NtsKey& key) {
  const std::array<uint8_t, 5> context{0, kNtpv4ProtocolId, 0, kAeadAesSivCmac256, direction};
  return channel.ExportKey(kExporterLabel, context, key);
}

}  // namespace

KeResult EstablishKeys(NtsKeConnector& connector, const std::string& host, uint16_t port,
                       const std::string& trustFile) {
  KeConnection connection = connector.Connect(host, port, trustFile);
  if (connection.error != KeConnectError::None || !connection.channel) {
    return {FailureOf(connection.error), {}, {}};
  }
  NtsKeChannel& channel = *connection.channel;
  if (!channel.Write(BuildKeRequest())) return {NtsFailure::HandshakeFailed, {}, {}};
  std::vector<KeRecord> records;
  if (auto failure = ReadAnswer(channel, records)) return {failure, {}, {}};
  KeAnswer answer = InterpretKeAnswer(records);
  if (answer.failure) return {answer.failure, {}, {}};
  KeResult result{std::nullopt, {}, std::move(answer.grant)};
  if (!Export(channel, 0, result.keys.c2s) || !Export(channel, 1, result.keys.s2c)) {
    return {NtsFailure::HandshakeFailed, {}, {}};
  }
  return result;
}

}  // namespace quorvane::nts
