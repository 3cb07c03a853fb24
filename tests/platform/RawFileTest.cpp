#include "platform/RawFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <string>

#include "ScratchFolder.h"

namespace vidorant {
namespace {

TEST(RawFile, WaitForAPipePartnerEndsWhenTheAbortCheckSaysSo) {
  TScratchFolder folder;
  for (TFileAccess access : {TFileAccess::Read, TFileAccess::Write}) {
    const std::string fifo = folder.File(access == TFileAccess::Read ? "r.fifo" : "w.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::atomic<bool> stop{false};
    auto opened = std::async(std::launch::async, [&] {
      std::unique_ptr<TRawFile> file;
      return TRawFile::Open(fifo, access, [&] { return stop.load(); }, file);
    });
    // Nobody is at the other end: the open must still be waiting.
    ASSERT_EQ(opened.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    stop = true;
    ASSERT_EQ(opened.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(opened.get(), RawFileAborted);
  }
}

TEST(RawFile, PipeReadWaitsForDataAndSeesTheWritersEnd) {
  TScratchFolder folder;
  const std::string fifo = folder.File("data.fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  auto reader = std::async(std::launch::async, [&] {
    std::unique_ptr<TRawFile> file;
    if (TRawFile::Open(fifo, TFileAccess::Read, nullptr, file) != 0) return std::string("open failed");
    std::string got;
    char buf[4];
    for (int64_t n; (n = file->Read(buf, sizeof buf, nullptr)) > 0;) got.append(buf, n);
    return got;
  });
  std::unique_ptr<TRawFile> writer;
  ASSERT_EQ(TRawFile::Open(fifo, TFileAccess::Write, nullptr, writer), 0);
  ASSERT_EQ(writer->Write("hello", 5, nullptr), 5);
  writer.reset();  // end of file for the reader
  ASSERT_EQ(reader.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(reader.get(), "hello");
}

TEST(RawFile, MissingFileReportsNoSuchFileAndWriteCreatesIt) {
  TScratchFolder folder;
  const std::string name = folder.File("created.bin");
  std::unique_ptr<TRawFile> file;
  EXPECT_EQ(TRawFile::Open(name, TFileAccess::Read, nullptr, file), -ENOENT);
  EXPECT_EQ(file, nullptr);
  ASSERT_EQ(TRawFile::Open(name, TFileAccess::Write, nullptr, file), 0);
  EXPECT_EQ(file->Write("abcdef", 6, nullptr), 6);
  EXPECT_EQ(file->Size(), 6);
  EXPECT_EQ(file->Seek(-2, SEEK_END), 4);
  EXPECT_EQ(file->Read(nullptr, 0, nullptr), -EBADF);  // write-only: reading is refused
}

// The system's own reason reaches the caller: a folder is not a file to read or write, and a
// name the file system cannot hold is not a missing file.
TEST(RawFile, OpenFailuresCarryTheSystemsReason) {
  TScratchFolder folder;
  const std::string longName = folder.File(std::string(2000, 'n'));
  struct TOpenCase {
    const char* Name;
    std::string Path;
    TFileAccess Access;
    int Result;
  };
  const TOpenCase cases[] = {
      {"folder, read", folder.Path().string(), TFileAccess::Read, -EISDIR},
      {"folder, write", folder.Path().string(), TFileAccess::Write, -EISDIR},
      {"folder, read and write", folder.Path().string(), TFileAccess::ReadWrite, -EISDIR},
      {"long name, read", longName, TFileAccess::Read, -ENAMETOOLONG},
      {"long name, write", longName, TFileAccess::Write, -ENAMETOOLONG},
      {"missing, read", folder.File("missing.bin"), TFileAccess::Read, -ENOENT},
      {"missing folder, write", folder.File("no/such/x"), TFileAccess::Write, -ENOENT},
  };
  for (const TOpenCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::unique_ptr<TRawFile> file;
    EXPECT_EQ(TRawFile::Open(c.Path, c.Access, nullptr, file), c.Result);
    EXPECT_EQ(file, nullptr);
  }
}

}  // namespace
}  // namespace vidorant
