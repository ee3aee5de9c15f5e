#include "nts/nts_client.h"

#include <thread>

namespace quorvane::nts {

NtsClient::NtsClient(std::shared_ptr<NtsKeConnector> connector, NtsAead& aead, FdWatcher& uiThread,
                     std::function<std::string()> trustFile)
    : connector_(std::move(connector)),
      aead_(aead),
      delivery_(std::make_shared<Delivery>()),
      trustFile_(std::move(trustFile)) {
  delivery_->uiThread = &uiThread;
}

NtsClient::~NtsClient() {
  std::lock_guard guard(delivery_->lock);
  delivery_->uiThread = nullptr;
}

void NtsClient::EstablishAsync(const std::string& host, std::weak_ptr<void> requester,
                               KeDone done) {
  // The worker owns everything it touches: it may outlive this client and the socket.
  std::thread([connector = connector_, delivery = delivery_, host, port = kePort_,
               trust = trustFile_(), requester = std::move(requester),
               done = std::move(done)]() mutable {
    KeResult result = EstablishKeys(*connector, host, port, trust);
    std::lock_guard guard(delivery->lock);
    if (delivery->uiThread == nullptr) return;
    delivery->uiThread->Post([requester, done = std::move(done), result = std::move(result)] {
      if (!requester.expired()) done(result);
    });
  }).detach();
}

}  // namespace quorvane::nts
