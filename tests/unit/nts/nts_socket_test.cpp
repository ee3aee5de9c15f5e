#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "fakes/fake_nts_aead.h"
#include "fakes/fake_nts_ke.h"
#include "fakes/fake_socket.h"
#include "nts/nts_socket.h"
#include "support/nts_reply_builder.h"

namespace quorvane::nts {
namespace {

using quorvane::testing::FakeSocketFactory;

// Posted tasks wait here until the test runs them, as the window's thread would.
class QueuedWatcher : public FdWatcher {
 public:
  void Watch(int, std::function<void()>) override {}
  void Unwatch(int) override {}
  void Post(std::function<void()> task) override {
    std::lock_guard guard(lock_);
    tasks_.push_back(std::move(task));
    posted_.notify_all();
  }
  // Waits for the worker's answer and runs it.
  bool RunNext() {
    std::unique_lock guard(lock_);
    if (!posted_.wait_for(guard, std::chrono::seconds(5), [&] { return !tasks_.empty(); })) {
      return false;
    }
    auto task = std::move(tasks_.front());
    tasks_.pop_front();
    guard.unlock();
    task();
    return true;
  }

 private:
  std::mutex lock_;
  std::condition_variable posted_;
  std::deque<std::function<void()>> tasks_;
};

class EngineEvents : public SocketEvents {
 public:
  void OnReceive() override { ++received; }
  void OnConnect(int) override {}
  void OnClose() override {}
  int received = 0;
};

std::vector<uint8_t> KeAnswer() {
  std::vector<uint8_t> bytes;
  AppendKeRecord(bytes, {true, 1, {0, 0}});
  AppendKeRecord(bytes, {true, 4, {0, 15}});
  for (int i = 0; i < 8; ++i) AppendKeRecord(bytes, {false, 5, std::vector<uint8_t>(40, 9)});
  AppendKeRecord(bytes, {true, 0, {}});
  return bytes;
}

class NtsSocketTest : public ::testing::Test {
 protected:
  NtsSocketTest() { script->answer = KeAnswer(); }

  std::unique_ptr<CMyAsyncSocket> Poll() {
    auto socket = factory.NewSocket(engine);
    socket->Create();
    socket->Connect("time.example", 123);
    socket->Send(EngineRequest());
    return socket;
  }
  static std::vector<uint8_t> EngineRequest() {
    std::vector<uint8_t> request(48, 0);
    request[0] = 0x0b;  // what the engine sends: version 1, client
    return request;
  }
  // The reply the server gives to the last request sent, through `damage`.
  std::vector<uint8_t> Answer(const std::function<void(std::vector<uint8_t>&)>& damage = {}) {
    const auto& request = inner.Last().sent.back();
    KeyFromScript s2c;
    auto reply = BuildServerReply(std::span(request).subspan(52, kUniqueIdSize), s2c.key,
                                  {Cookie(40, 3)}, aead);
    if (damage) damage(reply);
    inner.Deliver(reply);
    return reply;
  }
  // The fake exporter's server-to-client key.
  struct KeyFromScript {
    NtsKey key{};
    KeyFromScript() {
      const std::string_view label = "EXPORTER-network-time-security";
      for (size_t i = 0; i < key.size(); ++i) key[i] = static_cast<uint8_t>(label.size() + 100 + i);
    }
  };

