// Registry of ProtocolRegistry.h: a list guarded by a mutex, since tasks on worker threads look
// protocols up while the main thread may still register.
#include "engine/runtime/ProtocolRegistry.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace vidorant {

namespace {

std::mutex RegistryLock;

std::vector<const TProtocol*>& Registry() {
  static std::vector<const TProtocol*> protocols;
  return protocols;
}

}  // namespace

void RegisterProtocol(const TProtocol* protocol) {
  std::lock_guard<std::mutex> lock(RegistryLock);
  Registry().push_back(protocol);
}

const TProtocol* NextProtocol(const TProtocol* previous) {
  std::lock_guard<std::mutex> lock(RegistryLock);
  auto& protocols = Registry();
  if (!previous) return protocols.empty() ? nullptr : protocols.front();
  auto it = std::find(protocols.begin(), protocols.end(), previous);
  if (it == protocols.end() || ++it == protocols.end()) return nullptr;
  return *it;
}

const TProtocol* FindProtocolForName(const std::string& name) {
  const size_t colon = name.find(':');
  if (colon == std::string::npos) return nullptr;
  const std::string scheme = name.substr(0, colon);
  for (const TProtocol* p = NextProtocol(nullptr); p; p = NextProtocol(p))
    if (scheme == p->Name) return p;
  return nullptr;
}

}  // namespace vidorant
