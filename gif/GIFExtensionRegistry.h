// The process-wide registries the reader uses to choose a class for an extension block: label
// -> extension class, and 11-byte application identifier -> application extension class.
// Each is created on first use with the built-in classes and lives for the process; lookups
// prefer the latest registration, so a registration can override a built-in class.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "gif/GIFAppExtension.h"
#include "platform/Stream.h"

namespace vidorant {

using TGIFExtensionFactory = std::unique_ptr<TGIFExtension> (*)(TGIFSubImage* subImage);
// Refines the choice of a registered class from the block's own bytes: block stands at the
// block's introducer (the reader restores its position afterwards). Returns the extension that
// is to read the block, or null to keep the registered class.
using TGIFExtensionRefine = std::unique_ptr<TGIFExtension> (*)(TGIFSubImage* subImage, TStream& block);

// What a registration for a label holds: the class's factory and, if it refines, how.
struct TGIFExtensionClass {
  TGIFExtensionFactory Create = nullptr;
  TGIFExtensionRefine Refine = nullptr;
};

class TExtensionList {
public:
  static TExtensionList& Instance();
  void Register(uint8_t label, TGIFExtensionFactory factory, TGIFExtensionRefine refine = nullptr);
  // The latest registration for label; Create is null when there is none.
  TGIFExtensionClass Find(uint8_t label) const;

private:
  TExtensionList();
  mutable std::mutex FLock;
  std::vector<std::pair<uint8_t, TGIFExtensionClass>> FEntries;
};

class TAppExtensionList {
public:
  static TAppExtensionList& Instance();
  void Register(const TGIFAppIdentifier& identifier, TGIFAppExtensionFactory factory);
  // The factory of the latest registration for identifier (all 11 bytes), or null.
  TGIFAppExtensionFactory Find(const TGIFAppIdentifier& identifier) const;

private:
  TAppExtensionList();
  mutable std::mutex FLock;
  std::vector<std::pair<TGIFAppIdentifier, TGIFAppExtensionFactory>> FEntries;
};

}  // namespace vidorant
