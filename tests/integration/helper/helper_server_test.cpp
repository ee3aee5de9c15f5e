#include "helper/linux/helper_server.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <thread>
#include <vector>

#include "fakes/fake_privileged_helper.h"
#include "helper/helper_protocol.h"
#include "helper/linux/helper_channel.h"

// The helper's serving loop over a real socket pair, with fake operations.

namespace quorvane {
namespace {

uint16_t LocalPort(int socket) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  return ntohs(address.sin_port);
}

class HelperServer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair_), 0);
    server_ = std::thread([this] { served_ = ServeHelperConnection(pair_[1], operations_); });
  }
  void TearDown() override {
    if (pair_[0] != -1) close(pair_[0]);
    if (server_.joinable()) server_.join();
    close(pair_[1]);
  }

  // Sends raw bytes and reads the answer and any descriptor that came with it.
  HelperResponse Exchange(std::span<const std::byte> request, int& descriptor) {
    HelperResponse response{HelperOp::None, -1};
    std::array<std::byte, 64> buffer{};
    size_t size = 0;
    descriptor = -1;
    EXPECT_EQ(SendRecord(pair_[0], request, -1), 0);
    EXPECT_EQ(ReceiveRecord(pair_[0], buffer, size, descriptor), 0);
    EXPECT_EQ(DecodeResponse(std::span(buffer.data(), size), response), 0);
    return response;
  }
  HelperResponse Exchange(const HelperRequest& request, int& descriptor) {
    return Exchange(EncodeRequest(request), descriptor);
  }

  int pair_[2] = {-1, -1};
  testing::FakePrivilegedHelper operations_;
  std::thread server_;
  int served_ = -1;
};

TEST_F(HelperServer, AnswersEachRequestInTurnWithItsErrno) {
  int descriptor = -1;
  EXPECT_EQ(Exchange({HelperOp::StepClock, -2, 5}, descriptor),
            (HelperResponse{HelperOp::StepClock, 0}));
  operations_.error = EPERM;
  EXPECT_EQ(Exchange({HelperOp::SetClock, 7, 0}, descriptor),
            (HelperResponse{HelperOp::SetClock, EPERM}));
  EXPECT_EQ(descriptor, -1);
  close(pair_[0]);
  pair_[0] = -1;
  server_.join();
  EXPECT_EQ(served_, 0);
  EXPECT_EQ(operations_.calls, (std::vector<std::string>{"step -2 5", "set 7 0"}));
}

TEST_F(HelperServer, ABoundSocketArrivesAsADescriptor) {
  const int bound = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in loopback{};
  loopback.sin_family = AF_INET;
  loopback.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(bound, reinterpret_cast<const sockaddr*>(&loopback), sizeof loopback), 0);
  const uint16_t port = LocalPort(bound);
  ASSERT_NE(port, 0);
  operations_.descriptor = bound;
  int received = -1;
  EXPECT_EQ(Exchange({HelperOp::BindNtpPort, 0, 0}, received),
            (HelperResponse{HelperOp::BindNtpPort, 0}));
  ASSERT_NE(received, -1);
  EXPECT_EQ(LocalPort(received), port);
  close(received);
}

TEST_F(HelperServer, MalformedMessagesAreAnsweredAndServingGoesOn) {
  const std::vector<std::byte> oversized(200, std::byte{0x51});
  const std::vector<std::byte> empty;
  const HelperRequestBytes good = EncodeRequest({HelperOp::StepClock, 1, 0});
  const std::vector<std::byte> cut(good.begin(), good.begin() + 10);
  int descriptor = -1;
  for (const auto* bytes : {&oversized, &empty, &cut}) {
    EXPECT_EQ(Exchange(*bytes, descriptor), (HelperResponse{HelperOp::None, EMSGSIZE}));
  }
  EXPECT_TRUE(operations_.calls.empty());
  EXPECT_EQ(Exchange(good, descriptor), (HelperResponse{HelperOp::StepClock, 0}));
}

TEST_F(HelperServer, ADescriptorSentToTheServerIsNotKept) {
  int probe[2];
  ASSERT_EQ(pipe(probe), 0);
  const HelperRequestBytes request = EncodeRequest({HelperOp::StepClock, 0, 0});
  ASSERT_EQ(SendRecord(pair_[0], request, probe[1]), 0);
  close(probe[1]);
  std::array<std::byte, 64> buffer{};
  size_t size = 0;
  int descriptor = -1;
  ASSERT_EQ(ReceiveRecord(pair_[0], buffer, size, descriptor), 0);
  // With every write end closed, the read end sees the end of the pipe at once.
  char byte = 0;
  EXPECT_EQ(read(probe[0], &byte, 1), 0);
  close(probe[0]);
}

}  // namespace
}  // namespace quorvane
