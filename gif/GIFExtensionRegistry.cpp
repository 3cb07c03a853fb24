// The two registries and their built-in entries.
#include "gif/GIFExtensionRegistry.h"

namespace vidorant {

namespace {

template <class T>
std::unique_ptr<TGIFExtension> MakeExtension(TGIFSubImage* subImage) {
  return std::make_unique<T>(subImage);
}

std::unique_ptr<TGIFExtension> MakeApplicationExtension(TGIFSubImage* subImage) {
  // Refined by identifier (TGIFApplicationExtension::Refine); on its own an application block
  // is unknown.
  return std::make_unique<TGIFUnknownAppExtension>(subImage);
}

std::unique_ptr<TGIFApplicationExtension> MakeLoopExtension(TGIFSubImage* subImage) {
  return std::make_unique<TGIFAppExtNSLoop>(subImage);
}

template <class Key, class Value>
Value FindLatest(const std::vector<std::pair<Key, Value>>& entries, const Key& key) {
  for (auto it = entries.rbegin(); it != entries.rend(); ++it)
    if (it->first == key) return it->second;
  return Value{};
}

}  // namespace

TExtensionList::TExtensionList()
    : FEntries{{LabelGraphicControl, {&MakeExtension<TGIFGraphicControlExtension>}},
               {LabelPlainText, {&MakeExtension<TGIFTextExtension>}},
               {LabelComment, {&MakeExtension<TGIFCommentExtension>}},
               {LabelApplication, {&MakeApplicationExtension, &TGIFApplicationExtension::Refine}}} {}

TExtensionList& TExtensionList::Instance() {
  static TExtensionList instance;
  return instance;
}

void TExtensionList::Register(uint8_t label, TGIFExtensionFactory factory, TGIFExtensionRefine refine) {
  std::lock_guard<std::mutex> guard(FLock);
  FEntries.emplace_back(label, TGIFExtensionClass{factory, refine});
}

TGIFExtensionClass TExtensionList::Find(uint8_t label) const {
  std::lock_guard<std::mutex> guard(FLock);
  return FindLatest(FEntries, label);
}

TAppExtensionList::TAppExtensionList()
    : FEntries{{MakeAppIdentifier("NETSCAPE2.0"), &MakeLoopExtension},
               {MakeAppIdentifier("ANIMEXTS1.0"), &MakeLoopExtension}} {}

TAppExtensionList& TAppExtensionList::Instance() {
  static TAppExtensionList instance;
  return instance;
}

void TAppExtensionList::Register(const TGIFAppIdentifier& identifier, TGIFAppExtensionFactory factory) {
  std::lock_guard<std::mutex> guard(FLock);
  FEntries.emplace_back(identifier, factory);
}

TGIFAppExtensionFactory TAppExtensionList::Find(const TGIFAppIdentifier& identifier) const {
  std::lock_guard<std::mutex> guard(FLock);
  return FindLatest(FEntries, identifier);
}

}  // namespace vidorant
