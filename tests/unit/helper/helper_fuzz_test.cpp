#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <random>
#include <vector>

#include "helper/helper_protocol.h"

// Random and damaged requests against the helper's request handling: whatever arrives, it
// answers with a well-formed response, and it runs an operation only for the exact
// encoding of a request whose values are in range.

namespace quorvane {
namespace {

constexpr auto kBudget = std::chrono::milliseconds(300);
constexpr int kMaxRounds = 200'000;

// Remembers what it was asked to do.
class RecordingOperations : public PrivilegedHelper {
 public:
  std::vector<HelperRequest> calls;
  int StepClock(int64_t seconds, int64_t nanoseconds) override {
    calls.push_back({HelperOp::StepClock, seconds, nanoseconds});
    return 0;
  }
  int SetClock(int64_t seconds, int64_t nanoseconds) override {
    calls.push_back({HelperOp::SetClock, seconds, nanoseconds});
    return 0;
  }
  int BindNtpPort(int& descriptor) override {
    calls.push_back({HelperOp::BindNtpPort, 0, 0});
    descriptor = 1000;
    return 0;
  }
};

bool InRange(const HelperRequest& r) {
  const bool nanos = r.nanoseconds >= 0 && r.nanoseconds < 1'000'000'000;
  switch (r.op) {
    case HelperOp::StepClock:
      return nanos && r.seconds > -10'000'000'000 && r.seconds < 10'000'000'000;
    case HelperOp::SetClock:
      return nanos && r.seconds >= 0 && r.seconds < 10'000'000'000;
    case HelperOp::BindNtpPort:
      return r.seconds == 0 && r.nanoseconds == 0;
    case HelperOp::None:
      break;
  }
  return false;
}

// A request to start from: one of each operation, with values near the edges.
std::vector<std::byte> Seed(std::mt19937_64& random) {
  const HelperOp op = static_cast<HelperOp>(random() % 4);
  const int64_t edges[] = {0, 1, -1, 999'999'999, 1'000'000'000, 9'999'999'999, -9'999'999'999};
  const HelperRequestBytes bytes = EncodeRequest({op, edges[random() % 7], edges[random() % 7]});
  return {bytes.begin(), bytes.end()};
}

// Damages `bytes` one way or another: flipped bits, a cut, an extension, or pure noise.
void Damage(std::vector<std::byte>& bytes, std::mt19937_64& random) {
  switch (random() % 4) {
    case 0:
      for (int flips = 1 + static_cast<int>(random() % 3); flips > 0; --flips) {
        bytes[random() % bytes.size()] ^= std::byte{static_cast<uint8_t>(1u << (random() % 8))};
      }
      break;
    case 1:
      bytes.resize(random() % bytes.size());
      break;
    case 2:
      bytes.resize(bytes.size() + 1 + random() % 40, std::byte{static_cast<uint8_t>(random())});
      break;
    default:
      bytes.resize(random() % 64);
      for (std::byte& b : bytes) b = std::byte{static_cast<uint8_t>(random())};
  }
}

TEST(HelperFuzz, DamagedRequestsNeverReachTheClock) {
  const uint64_t seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937_64 random(seed);
  const auto deadline = std::chrono::steady_clock::now() + kBudget;
  int rounds = 0;
  for (; rounds < kMaxRounds && std::chrono::steady_clock::now() < deadline; ++rounds) {
    std::vector<std::byte> bytes = Seed(random);
    Damage(bytes, random);
    RecordingOperations operations;
    const HelperReply reply = ServeRequest(bytes, operations);
    HelperResponse response;
    ASSERT_EQ(DecodeResponse(reply.bytes, response), 0) << "round " << rounds;
    if (operations.calls.empty()) {
      ASSERT_NE(response.error, 0) << "round " << rounds;
      ASSERT_EQ(reply.descriptor, -1) << "round " << rounds;
      continue;
    }
    ASSERT_EQ(operations.calls.size(), 1u) << "round " << rounds;
    const HelperRequest& call = operations.calls.front();
    const HelperRequestBytes canonical = EncodeRequest(call);
    ASSERT_TRUE(bytes.size() == canonical.size() &&
                std::memcmp(bytes.data(), canonical.data(), canonical.size()) == 0)
        << "round " << rounds;
    ASSERT_TRUE(InRange(call)) << "round " << rounds;
    ASSERT_EQ(response, (HelperResponse{call.op, 0})) << "round " << rounds;
  }
  EXPECT_GT(rounds, 1000);
}

}  // namespace
}  // namespace quorvane
