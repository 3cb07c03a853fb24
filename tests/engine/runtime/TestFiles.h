// A fresh, empty folder per test under the build's test-tmp folder (VIDORANT_TEST_TMP), removed
// afterwards.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

namespace vidorant {

class TTempFolder {
public:
  TTempFolder() {
    const char* root = std::getenv("VIDORANT_TEST_TMP");
    std::filesystem::path base = root ? root : std::filesystem::temp_directory_path().string();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    Path = base / (std::string("runtime-") + info->test_suite_name() + "-" + info->name());
    std::filesystem::remove_all(Path);
    std::filesystem::create_directories(Path);
  }
  ~TTempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(Path, ec);
  }
  std::string File(const std::string& name) const { return (Path / name).string(); }

  static void Write(const std::string& fileName, const std::string& content) {
    std::ofstream(fileName, std::ios::binary) << content;
  }
  static std::string Read(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  std::filesystem::path Path;
};

}  // namespace vidorant
