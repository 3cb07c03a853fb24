// Registry of ProtocolRegistry.h.
#include "engine/runtime/ProtocolRegistry.h"

#include <cstring>

#include "engine/runtime/RecordRegistry.h"

namespace vidorant {

namespace {

TRecordRegistry<const TProtocol>& Registry() {
  static TRecordRegistry<const TProtocol> protocols;
  return protocols;
}

}  // namespace

const TProtocol* RegisterProtocol(const TProtocol* protocol) {
  return Registry().AddUnless(protocol, [protocol](const TProtocol* registered) {
    return std::strcmp(registered->Name, protocol->Name) == 0;
  });
}

const TProtocol* NextProtocol(const TProtocol* previous) { return Registry().Next(previous); }

const TProtocol* FindProtocolForName(const std::string& name) {
  const size_t colon = name.find(':');
  if (colon == std::string::npos) return nullptr;
  const std::string scheme = name.substr(0, colon);
  return Registry().FindIf([&](const TProtocol* p) { return scheme == p->Name; });
}

}  // namespace vidorant
