#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "ports/privileged_helper.h"

namespace quorvane {

// The records the window program and the helper exchange over their socket pair, one per
// datagram. Both ends are the same build on the same machine, so fields travel in the
// machine's byte order; the magic and version still catch a stray or stale peer.
constexpr uint32_t kHelperMagic = 0x51564850;
constexpr uint16_t kHelperVersion = 1;
constexpr size_t kHelperRequestSize = 24;
constexpr size_t kHelperResponseSize = 16;
constexpr int64_t kNanosPerSecond = 1'000'000'000;
// No clock error is centuries wide, and no date this program sets lies beyond year 2286.
constexpr int64_t kLargestHelperSeconds = 10'000'000'000;

enum class HelperOp : uint16_t { None = 0, StepClock = 1, SetClock = 2, BindNtpPort = 3 };

struct HelperRequest {
  HelperOp op = HelperOp::None;
  int64_t seconds = 0;
  int64_t nanoseconds = 0;

  bool operator==(const HelperRequest&) const = default;
};

struct HelperResponse {
  HelperOp op = HelperOp::None;  // None when the request was too malformed to name one
  int32_t error = 0;

  bool operator==(const HelperResponse&) const = default;
};

using HelperRequestBytes = std::array<std::byte, kHelperRequestSize>;
using HelperResponseBytes = std::array<std::byte, kHelperResponseSize>;

HelperRequestBytes EncodeRequest(const HelperRequest& request);
HelperResponseBytes EncodeResponse(const HelperResponse& response);

// 0 and the request, or the errno a malformed one is answered with: EMSGSIZE for a wrong
// size, EPROTO for a wrong magic or version, EOPNOTSUPP for an unknown operation, EINVAL
// for values outside what the operation takes.
int DecodeRequest(std::span<const std::byte> bytes, HelperRequest& request);
// 0 and the response, or EPROTO when the bytes are no response of this version.
int DecodeResponse(std::span<const std::byte> bytes, HelperResponse& response);

struct HelperReply {
  HelperResponseBytes bytes{};
  int descriptor = -1;  // to pass along with the answer; the server closes it once sent
};

// Checks one request and, only when it is well formed, runs it on `operations`.
HelperReply ServeRequest(std::span<const std::byte> bytes, PrivilegedHelper& operations);

}  // namespace quorvane
