// A folder of one test's own, made with a unique name under $VIDORANT_TEST_TMP (set by ctest) or
// the system's temporary folder, and removed with everything in it when the object goes.
// Invariant: no two objects, in one process or in two builds running their tests at once, ever
// share a folder, so no test can see or remove another's files. (The fixtures' folder helper lives
// in a library that links FFmpeg, which the platform tests do not.)
#pragma once

#include <cstdlib>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

namespace vidorant {

class TScratchFolder {
public:
  TScratchFolder() {
    namespace fs = std::filesystem;
    const char* root = std::getenv("VIDORANT_TEST_TMP");
    const fs::path base = root && *root ? fs::path(root) : fs::temp_directory_path();
    fs::create_directories(base);
    std::string pattern = (base / "platform-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a folder in " + base.string());
    FPath = pattern;
  }
  ~TScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(FPath, ignored);
  }
  TScratchFolder(const TScratchFolder&) = delete;
  TScratchFolder& operator=(const TScratchFolder&) = delete;

  const std::filesystem::path& Path() const { return FPath; }
  std::string File(const std::string& name) const { return (FPath / name).string(); }

private:
  std::filesystem::path FPath;
};

}  // namespace vidorant
