#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace quorvane::nts {

using Cookie = std::vector<uint8_t>;

// The cookies a server gave, oldest first. Each is used once; when none is left, key
// establishment runs again.
class CookieStore {
 public:
  static constexpr size_t kMaxCookies = 8;

  // Keeps the newest kMaxCookies.
  void Add(Cookie cookie);
  // The oldest cookie, removed; none when empty.
  std::optional<Cookie> Take();
  size_t Size() const { return cookies_.size(); }
  bool Empty() const { return cookies_.empty(); }
  void Clear() { cookies_.clear(); }

 private:
  std::deque<Cookie> cookies_;
};

}  // namespace quorvane::nts
