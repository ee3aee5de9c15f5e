#include "helper/helper_protocol.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "fakes/fake_privileged_helper.h"

namespace quorvane {
namespace {

constexpr int64_t kMaxNanos = kNanosPerSecond - 1;

std::vector<std::byte> Bytes(const HelperRequest& request) {
  const HelperRequestBytes bytes = EncodeRequest(request);
  return {bytes.begin(), bytes.end()};
}

HelperResponse Answer(const HelperReply& reply) {
  HelperResponse response;
  EXPECT_EQ(DecodeResponse(reply.bytes, response), 0);
  return response;
}

struct RequestCase {
  const char* name;
  HelperRequest request;
  int error;         // the answer's errno; 0 when the operation ran
  const char* call;  // what the fake saw, or "" when the request never reached it
};

TEST(HelperProtocol, EachRequestIsCheckedThenRunOrRefused) {
  const RequestCase cases[] = {
      {"step forward", {HelperOp::StepClock, 5, 20}, 0, "step 5 20"},
      {"step back", {HelperOp::StepClock, -1, 999'999'999}, 0, "step -1 999999999"},
      {"step, largest",
       {HelperOp::StepClock, kLargestHelperSeconds - 1, kMaxNanos},
       0,
       "step 9999999999 999999999"},
      {"step, too far", {HelperOp::StepClock, kLargestHelperSeconds, 0}, EINVAL, ""},
      {"step, too far back", {HelperOp::StepClock, -kLargestHelperSeconds, 0}, EINVAL, ""},
      {"step, negative nanos", {HelperOp::StepClock, 0, -1}, EINVAL, ""},
      {"step, a whole second of nanos", {HelperOp::StepClock, 0, kNanosPerSecond}, EINVAL, ""},
      {"set", {HelperOp::SetClock, 1'700'000'000, 5}, 0, "set 1700000000 5"},
      {"set, the epoch", {HelperOp::SetClock, 0, 0}, 0, "set 0 0"},
      {"set before 1970", {HelperOp::SetClock, -1, 0}, EINVAL, ""},
      {"set, too late", {HelperOp::SetClock, kLargestHelperSeconds, 0}, EINVAL, ""},
      {"set, nanos out of range", {HelperOp::SetClock, 1, kNanosPerSecond}, EINVAL, ""},
      {"bind", {HelperOp::BindNtpPort, 0, 0}, 0, "bind"},
      {"bind with values", {HelperOp::BindNtpPort, 1, 0}, EINVAL, ""},
      {"bind with nanos", {HelperOp::BindNtpPort, 0, 1}, EINVAL, ""},
      {"no operation", {HelperOp::None, 0, 0}, EOPNOTSUPP, ""},
      {"unknown operation", {static_cast<HelperOp>(4), 0, 0}, EOPNOTSUPP, ""},
  };
  for (const RequestCase& c : cases) {
    SCOPED_TRACE(c.name);
    testing::FakePrivilegedHelper operations;
    const HelperReply reply = ServeRequest(Bytes(c.request), operations);
    const HelperOp answeredOp = c.error == 0 ? c.request.op : HelperOp::None;
    EXPECT_EQ(Answer(reply), (HelperResponse{answeredOp, c.error}));
    EXPECT_EQ(operations.calls,
              c.call[0] ? std::vector<std::string>{c.call} : std::vector<std::string>{});
  }
}

TEST(HelperProtocol, TheOperationsErrnoIsTheAnswer) {
  testing::FakePrivilegedHelper operations;
  operations.error = EPERM;
  operations.descriptor = 7;
  for (const HelperOp op : {HelperOp::StepClock, HelperOp::SetClock, HelperOp::BindNtpPort}) {
    const HelperReply reply = ServeRequest(Bytes({op, 0, 0}), operations);
    EXPECT_EQ(Answer(reply), (HelperResponse{op, EPERM}));
    EXPECT_EQ(reply.descriptor, -1);
  }
}

TEST(HelperProtocol, ABoundSocketTravelsWithTheAnswer) {
  testing::FakePrivilegedHelper operations;
  operations.descriptor = 7;
  const HelperReply reply = ServeRequest(Bytes({HelperOp::BindNtpPort, 0, 0}), operations);
  EXPECT_EQ(reply.descriptor, 7);
  EXPECT_EQ(ServeRequest(Bytes({HelperOp::StepClock, 0, 0}), operations).descriptor, -1);
}

TEST(HelperProtocol, WrongSizeOrHeaderIsRefusedUnread) {
  std::vector<std::byte> good = Bytes({HelperOp::StepClock, 1, 0});
  std::vector<std::byte> longer = good;
  longer.push_back(std::byte{0});
  std::vector<std::byte> badMagic = good;
  badMagic[0] ^= std::byte{1};
  std::vector<std::byte> badVersion = good;
  badVersion[4] ^= std::byte{1};
  const auto response = EncodeResponse({});
  const struct {
    const char* name;
    std::vector<std::byte> bytes;
    int error;
  } cases[] = {
      {"empty", {}, EMSGSIZE},        {"one short", {good.begin(), good.end() - 1}, EMSGSIZE},
      {"one long", longer, EMSGSIZE}, {"a response", {response.begin(), response.end()}, EMSGSIZE},
      {"magic", badMagic, EPROTO},    {"version", badVersion, EPROTO},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testing::FakePrivilegedHelper operations;
    EXPECT_EQ(Answer(ServeRequest(c.bytes, operations)), (HelperResponse{HelperOp::None, c.error}));
    EXPECT_TRUE(operations.calls.empty());
  }
}

TEST(HelperProtocol, RequestsAndResponsesSurviveTheirEncoding) {
  const HelperRequest request{HelperOp::StepClock, -1234567890, 987654321};
  HelperRequest decoded;
  ASSERT_EQ(DecodeRequest(EncodeRequest(request), decoded), 0);
  EXPECT_EQ(decoded, request);
  const HelperResponse response{HelperOp::SetClock, EPERM};
  HelperResponse read;
  ASSERT_EQ(DecodeResponse(EncodeResponse(response), read), 0);
  EXPECT_EQ(read, response);
}

TEST(HelperProtocol, AResponseFromAStrangerIsRefused) {
  HelperResponseBytes unknownOp = EncodeResponse({HelperOp::StepClock, 0});
  unknownOp[6] = std::byte{9};
  HelperResponseBytes padded = EncodeResponse({HelperOp::StepClock, 0});
  padded[15] = std::byte{1};
  const HelperRequestBytes request = EncodeRequest({HelperOp::StepClock, 0, 0});
  HelperResponse response;
  EXPECT_EQ(DecodeResponse(unknownOp, response), EPROTO);
  EXPECT_EQ(DecodeResponse(padded, response), EPROTO);
  EXPECT_EQ(DecodeResponse(request, response), EPROTO);
  EXPECT_EQ(DecodeResponse(std::span<const std::byte>{}, response), EPROTO);
}

}  // namespace
}  // namespace quorvane
