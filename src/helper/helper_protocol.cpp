#include "helper/helper_protocol.h"

#include <cerrno>
#include <cstring>

namespace quorvane {
namespace {

// Field offsets. Copies go through memcpy so no field is read at a misaligned address.
constexpr size_t kMagicAt = 0;
constexpr size_t kVersionAt = 4;
constexpr size_t kOpAt = 6;
constexpr size_t kSecondsAt = 8;
constexpr size_t kNanosAt = 16;
constexpr size_t kErrorAt = 8;

template <typename T, size_t N>
void Put(std::array<std::byte, N>& bytes, size_t at, T value) {
  std::memcpy(bytes.data() + at, &value, sizeof value);
}

template <typename T>
T Get(std::span<const std::byte> bytes, size_t at) {
  T value{};
  std::memcpy(&value, bytes.data() + at, sizeof value);
  return value;
}

// Both records open alike: magic, version, operation.
template <size_t N>
void PutHeader(std::array<std::byte, N>& bytes, HelperOp op) {
  Put(bytes, kMagicAt, kHelperMagic);
  Put(bytes, kVersionAt, kHelperVersion);
  Put(bytes, kOpAt, static_cast<uint16_t>(op));
}

bool HeaderMatches(std::span<const std::byte> bytes) {
  return Get<uint32_t>(bytes, kMagicAt) == kHelperMagic &&
         Get<uint16_t>(bytes, kVersionAt) == kHelperVersion;
}

bool ValuesFit(const HelperRequest& request) {
  const bool nanosFit = request.nanoseconds >= 0 && request.nanoseconds < kNanosPerSecond;
  switch (request.op) {
    case HelperOp::StepClock:
      return nanosFit && request.seconds > -kLargestHelperSeconds &&
             request.seconds < kLargestHelperSeconds;
    case HelperOp::SetClock:
      return nanosFit && request.seconds >= 0 && request.seconds < kLargestHelperSeconds;
    case HelperOp::BindNtpPort:
      return request.seconds == 0 && request.nanoseconds == 0;
    case HelperOp::None:
      break;
  }
  return false;
}

}  // namespace

HelperRequestBytes EncodeRequest(const HelperRequest& request) {
  HelperRequestBytes bytes{};
  PutHeader(bytes, request.op);
  Put(bytes, kSecondsAt, request.seconds);
  Put(bytes, kNanosAt, request.nanoseconds);
  return bytes;
}

HelperResponseBytes EncodeResponse(const HelperResponse& response) {
  HelperResponseBytes bytes{};
  PutHeader(bytes, response.op);
  Put(bytes, kErrorAt, response.error);
  return bytes;
}

int DecodeRequest(std::span<const std::byte> bytes, HelperRequest& request) {
  request = {};
  if (bytes.size() != kHelperRequestSize) return EMSGSIZE;
  if (!HeaderMatches(bytes)) return EPROTO;
  const auto op = Get<uint16_t>(bytes, kOpAt);
  if (op < static_cast<uint16_t>(HelperOp::StepClock) ||
      op > static_cast<uint16_t>(HelperOp::BindNtpPort)) {
    return EOPNOTSUPP;
  }
  HelperRequest decoded{static_cast<HelperOp>(op), Get<int64_t>(bytes, kSecondsAt),
                        Get<int64_t>(bytes, kNanosAt)};
  if (!ValuesFit(decoded)) return EINVAL;
  request = decoded;
  return 0;
}

int DecodeResponse(std::span<const std::byte> bytes, HelperResponse& response) {
  response = {};
  if (bytes.size() != kHelperResponseSize || !HeaderMatches(bytes)) return EPROTO;
  const auto op = Get<uint16_t>(bytes, kOpAt);
  if (op > static_cast<uint16_t>(HelperOp::BindNtpPort)) return EPROTO;
  if (Get<uint32_t>(bytes, kErrorAt + 4) != 0) return EPROTO;
  response = {static_cast<HelperOp>(op), Get<int32_t>(bytes, kErrorAt)};
  return 0;
}

HelperReply ServeRequest(std::span<const std::byte> bytes, PrivilegedHelper& operations) {
  HelperRequest request;
  if (const int malformed = DecodeRequest(bytes, request); malformed != 0) {
    return {EncodeResponse({HelperOp::None, malformed}), -1};
  }
  HelperReply reply;
  int error = 0;
  switch (request.op) {
    case HelperOp::StepClock:
      error = operations.StepClock(request.seconds, request.nanoseconds);
      break;
    case HelperOp::SetClock:
      error = operations.SetClock(request.seconds, request.nanoseconds);
      break;
    case HelperOp::BindNtpPort:
      error = operations.BindNtpPort(reply.descriptor);
      if (error != 0) reply.descriptor = -1;
      break;
    case HelperOp::None:
      break;
  }
  reply.bytes = EncodeResponse({request.op, error});
  return reply;
}

}  // namespace quorvane
