// Key establishment, and the time NTS adds to one poll, against the chrony that
// bench/nts.sh starts with NTS in a network namespace of its own (never touching the clock).
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <stdexcept>
#include <string>
#include <vector>

#include "nts/key_establishment.h"
#include "nts/nts_session.h"
#include "platform/linux/gnutls_ke_connector.h"
#include "platform/linux/nettle_siv_aead.h"
#include "sntp/sntp_packet.h"

namespace {

using namespace quorvane;
using namespace quorvane::nts;

std::string Trust() {
  const char* trust = std::getenv("QUORVANE_NTS_TRUST");
  return trust != nullptr ? trust : "";
}

// A UDP socket connected to 127.0.0.1:123, with a receive time-out.
class UdpPeer {
 public:
  UdpPeer() : fd_(socket(AF_INET, SOCK_DGRAM, 0)) {
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(123);
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const timeval limit{1, 0};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    if (connect(fd_, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
      throw std::runtime_error("connect");
    }
  }
  ~UdpPeer() { close(fd_); }
  std::vector<uint8_t> Exchange(const std::vector<uint8_t>& request) {
    send(fd_, request.data(), request.size(), 0);
    std::vector<uint8_t> reply(2048);
    const ssize_t n = recv(fd_, reply.data(), reply.size(), 0);
    reply.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return reply;
  }

 private:
  int fd_;
};

std::vector<uint8_t> Header() {
  std::vector<uint8_t> header(48, 0);
  header[0] = 0x23;
  return header;
}

void BM_KeyEstablishment(benchmark::State& state) {
  GnutlsKeConnector connector;
  for (auto _ : state) {
    const KeResult result = EstablishKeys(connector, "localhost", kNtsKePort, Trust());
    if (result.failure) state.SkipWithError(NtsStatusText(*result.failure).c_str());
  }
}
BENCHMARK(BM_KeyEstablishment)->Unit(benchmark::kMillisecond);

void BM_PlainPoll(benchmark::State& state) {
  UdpPeer peer;
  for (auto _ : state) {
    if (peer.Exchange(Header()).size() < 48) state.SkipWithError("no reply");
  }
}
BENCHMARK(BM_PlainPoll)->Unit(benchmark::kMicrosecond);

NtpSeconds Now() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return NtpSecondsFromUnix(ts.tv_sec, 0) + ts.tv_nsec * 1e-9;
}

// Request built and sealed, reply checked and its cookie kept: everything NTS adds. The
// server serves this machine's clock, so each authenticated offset is the residual a sync
// would leave; their median is reported.
void BM_NtsPoll(benchmark::State& state) {
  GnutlsKeConnector connector;
  NettleSivAead aead;
  NtsSession session;
  session.Start("localhost", EstablishKeys(connector, "localhost", kNtsKePort, Trust()));
  UdpPeer peer;
  std::vector<double> residuals;
  for (auto _ : state) {
    const NtpSeconds t1 = Now();
    const auto reply = peer.Exchange(session.NextRequest(Header(), aead));
    const NtpSeconds t4 = Now();
    if (!session.AcceptReply(reply, aead)) {
      state.SkipWithError("not authenticated");
      break;
    }
    const auto bytes = std::span(reply);
    const NtpSeconds t2 = DecodeTimestamp(bytes.subspan<32, 8>());
    const NtpSeconds t3 = DecodeTimestamp(bytes.subspan<40, 8>());
    residuals.push_back(std::fabs(ComputeOffset(1, t1, t2, t3, t4)));
  }
  if (residuals.empty()) return;
  std::nth_element(residuals.begin(), residuals.begin() + residuals.size() / 2, residuals.end());
  state.counters["median_residual_ms"] = residuals[residuals.size() / 2] * 1e3;
}
BENCHMARK(BM_NtsPoll)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