  std::shared_ptr<FakeKeScript> script = std::make_shared<FakeKeScript>();
  FakeNtsAead aead;
  QueuedWatcher watcher;
  NtsClient client{std::make_shared<FakeKeConnector>(*script), aead, watcher, [] { return ""; }};
  FakeSocketFactory inner;
  std::vector<std::string> statuses;
  int lateSends = 0;
  NtsSocketHooks hooks{[this](const std::string& text) { statuses.push_back(text); },
                       [this](const std::function<void()>& send) {
                         ++lateSends;
                         send();
                       }};
  NtsSocketFactory factory{client, inner, [] { return true; }, hooks};
  EngineEvents engine;
};

TEST_F(NtsSocketTest, FirstPollWaitsForKeysThenSendsAnAuthenticatedNtpv4Request) {
  auto socket = Poll();
  EXPECT_TRUE(inner.Last().sent.empty());
  ASSERT_TRUE(watcher.RunNext());
  EXPECT_EQ(script->host, "time.example");
  EXPECT_EQ(inner.Last().connectedHost, "time.example");
  EXPECT_EQ(inner.Last().connectedPort, 123);
  ASSERT_EQ(inner.Last().sent.size(), 1u);
  EXPECT_GT(inner.Last().sent[0].size(), 48u);
  EXPECT_EQ(inner.Last().sent[0][0], 0x23);
  EXPECT_EQ(lateSends, 1);

  Answer();
  ASSERT_EQ(engine.received, 1);
  std::array<uint8_t, 48> reply{};
  EXPECT_EQ(socket->Receive(reply), 48);
  EXPECT_EQ(reply[0], 0x24);
}

TEST_F(NtsSocketTest, UnauthenticReplyNeverReachesTheEngine) {
  auto socket = Poll();
  ASSERT_TRUE(watcher.RunNext());
  const std::vector<uint8_t> earlier = Answer();
  ASSERT_EQ(engine.received, 1);
  const struct {
    const char* name;
    void (*damage)(std::vector<uint8_t>& reply, const std::vector<uint8_t>& earlier);
  } attacks[] = {
      {"authenticator bit flipped", [](auto& r, auto&) { r[r.size() - 1] ^= 1; }},
      {"extension fields stripped", [](auto& r, auto&) { r.resize(48); }},
      {"replayed earlier reply", [](auto& r, auto& e) { r = e; }},
      {"unique identifier differs", [](auto& r, auto&) { r[48 + 4] ^= 1; }},
  };
  for (const auto& attack : attacks) {
    statuses.clear();
    socket->Send(EngineRequest());
    Answer([&](auto& r) { attack.damage(r, earlier); });
    EXPECT_EQ(statuses, std::vector<std::string>{"NTS: reply not authenticated"}) << attack.name;
  }
  EXPECT_EQ(engine.received, 1);
}

TEST_F(NtsSocketTest, FailedKeyEstablishmentSendsNothingAndSaysWhy) {
  std::vector<uint8_t> otherAead;  // the server offers only AES-128-GCM-SIV (30)
  AppendKeRecord(otherAead, {true, 1, {0, 0}});
  AppendKeRecord(otherAead, {true, 4, {0, 30}});
  AppendKeRecord(otherAead, {true, 0, {}});
  const struct {
    KeConnectError connectError;
    std::vector<uint8_t> answer;
    const char* text;
  } cases[] = {
      {KeConnectError::CertificateNotTrusted, KeAnswer(), "NTS: certificate not trusted"},
      {KeConnectError::None, otherAead, "NTS: no common algorithm"},
  };
  for (const auto& c : cases) {
    statuses.clear();
    script->connectError = c.connectError;
    script->answer = c.answer;
    auto socket = Poll();
    ASSERT_TRUE(watcher.RunNext());
    EXPECT_TRUE(inner.Last().sent.empty()) << c.text;
    EXPECT_EQ(statuses, std::vector<std::string>{c.text});
  }
}

TEST_F(NtsSocketTest, LaterPollsUseTheKeptCookiesWithoutKeyEstablishment) {
  auto first = Poll();
  ASSERT_TRUE(watcher.RunNext());
  first.reset();
  script->answer.clear();  // a second key establishment would fail
  auto second = Poll();
  EXPECT_EQ(inner.Last().sent.size(), 1u);
  EXPECT_EQ(lateSends, 1);
}

TEST_F(NtsSocketTest, AnswerForASocketAlreadyGoneIsDropped) {
  Poll().reset();
  ASSERT_TRUE(watcher.RunNext());
  EXPECT_TRUE(statuses.empty());
  EXPECT_EQ(lateSends, 0);
}

TEST_F(NtsSocketTest, PlainSocketsWhileNtsIsOff) {
  NtsSocketFactory off{client, inner, [] { return false; }, hooks};
  auto socket = off.NewSocket(engine);
  socket->Create();
  socket->Connect("time.example", 123);
  socket->Send(std::vector<uint8_t>(48, 0x0b));
  ASSERT_EQ(inner.Last().sent.size(), 1u);
  EXPECT_EQ(inner.Last().sent[0].size(), 48u);
}

}  // namespace
}  // namespace quorvane::nts
