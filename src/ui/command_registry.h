#pragma once

#include <functional>
#include <map>
#include <utility>

namespace quorvane {

// What each command id does. The window registers its own commands; every dialog adds
// its own with one line where the program is put together.
class CommandRegistry {
 public:
  using Handler = std::function<void()>;

  // A later registration for the same id replaces the earlier one.
  void Register(int id, Handler handler) { handlers_[id] = std::move(handler); }

  // Carries out the command; an id nobody registered does nothing.
  void Run(int id) const {
    const auto found = handlers_.find(id);
    if (found == handlers_.end() || !found->second) return;
    // A copy: the handler may register another one for its own id while it runs.
    const Handler handler = found->second;
    handler();
  }

 private:
  std::map<int, Handler> handlers_;
};

}  // namespace quorvane
