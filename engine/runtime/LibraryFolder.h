// The folder step of loading a module from a folder of its own: for as long as the scope lives
// the folder is the current directory, so that what the module opens by relative name is found
// beside it; the folder also goes to the front of the library search variable, once, and stays
// there for the life of the process, so that the modules loaded from it find each other.
// Invariant: the previous current directory is restored on every way out.
#pragma once

#include <string>

namespace vidorant {

class TLibraryFolderScope {
public:
  // An empty folder does nothing.
  explicit TLibraryFolderScope(const std::string& folder);
  ~TLibraryFolderScope();
  TLibraryFolderScope(const TLibraryFolderScope&) = delete;
  TLibraryFolderScope& operator=(const TLibraryFolderScope&) = delete;

private:
  std::string FSaved;  // empty: nothing to restore
};

// True when the search list (entries separated by the platform's separator) holds the folder as
// one of its entries; a trailing delimiter does not count.
bool SearchListHolds(const std::string& list, const std::string& folder);

}  // namespace vidorant
