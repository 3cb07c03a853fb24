// Binding of a module's names to a loaded library, and the error of an unbound call.
#include "engine/runtime/FFEntryPoint.h"

#include "platform/Exception.h"
#include "platform/Format.h"

namespace vidorant {

void RaiseUnboundEntryPoint(const char* name) {
  AssertionFailed(Format("Entry point %s called before its library was loaded", name), "FFLoad");
}

void BindModule(const TBindingModule& module, const std::string& fileName, TLibHandle library) {
  for (std::size_t i = 0; i < module.Count; i++) {
    const TEntryPoint& entry = module.Entries[i];
    void* address = FindLibrarySymbol(library, entry.Name);
    if (!address && entry.Kind != TEntryKind::ekOptional) {
      const char* format = entry.Kind == TEntryKind::ekVariable ? "Load variable %s@%s error: %s"
                                                                : "Load function %s@%s error: %s";
      throw Exception(Format(format, entry.Name, fileName.c_str(), LastDynamicLibraryError().c_str()));
    }
    entry.Store(address);
  }
}

void UnbindModule(const TBindingModule& module) {
  for (std::size_t i = 0; i < module.Count; i++) module.Entries[i].Reset();
}

long long ModuleVersion(const TBindingModule& module) {
  for (std::size_t i = 0; i < module.Count; i++)
    if (module.Entries[i].QueryVersion) return module.Entries[i].QueryVersion();
  return -1;
}

}  // namespace vidorant
