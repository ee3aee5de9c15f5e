#include "nts/ke_records.h"

#include "nts/wire.h"

namespace quorvane::nts {

namespace {

constexpr uint16_t kCriticalBit = 0x8000;
constexpr size_t kRecordHeader = 4;

std::vector<uint8_t> U16Body(uint16_t value) {
  std::vector<uint8_t> body;
  AppendU16(body, value);
  return body;
}

// A record body that must be a list of 16-bit ids.
std::optional<std::vector<uint16_t>> IdList(const std::vector<uint8_t>& body) {
  if (body.size() % 2 != 0) return std::nullopt;
  std::vector<uint16_t> ids;
  for (size_t at = 0; at < body.size(); at += 2) ids.push_back(ReadU16(body, at));
  return ids;
}

// Collects what each record says; the first failure stops.
class AnswerReader {
 public:
  std::optional<NtsFailure> Read(const KeRecord& record) {
    switch (static_cast<KeRecordType>(record.type)) {
      case KeRecordType::EndOfMessage:
      case KeRecordType::Warning:
        return Warning(record);
      case KeRecordType::Error:
        return NtsFailure::ServerRefused;
      case KeRecordType::NextProtocol:
        return Chosen(record, sawProtocol_, kNtpv4ProtocolId);
      case KeRecordType::AeadAlgorithm:
        return Chosen(record, sawAead_, kAeadAesSivCmac256);
      case KeRecordType::NewCookie:
        if (record.body.empty()) return NtsFailure::AnswerMalformed;
        grant_.cookies.push_back(record.body);
        return std::nullopt;
      case KeRecordType::Server:
        return Server(record);
      case KeRecordType::Port:
        if (record.body.size() != 2) return NtsFailure::AnswerMalformed;
        grant_.port = ReadU16(record.body, 0);
        return std::nullopt;
    }
    return record.critical ? std::optional(NtsFailure::AnswerMalformed) : std::nullopt;
  }

  KeAnswer Finish() {
    if (!sawProtocol_ || !sawAead_) return {NtsFailure::NoCommonAlgorithm, {}};
    if (grant_.cookies.empty()) return {NtsFailure::NoCookies, {}};
    return {std::nullopt, grant_};
  }

 private:
  std::optional<NtsFailure> Warning(const KeRecord& record) {
    if (record.type == static_cast<uint16_t>(KeRecordType::Warning)) {
      if (record.body.size() != 2) return NtsFailure::AnswerMalformed;
      grant_.warnings.push_back(ReadU16(record.body, 0));
    }
    return std::nullopt;
  }

  // A negotiation record: once only, naming exactly the one id the request offered. An
  // empty list is the server saying it supports none of ours.
  static std::optional<NtsFailure> Chosen(const KeRecord& record, bool& seen, uint16_t wanted) {
    const auto ids = IdList(record.body);
    if (!ids || seen) return NtsFailure::AnswerMalformed;
    seen = true;
    if (ids->size() != 1 || ids->front() != wanted) return NtsFailure::NoCommonAlgorithm;
    return std::nullopt;
  }

  std::optional<NtsFailure> Server(const KeRecord& record) {
    if (record.body.empty()) return NtsFailure::AnswerMalformed;
    for (uint8_t c : record.body) {
      if (c < 0x21 || c > 0x7e) return NtsFailure::AnswerMalformed;
    }
    grant_.server.assign(record.body.begin(), record.body.end());
    return std::nullopt;
  }

  bool sawProtocol_ = false;
  bool sawAead_ = false;
  KeGrant grant_;
};

}  // namespace

void AppendKeRecord(std::vector<uint8_t>& message, const KeRecord& record) {
  AppendU16(message, static_cast<uint16_t>((record.critical ? kCriticalBit : 0) | record.type));
  AppendU16(message, static_cast<uint16_t>(record.body.size()));
  message.insert(message.end(), record.body.begin(), record.body.end());
}

std::vector<uint8_t> BuildKeRequest() {
  std::vector<uint8_t> message;
  AppendKeRecord(message, {true, static_cast<uint16_t>(KeRecordType::NextProtocol),
                           U16Body(kNtpv4ProtocolId)});
  AppendKeRecord(message, {true, static_cast<uint16_t>(KeRecordType::AeadAlgorithm),
                           U16Body(kAeadAesSivCmac256)});
  AppendKeRecord(message, {true, static_cast<uint16_t>(KeRecordType::EndOfMessage), {}});
  return message;
}

KeSplit SplitKeRecords(std::span<const uint8_t> stream) {
  KeSplit split;
  size_t at = 0;
  while (stream.size() - at >= kRecordHeader) {
    const uint16_t word = ReadU16(stream, at);
    const size_t length = ReadU16(stream, at + 2);
    if (stream.size() - at - kRecordHeader < length) return split;
    const auto body = stream.subspan(at + kRecordHeader, length);
    split.records.push_back({(word & kCriticalBit) != 0,
                             static_cast<uint16_t>(word & ~kCriticalBit),
                             {body.begin(), body.end()}});
    at += kRecordHeader + length;
    if (split.records.back().type == static_cast<uint16_t>(KeRecordType::EndOfMessage)) {
      const bool clean = length == 0 && at == stream.size();
      split.status = clean ? KeSplitStatus::Complete : KeSplitStatus::Malformed;
      return split;
    }
  }
  return split;
}

KeAnswer InterpretKeAnswer(const std::vector<KeRecord>& records) {
  AnswerReader reader;
  for (const KeRecord& record : records) {
    if (auto failure = reader.Read(record)) return {failure, {}};
  }
  return reader.Finish();
}

}  // namespace quorvane::nts
