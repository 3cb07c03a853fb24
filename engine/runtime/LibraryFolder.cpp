// The folder step shared by the loaders of library and hook modules.
#include "engine/runtime/LibraryFolder.h"

#include "platform/Environment.h"

namespace vidorant {

namespace {

std::string WithoutTrailingDelimiter(std::string folder) {
  while (folder.size() > 1 && folder.back() == PathDelimiter) folder.pop_back();
  return folder;
}

}  // namespace

bool SearchListHolds(const std::string& list, const std::string& folder) {
  // Whole entries are compared: a folder that is only the start of another entry is not in it.
  const std::string wanted = WithoutTrailingDelimiter(folder);
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(LibrarySearchSeparator, start);
    if (end == std::string::npos) end = list.size();
    if (WithoutTrailingDelimiter(list.substr(start, end - start)) == wanted) return true;
    start = end + 1;
  }
  return false;
}

TLibraryFolderScope::TLibraryFolderScope(const std::string& folder) {
  if (folder.empty()) return;
  const std::string saved = GetCurrentDir();
  if (SetCurrentDir(folder)) FSaved = saved;
  const std::string entry = WithoutTrailingDelimiter(folder);
  const std::string searchList = GetEnvironmentVariable(LibrarySearchVariable);
  if (!SearchListHolds(searchList, entry))
    SetEnvironmentVariable(LibrarySearchVariable,
                           searchList.empty() ? entry : entry + LibrarySearchSeparator + searchList);
}

TLibraryFolderScope::~TLibraryFolderScope() {
  if (!FSaved.empty()) SetCurrentDir(FSaved);
}

}  // namespace vidorant
