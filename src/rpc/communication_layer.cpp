#include "rpc/communication_layer.h"

#include <map>
#include <mutex>

#include "rpc/tcp_layer.h"

namespace selvane {

namespace {

struct Registry {
  std::mutex mutex;
  std::map<std::string, TRpcCommunicationLayerFactory::Creator, std::less<>> creators{
      {"tcp/ip", [] { return std::make_unique<TRpcTcpLayer>(); }}};
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

}  // namespace

std::unique_ptr<TRpcCommunicationLayer> TRpcCommunicationLayerFactory::Create(std::string_view protocol) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  auto it = r.creators.find(protocol);
  if (it == r.creators.end()) return nullptr;
  return it->second();
}

void TRpcCommunicationLayerFactory::Register(std::string_view protocol, Creator creator) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  r.creators[std::string(protocol)] = std::move(creator);
}

}  // namespace selvane
