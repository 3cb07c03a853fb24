#include <string>

#include <gtest/gtest.h>

#include "platform/DynamicLibrary.h"
#include "platform/Environment.h"

namespace vidorant {
namespace {

TEST(DynamicLibrary, LoadsByBareNameAndResolvesSymbols) {
  TLibHandle libc = LoadDynamicLibrary("libc.so.6");
  ASSERT_NE(libc, nullptr) << LastDynamicLibraryError();
  auto length = reinterpret_cast<size_t (*)(const char*)>(FindLibrarySymbol(libc, "strlen"));
  ASSERT_NE(length, nullptr);
  EXPECT_EQ(length("four"), 4u);
  EXPECT_TRUE(FreeDynamicLibrary(libc));
}

TEST(DynamicLibrary, FailuresCarryTheSystemText) {
  EXPECT_EQ(LoadDynamicLibrary("/nonexistent/folder/libnothing.so.1"), nullptr);
  EXPECT_NE(LastDynamicLibraryError().find("/nonexistent/folder/libnothing.so.1"), std::string::npos)
      << LastDynamicLibraryError();

  TLibHandle libc = LoadDynamicLibrary("libc.so.6");
  ASSERT_NE(libc, nullptr);
  EXPECT_EQ(FindLibrarySymbol(libc, "no_such_function_anywhere"), nullptr);
  const std::string text = LastDynamicLibraryError();
  EXPECT_NE(text.find("no_such_function_anywhere"), std::string::npos) << text;
  EXPECT_NE(text.find("undefined symbol"), std::string::npos) << text;
  FreeDynamicLibrary(libc);

  EXPECT_EQ(FindLibrarySymbol(nullptr, "strlen"), nullptr);
  EXPECT_FALSE(LastDynamicLibraryError().empty());
}

TEST(Environment, VariablesDirectoryAndFileTests) {
  SetEnvironmentVariable("VIDORANT_TEST_VARIABLE", "a:b");
  EXPECT_EQ(GetEnvironmentVariable("VIDORANT_TEST_VARIABLE"), "a:b");
  EXPECT_EQ(GetEnvironmentVariable("VIDORANT_TEST_UNSET_VARIABLE"), "");

  const std::string before = GetCurrentDir();
  ASSERT_FALSE(before.empty());
  ASSERT_TRUE(SetCurrentDir("/"));
  EXPECT_EQ(GetCurrentDir(), "/");
  EXPECT_FALSE(SetCurrentDir("/nonexistent/folder"));
  ASSERT_TRUE(SetCurrentDir(before));

  EXPECT_TRUE(FileExists("/etc/passwd"));
  EXPECT_FALSE(FileExists("/etc"));
  EXPECT_FALSE(FileExists("/etc/no-such-file"));
}

}  // namespace
}  // namespace vidorant
