#include "platform/Exception.h"
#include "platform/Format.h"

#include <gtest/gtest.h>

namespace vidorant {
namespace {

TEST(Format, KeepsLongTextsWhole) {
  std::string big(10000, 'x');
  EXPECT_EQ(Format("<%s>", big.c_str()), "<" + big + ">");
  EXPECT_EQ(Format("%d|%s|%.1f", -7, "ab", 2.25), "-7|ab|2.2");
}

TEST(Assertion, NamesTheUnit) {
  try {
    Assert(false, "Library set is empty", "FFLoad");
    FAIL() << "no exception";
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Message, "Library set is empty (FFLoad)");
    EXPECT_STREQ(e.what(), "Library set is empty (FFLoad)");
  }
}

}  // namespace
}  // namespace vidorant
