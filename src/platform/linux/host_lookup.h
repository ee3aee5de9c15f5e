#pragma once

#include <sys/socket.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ports/fd_watcher.h"

namespace quorvane {

// One IPv4 or IPv6 address with its port, as connect(2) takes it.
struct SocketAddress {
  sockaddr_storage storage{};
  socklen_t length = 0;

  int Family() const { return storage.ss_family; }
  const sockaddr* Raw() const { return reinterpret_cast<const sockaddr*>(&storage); }
  void SetPort(uint16_t port);
};

// Blocking lookup of a host name: its datagram addresses in the resolver's order of
// preference, none when it has none. Runs on a worker thread, never the window's.
using HostResolver = std::function<std::vector<SocketAddress>(const std::string& host)>;

// getaddrinfo for IPv4 and IPv6 datagram addresses, in the order it sorts them.
std::vector<SocketAddress> ResolveWithGetaddrinfo(const std::string& host);

// The address a server text names without a lookup: dotted IPv4, or IPv6 with or without
// brackets (a zone such as %eth0 included). None for anything else, which is a name.
std::optional<SocketAddress> ParseAddressText(const std::string& host, uint16_t port);

// One lookup on a thread of its own, whose answer `done` receives on the window's thread
// through the watcher's Post. Destroying the object before then drops the answer: a lookup
// cannot be interrupted, so the thread finishes in the background but touches nothing of
// the caller's any more.
class PendingLookup {
 public:
  using Done = std::function<void(std::vector<SocketAddress>)>;
  PendingLookup(FdWatcher& watcher, HostResolver resolver, std::string host, Done done);
  ~PendingLookup();
  PendingLookup(const PendingLookup&) = delete;
  PendingLookup& operator=(const PendingLookup&) = delete;

 private:
  struct Shared {
    std::mutex mutex;
    bool cancelled = false;
    FdWatcher* watcher = nullptr;
    Done done;
  };
  static void Deliver(const std::shared_ptr<Shared>& shared, std::vector<SocketAddress> found);

  std::shared_ptr<Shared> shared_;
};

// Which of a name's addresses the next attempt takes: the first, until an attempt to it goes
// unanswered; then the next one in the resolver's order, and so on round. An address that
// answers is kept. Window's thread only.
class AddressRotation {
 public:
  size_t Pick(const std::string& host, size_t count) const;
  void Unanswered(const std::string& host) { ++skips_[host]; }

 private:
  std::map<std::string, size_t> skips_;
};

}  // namespace quorvane
