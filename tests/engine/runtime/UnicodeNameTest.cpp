#include "engine/runtime/UnicodeProtocol.h"

#include <gtest/gtest.h>

#include <string>

#include "TestLocale.h"

namespace vidorant {
namespace {

const std::string NonAscii = "/tmp/vid\xC3\xA9o-\xE6\x97\xA5\xE6\x9C\xAC.avi";  // "vidéo-日本"

TEST(UnicodeNames, UnderTheCLocaleNonAsciiNamesTakeTheUnicodeRoad) {
  TScopedLocale locale("C");
  ASSERT_TRUE(locale.Active);
  EXPECT_TRUE(NeedsUnicodeName(NonAscii));
  const std::string lib = FileNameToLib(NonAscii);
  EXPECT_EQ(lib, "unicode:utf8:" + NonAscii);
  EXPECT_TRUE(IsUnicodeName(lib));
  EXPECT_EQ(LibToFileName(lib), NonAscii);
}

TEST(UnicodeNames, NamesTheNarrowSetCarriesPassUnchanged) {
  for (const char* localeName : {"C", "C.UTF-8"}) {
    TScopedLocale locale(localeName);
    ASSERT_TRUE(locale.Active) << localeName;
    // A drive path: "C" is not a pass-through scheme, but the round trip succeeds.
    for (const std::string name : {"C:\\Videos\\clip.avi", "/home/u/clip one.mp4", "a:b:c", ""}) {
      EXPECT_FALSE(NeedsUnicodeName(name)) << localeName << " " << name;
      EXPECT_EQ(FileNameToLib(name), name);
      EXPECT_EQ(LibToFileName(name), name);
    }
  }
}

TEST(UnicodeNames, UnderAUtf8LocaleEveryNameRoundTrips) {
  TScopedLocale locale("C.UTF-8");
  ASSERT_TRUE(locale.Active);
  EXPECT_FALSE(NeedsUnicodeName(NonAscii));
  EXPECT_EQ(FileNameToLib(NonAscii), NonAscii);
  EXPECT_EQ(LibToFileName(NonAscii), NonAscii);
}

TEST(UnicodeNames, PassThroughSchemesAreNeverConverted) {
  TScopedLocale locale("C");
  ASSERT_TRUE(locale.Active);
  for (const char* scheme : {"unicode", "stream", "gopher", "http", "pipe", "rtp", "tcp", "udp"}) {
    const std::string name = std::string(scheme) + ":" + "//host/\xC3\xA9t\xC3\xA9";
    EXPECT_FALSE(NeedsUnicodeName(name)) << name;
    EXPECT_EQ(FileNameToLib(name), name);
  }
  // The scheme comparison is exact: another case or a part of a scheme is no scheme.
  for (const char* name : {"HTTP://h/\xC3\xA9", "htt://h/\xC3\xA9", "ttp://h/\xC3\xA9",
                           "file:/\xC3\xA9", ":/\xC3\xA9"})
    EXPECT_TRUE(NeedsUnicodeName(name)) << name;
}

TEST(UnicodeNames, PrefixAloneIsNoUnicodeName) {
  const struct {
    const char* Name;
    bool Unicode;
  } cases[] = {
      {"unicode:utf8:", false},   // 13 bytes: the prefix alone
      {"unicode:utf8:a", true},   // 14 bytes
      {"unicode:utf16:a", false},
      {"Unicode:utf8:a", false},
      {"xunicode:utf8:a", false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsUnicodeName(c.Name), c.Unicode) << c.Name;
}

TEST(UnicodeNames, LibNameOfAPassThroughUnicodeNameLosesItsPrefixOnTheWayBack) {
  TScopedLocale locale("C");
  ASSERT_TRUE(locale.Active);
  // A caller that hands in a name already in library form gets it back as the library sees it,
  // and the way back gives the bare name; a colon inside the name survives.
  const std::string lib = "unicode:utf8:/a:b/\xC3\xA9.avi";
  EXPECT_EQ(FileNameToLib(lib), lib);
  EXPECT_EQ(LibToFileName(lib), "/a:b/\xC3\xA9.avi");
}

TEST(UnicodeNames, LongNamesAreRefusedOnceTheLibraryFormReaches2048Bytes) {
  TScopedLocale locale("C");
  ASSERT_TRUE(locale.Active);
  const std::string ascii2047 = "/" + std::string(2046, 'a');
  EXPECT_EQ(FileNameToLib(ascii2047).size(), 2047u);
  EXPECT_THROW(FileNameToLib(ascii2047 + "a"), EFileNameTooLong);
  // The limit counts the prefix of the unicode road: 13 + 2034 = 2047 bytes fits, one more not.
  const std::string wide2034 = "/\xC3\xA9" + std::string(2031, 'b');
  ASSERT_EQ(wide2034.size(), 2034u);
  EXPECT_EQ(FileNameToLib(wide2034).size(), 2047u);
  try {
    FileNameToLib(wide2034 + "b");
    FAIL() << "a 2048-byte library name was accepted";
  } catch (const EFileNameTooLong& e) {
    EXPECT_NE(e.Message.find("File name too long"), std::string::npos) << e.Message;
  }
}

TEST(UnicodeNames, BytesTheNarrowSetDoesNotKnowComeBackUnchanged) {
  TScopedLocale locale("C");
  ASSERT_TRUE(locale.Active);
  // A library name in no valid encoding (Linux allows any bytes) is not lost on the way back.
  const std::string raw = "/tmp/\xFF\xFE.avi";
  EXPECT_EQ(LibToFileName(raw), raw);
}

}  // namespace
}  // namespace vidorant
