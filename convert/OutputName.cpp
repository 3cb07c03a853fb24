#include "convert/OutputName.h"

#include <filesystem>
#include <system_error>

#include "platform/Environment.h"

namespace vidorant {

namespace {

bool Taken(const std::string& prefix, const std::string& name, const std::set<std::string>& taken) {
  if (taken.count(name)) return true;
  // A dangling link or a folder of that name would make the save fail or write elsewhere.
  std::error_code error;
  return std::filesystem::exists(std::filesystem::symlink_status(prefix + name, error));
}

}  // namespace

std::string OutputFolderPrefix(const std::string& folder) {
  if (folder.empty() || folder.back() == PathDelimiter) return folder;
  return folder + PathDelimiter;
}

std::string OutputBaseName(const std::string& videoPath) {
  const size_t slash = videoPath.rfind(PathDelimiter);
  std::string name = slash == std::string::npos ? videoPath : videoPath.substr(slash + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return name;
}

std::string OutputFileName(const std::string& folder, const std::string& videoPath, const std::set<std::string>& taken) {
  const std::string prefix = OutputFolderPrefix(folder);
  const std::string base = OutputBaseName(videoPath);
  std::string name = base + ".gif";
  for (int n = 1; Taken(prefix, name, taken); ++n) name = base + "(" + std::to_string(n) + ").gif";
  return name;
}

std::vector<std::string> BatchOutputNames(const std::string& folder, const std::vector<std::string>& videoPaths) {
  std::vector<std::string> names;
  std::set<std::string> taken;
  for (const std::string& path : videoPaths) taken.insert(names.emplace_back(OutputFileName(folder, path, taken)));
  return names;
}

}  // namespace vidorant
