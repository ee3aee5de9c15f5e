#include "platform/linux/host_lookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstring>
#include <system_error>
#include <thread>
#include <utility>

namespace quorvane {

namespace {

std::vector<SocketAddress> AddressesOf(const char* host, int family, int flags) {
  addrinfo hints{};
  hints.ai_family = family;
  hints.ai_socktype = SOCK_DGRAM;
  hints.ai_flags = flags;
  addrinfo* found = nullptr;
  std::vector<SocketAddress> addresses;
  if (getaddrinfo(host, nullptr, &hints, &found) != 0) return addresses;
  for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
    if (a->ai_family != AF_INET && a->ai_family != AF_INET6) continue;
    if (a->ai_addrlen > sizeof(sockaddr_storage)) continue;
    SocketAddress address;
    std::memcpy(&address.storage, a->ai_addr, a->ai_addrlen);
    address.length = a->ai_addrlen;
    addresses.push_back(address);
  }
  freeaddrinfo(found);
  return addresses;
}

}  // namespace

void SocketAddress::SetPort(uint16_t port) {
  if (Family() == AF_INET) reinterpret_cast<sockaddr_in*>(&storage)->sin_port = htons(port);
  if (Family() == AF_INET6) reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port = htons(port);
}

std::vector<SocketAddress> ResolveWithGetaddrinfo(const std::string& host) {
  return AddressesOf(host.c_str(), AF_UNSPEC, 0);
}

std::optional<SocketAddress> ParseAddressText(const std::string& host, uint16_t port) {
  SocketAddress address;
  auto* v4 = reinterpret_cast<sockaddr_in*>(&address.storage);
  // Strict dotted form only: "127.1" and other shorthands are names to the resolver.
  if (inet_pton(AF_INET, host.c_str(), &v4->sin_addr) == 1) {
    v4->sin_family = AF_INET;
    address.length = sizeof(sockaddr_in);
    address.SetPort(port);
    return address;
  }
  std::string text = host;
  if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
    text = text.substr(1, text.size() - 2);
  }
  // Numeric only, so this never asks a name server; it understands zones (fe80::1%eth0).
  std::vector<SocketAddress> numeric = AddressesOf(text.c_str(), AF_INET6, AI_NUMERICHOST);
  if (text.find(':') == std::string::npos || numeric.empty()) return std::nullopt;
  numeric.front().SetPort(port);
  return numeric.front();
}

PendingLookup::PendingLookup(FdWatcher& watcher, HostResolver resolver, std::string host, Done done)
    : shared_(std::make_shared<Shared>()) {
  shared_->watcher = &watcher;
  shared_->done = std::move(done);
  try {
    std::thread([shared = shared_, resolver = std::move(resolver), host = std::move(host)] {
      Deliver(shared, resolver ? resolver(host) : std::vector<SocketAddress>{});
    }).detach();
  } catch (const std::system_error&) {
    // No thread to be had: the lookup fails as one without an answer would.
    Deliver(shared_, {});
  }
}

PendingLookup::~PendingLookup() {
  std::lock_guard lock(shared_->mutex);
  shared_->cancelled = true;
  shared_->watcher = nullptr;
}

void PendingLookup::Deliver(const std::shared_ptr<Shared>& shared,
                            std::vector<SocketAddress> found) {
  // Posted under the lock, so that once the owner has cancelled no thread reaches its watcher.
  std::lock_guard lock(shared->mutex);
  if (shared->cancelled) return;
  shared->watcher->Post([shared, found = std::move(found)]() mutable {
    Done done;
    {
      std::lock_guard answered(shared->mutex);
      if (shared->cancelled) return;
      done = std::move(shared->done);
      shared->cancelled = true;  // delivered once
    }
    // Outside the lock: `done` may destroy the owner, which takes the lock.
    if (done) done(std::move(found));
  });
}

size_t AddressRotation::Pick(const std::string& host, size_t count) const {
  const auto it = skips_.find(host);
  return it == skips_.end() || count == 0 ? 0 : it->second % count;
}

}  // namespace quorvane
