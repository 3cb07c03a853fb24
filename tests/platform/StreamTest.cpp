#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ScratchFolder.h"
#include "platform/FileStream.h"
#include "platform/MemoryStream.h"

namespace vidorant {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<uint8_t> out;
  for (int v : values) out.push_back(static_cast<uint8_t>(v));
  return out;
}

TEST(MemoryStream, WritePastTheEndFillsTheGapWithZeros) {
  TMemoryStream s;
  s.WriteBuffer("ab", 2);
  s.SetPosition(5);
  s.WriteByte(0x7F);
  EXPECT_EQ(s.GetSize(), 6);
  EXPECT_EQ(s.Bytes(), Bytes({'a', 'b', 0, 0, 0, 0x7F}));
  s.Seek(-2, soEnd);
  EXPECT_EQ(s.GetPosition(), 4);
  s.WriteBuffer("xyz", 3);  // overwrites one byte and extends by two
  EXPECT_EQ(s.Bytes(), Bytes({'a', 'b', 0, 0, 'x', 'y', 'z'}));
}

TEST(MemoryStream, ShortReadReturnsWhatIsThereAndReadBufferRaises) {
  TMemoryStream s;
  s.WriteBuffer("hello", 5);
  s.SetPosition(3);
  char buffer[8] = {};
  EXPECT_EQ(s.Read(buffer, 8), 2);
  EXPECT_EQ(std::string(buffer, 2), "lo");
  EXPECT_EQ(s.Read(buffer, 8), 0);
  s.SetPosition(10);  // beyond the end: reads nothing, no error
  EXPECT_EQ(s.Read(buffer, 1), 0);
  s.SetPosition(3);
  EXPECT_THROW(s.ReadBuffer(buffer, 3), EReadError);
  s.SetPosition(0);
  EXPECT_EQ(s.ReadByte(), 'h');
}

TEST(MemoryStream, NegativePositionIsRefusedAndLeavesThePositionAlone) {
  TMemoryStream s;
  s.WriteBuffer("abc", 3);
  EXPECT_THROW(s.Seek(-4, soEnd), EStreamError);
  EXPECT_THROW(s.Seek(-1, soBeginning), EStreamError);
  EXPECT_EQ(s.GetPosition(), 3);
}

TEST(MemoryStream, SetSizeTruncatesAndClampsThePosition) {
  TMemoryStream s;
  s.WriteBuffer("abcdef", 6);
  s.SetSize(2);
  EXPECT_EQ(s.GetPosition(), 2);
  EXPECT_EQ(s.Bytes(), Bytes({'a', 'b'}));
  s.SetSize(4);
  EXPECT_EQ(s.Bytes(), Bytes({'a', 'b', 0, 0}));
  s.Clear();
  EXPECT_EQ(s.GetSize(), 0);
  EXPECT_EQ(s.GetPosition(), 0);
}

TEST(MemoryStream, CopyFromZeroCopiesTheWholeSourceFromItsStart) {
  TMemoryStream source, target;
  source.WriteBuffer("0123456789", 10);  // position at the end on purpose
  EXPECT_EQ(target.CopyFrom(source, 0), 10);
  EXPECT_EQ(target.Bytes(), source.Bytes());
  source.SetPosition(8);
  EXPECT_THROW(target.CopyFrom(source, 5), EReadError);
}

TEST(FileStream, CreateReplacesAndReadsBackThroughAUtf8Name) {
  TScratchFolder folder;
  std::string name = folder.File("Ünïcødé frame \xe2\x9c\x93.gif");
  {
    TFileStream f(name, fmCreate);
    f.WriteBuffer("old content", 11);
  }
  {
    TFileStream f(name, fmCreate);  // must truncate, not overwrite in place
    f.WriteBuffer("new", 3);
  }
  TFileStream f(name, fmOpenRead);
  EXPECT_EQ(f.GetSize(), 3);
  char buffer[3];
  f.ReadBuffer(buffer, 3);
  EXPECT_EQ(std::string(buffer, 3), "new");
  EXPECT_THROW(f.ReadBuffer(buffer, 1), EReadError);
  EXPECT_EQ(f.FileName(), name);
}

TEST(FileStream, OpenFailuresNameTheFileAndTheReason) {
  TScratchFolder folder;
  std::string missing = folder.File("missing.gif");
  try {
    TFileStream f(missing, fmOpenRead);
    FAIL() << "opened a missing file";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message, "Cannot open file \"" + missing + "\". No such file or directory");
  }
  std::string inMissingFolder = folder.File("no-folder/out.gif");
  try {
    TFileStream f(inMissingFolder, fmCreate);
    FAIL() << "created a file in a missing folder";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message, "Cannot create file \"" + inMissingFolder + "\". No such file or directory");
  }
  std::string folderName = folder.File("");
  EXPECT_THROW(TFileStream(folderName, fmOpenRead), EFOpenError);
}

TEST(FileStream, DiskFullIsAWriteErrorNotASilentShortWrite) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
  TFileStream f("/dev/full", fmOpenWrite);
  try {
    f.WriteBuffer("x", 1);
    FAIL() << "a write to a full device succeeded";
  } catch (const EWriteError& e) {
    EXPECT_EQ(e.Message, "Stream write error: No space left on device");
  }
}

TEST(FileStream, SeekSetSizeAndMemoryStreamFileRoundTrip) {
  TScratchFolder folder;
  std::string name = folder.File("data.bin");
  TMemoryStream m;
  for (int i = 0; i < 100000; ++i) m.WriteByte(static_cast<uint8_t>(i * 7));
  m.SaveToFile(name);
  {
    TFileStream f(name, fmOpenReadWrite);
    EXPECT_EQ(f.GetSize(), 100000);
    f.Seek(-10, soEnd);
    EXPECT_EQ(f.GetPosition(), 99990);
    f.SetSize(50);
    EXPECT_EQ(f.GetPosition(), 50);
    EXPECT_EQ(f.GetSize(), 50);
  }
  TMemoryStream back;
  back.LoadFromFile(name);
  ASSERT_EQ(back.GetSize(), 50);
  EXPECT_TRUE(std::equal(back.Bytes().begin(), back.Bytes().end(), m.Bytes().begin()));
  EXPECT_EQ(back.GetPosition(), 0);
}

}  // namespace
}  // namespace vidorant
