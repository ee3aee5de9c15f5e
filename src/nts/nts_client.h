#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "nts/key_establishment.h"
#include "nts/nts_session.h"
#include "ports/fd_watcher.h"
#include "ports/nts_aead.h"
#include "ports/nts_key_establishment.h"

namespace quorvane::nts {

// What authenticated polls share: a session per server, kept across attempts, and key
// establishment run on a worker thread so that the window never waits for TLS. Its answer is
// delivered on the user-interface thread through the watcher's Post. User-interface thread
// only, apart from the worker it starts.
class NtsClient {
 public:
  using KeDone = std::function<void(const KeResult&)>;

  NtsClient(std::shared_ptr<NtsKeConnector> connector, NtsAead& aead, FdWatcher& uiThread,
            std::function<std::string()> trustFile);
  // Workers still running deliver nothing once the client is gone.
  ~NtsClient();
  NtsClient(const NtsClient&) = delete;
  NtsClient& operator=(const NtsClient&) = delete;

  NtsSession& SessionFor(const std::string& host) { return sessions_[host]; }
  NtsAead& Aead() { return aead_; }
  // Starts key establishment with `host`; `done` runs on the user-interface thread while
  // `requester` is still alive.
  void EstablishAsync(const std::string& host, std::weak_ptr<void> requester, KeDone done);
  // The port key establishment connects to: 4460, another only in tests.
  void SetKePortForTests(uint16_t port) { kePort_ = port; }

 private:
  // Guards the hand-over to the watcher against the client's end.
  struct Delivery {
    std::mutex lock;
    FdWatcher* uiThread;
  };

  std::shared_ptr<NtsKeConnector> connector_;
  NtsAead& aead_;
  std::shared_ptr<Delivery> delivery_;
  std::function<std::string()> trustFile_;
  std::map<std::string, NtsSession> sessions_;
  uint16_t kePort_ = kNtsKePort;
};

}  // namespace quorvane::nts
