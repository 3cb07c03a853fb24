// A fresh, empty folder per test under the build's test-tmp folder (VIDORANT_TEST_TMP) or the
// system's temporary folder, removed afterwards. The name is the test's, made unique, so that two
// builds running the same test at once never share or remove each other's folder.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

namespace vidorant {

class TTempFolder {
public:
  TTempFolder() {
    const char* root = std::getenv("VIDORANT_TEST_TMP");
    std::filesystem::path base = root ? root : std::filesystem::temp_directory_path().string();
    std::filesystem::create_directories(base);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string leaf = std::string("runtime-") + info->test_suite_name() + "-" + info->name() + "-XXXXXX";
    std::replace(leaf.begin(), leaf.end(), '/', '_');  // parameterised tests' names hold slashes
    std::string pattern = (base / leaf).string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a folder in " + base.string());
    Path = pattern;
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
