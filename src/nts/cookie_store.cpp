#include "nts/cookie_store.h"

#include <utility>

namespace quorvane::nts {

void CookieStore::Add(Cookie cookie) {
  if (cookie.empty()) return;
  cookies_.push_back(std::move(cookie));
  while (cookies_.size() > kMaxCookies) cookies_.pop_front();
}

std::optional<Cookie> CookieStore::Take() {
  if (cookies_.empty()) return std::nullopt;
  Cookie oldest = std::move(cookies_.front());
  cookies_.pop_front();
  return oldest;
}

}  // namespace quorvane::nts
