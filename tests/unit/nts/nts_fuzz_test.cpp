#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <vector>

#include "fakes/fake_nts_aead.h"
#include "nts/ke_records.h"
#include "nts/nts_session.h"
#include "support/nts_reply_builder.h"

// Damaged key-establishment answers and NTP replies against their parsers, for a bounded
// time: nothing reads out of bounds (run under ASan+UBSan), a complete answer is exactly its
// records, and no change to an authentic reply's bytes is ever accepted.

namespace quorvane::nts {
namespace {

constexpr auto kBudget = std::chrono::milliseconds(300);

using Bytes = std::vector<uint8_t>;

void Mutate(Bytes& bytes, std::mt19937_64& random) {
  const size_t at = bytes.empty() ? 0 : random() % bytes.size();
  switch (random() % 5) {
    case 0:
      if (!bytes.empty()) bytes[at] ^= static_cast<uint8_t>(1u << (random() % 8));
      break;
    case 1:
      if (!bytes.empty()) bytes[at] = static_cast<uint8_t>(random());
      break;
    case 2:
      bytes.resize(at);
      break;
    case 3:
      bytes.insert(bytes.begin() + at, random() % 8, static_cast<uint8_t>(random()));
      break;
    default:  // a length word set to an edge value
      if (bytes.size() > at + 1) {
        const uint16_t edges[] = {0, 1, 3, 4, 15, 16, 0x7fff, 0xffff};
        const uint16_t edge = edges[random() % 8];
        bytes[at] = static_cast<uint8_t>(edge >> 8);
        bytes[at + 1] = static_cast<uint8_t>(edge);
      }
  }
}

template <typename Round>
void RunFor(Round round) {
  std::mt19937_64 random(20261208);
  const auto end = std::chrono::steady_clock::now() + kBudget;
  int rounds = 0;
  while (std::chrono::steady_clock::now() < end) {
    round(random);
    ++rounds;
  }
  EXPECT_GT(rounds, 100);
}

TEST(NtsFuzz, KeAnswersParseOrAreRefusedWithoutReadingPastTheirEnd) {
  Bytes seed;
  AppendKeRecord(seed, {true, 1, {0, 0}});
  AppendKeRecord(seed, {true, 4, {0, 15}});
  AppendKeRecord(seed, {false, 5, Bytes(64, 0xc0)});
  AppendKeRecord(seed, {true, 6, {'a', '.', 'b'}});
  AppendKeRecord(seed, {true, 7, {0, 123}});
  AppendKeRecord(seed, {true, 0, {}});
  RunFor([&](std::mt19937_64& random) {
    Bytes bytes = seed;
    for (int n = 1 + random() % 4; n > 0; --n) Mutate(bytes, random);
    const KeSplit split = SplitKeRecords(bytes);
    if (split.status != KeSplitStatus::Complete) return;
    Bytes again;
    for (const auto& record : split.records) AppendKeRecord(again, record);
    ASSERT_EQ(again, bytes);
    const KeAnswer answer = InterpretKeAnswer(split.records);
    if (!answer.failure) {
      ASSERT_FALSE(answer.grant.cookies.empty());
    }
  });
}

TEST(NtsFuzz, NoChangedReplyIsAccepted) {
  FakeNtsAead aead;
  KeResult established;
  established.keys.s2c.fill(5);
  established.grant.cookies.assign(8, Cookie(40, 1));
  RunFor([&](std::mt19937_64& random) {
    NtsSession session;
    session.Start("ke", established);
    const Bytes request = session.NextRequest(Bytes(48, 0x23), aead);
    const Bytes original = BuildServerReply(std::span(request).subspan(52, kUniqueIdSize),
                                            established.keys.s2c, {Cookie(40, 2)}, aead);
    Bytes reply = original;
    for (int n = 1 + random() % 3; n > 0; --n) Mutate(reply, random);
    if (session.AcceptReply(reply, aead)) {
      ASSERT_GE(reply.size(), original.size());
      ASSERT_TRUE(std::equal(original.begin(), original.end(), reply.begin()));
    }
  });
}

}  // namespace
}  // namespace quorvane::nts
