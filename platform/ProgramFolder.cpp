// Finds the executable through the process's own link to it.
#include "platform/ProgramFolder.h"

#include <filesystem>
#include <system_error>

namespace vidorant {

std::string ProgramFolder() {
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error || !exe.has_parent_path()) return "./";
  return exe.parent_path().string() + "/";
}

}  // namespace vidorant
