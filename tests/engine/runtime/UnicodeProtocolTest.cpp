#include "engine/runtime/UnicodeProtocol.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "TestFiles.h"
#include "TestLibraries.h"
#include "TestLocale.h"
#include "engine/runtime/AVErrorText.h"
#include "engine/runtime/EngineIO.h"
#include "engine/runtime/InterruptCB.h"
#include "engine/runtime/ProtocolRegistry.h"

namespace vidorant {
namespace {

const std::string WideLeaf = "clip-\xC3\xA9t\xC3\xA9-\xE6\x97\xA5.bin";  // "clip-été-日.bin"

// Opens a connection of the unicode protocol; the result of Open.
int OpenConnection(TProtocolConnection& c, const std::string& libName, int flags) {
  c.Protocol = UnicodeProtocol();
  return c.Protocol->Open(&c, libName.c_str(), flags);
}

TEST(UnicodeProtocol, OpensReadsWritesAndSeeksANonAsciiNameUnderTheCLocale) {
  TScopedLocale locale("C");
  ASSERT_TRUE(locale.Active);
  TTempFolder folder;
  const std::string name = folder.File(WideLeaf);
  const std::string lib = FileNameToLib(name);
  ASSERT_TRUE(IsUnicodeName(lib)) << lib;
  const TProtocol* p = UnicodeProtocol();

  TProtocolConnection out;
  ASSERT_EQ(OpenConnection(out, lib, AVIO_FLAG_WRITE), 0);
  const std::string text = "hello world";
  EXPECT_EQ(p->Write(&out, reinterpret_cast<const uint8_t*>(text.data()), 11), 11);
  EXPECT_EQ(p->Seek(&out, 0, AVSEEK_SIZE), 11);
  p->Close(&out);
  EXPECT_EQ(TTempFolder::Read(name), text);  // the file carries the very name given

  TProtocolConnection in;
  ASSERT_EQ(OpenConnection(in, lib, AVIO_FLAG_READ), 0);
  uint8_t buf[16] = {};
  EXPECT_EQ(p->Read(&in, buf, 5), 5);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 5), "hello");
  EXPECT_EQ(p->Seek(&in, 6, SEEK_SET), 6);
  EXPECT_EQ(p->Read(&in, buf, sizeof buf), 5);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 5), "world");
  EXPECT_EQ(p->Read(&in, buf, sizeof buf), 0);  // end of file
  EXPECT_EQ(p->Seek(&in, -5, SEEK_END), 6);
  EXPECT_EQ(p->Seek(&in, -2, SEEK_CUR), 4);
  EXPECT_EQ(p->Seek(&in, -100, SEEK_SET), AVERROR(EINVAL));
  EXPECT_EQ(p->Write(&in, buf, 1), AVERROR(EBADF));  // opened read-only
  p->Close(&in);
}

TEST(UnicodeProtocol, MissingFileFailsReadOnlyButIsCreatedWriteOnly) {
  TScopedLocale locale("C");
  ASSERT_TRUE(locale.Active);
  TTempFolder folder;
  const std::string lib = FileNameToLib(folder.File(WideLeaf));
  TProtocolConnection c;
  EXPECT_EQ(OpenConnection(c, lib, AVIO_FLAG_READ), -2);
  EXPECT_EQ(OpenConnection(c, FileNameToLib(folder.File("no/such/dir/x")), AVIO_FLAG_WRITE), -2);
  ASSERT_EQ(OpenConnection(c, lib, AVIO_FLAG_WRITE), 0);
  c.Protocol->Close(&c);
  EXPECT_TRUE(std::filesystem::exists(folder.File(WideLeaf)));
}

TEST(UnicodeProtocol, WriteAndReadWriteTruncateAnExistingFile) {
  TScopedLocale locale("C");
  ASSERT_TRUE(locale.Active);
  TTempFolder folder;
  const std::string name = folder.File(WideLeaf);
  for (int flags : {AVIO_FLAG_WRITE, AVIO_FLAG_READ_WRITE}) {
    TTempFolder::Write(name, "old content");
    TProtocolConnection c;
    ASSERT_EQ(OpenConnection(c, FileNameToLib(name), flags), 0);
    EXPECT_EQ(c.Protocol->Write(&c, reinterpret_cast<const uint8_t*>("new"), 3), 3);
    if (flags == AVIO_FLAG_READ_WRITE) {
      uint8_t buf[4] = {};
      EXPECT_EQ(c.Protocol->Seek(&c, 0, SEEK_SET), 0);
      EXPECT_EQ(c.Protocol->Read(&c, buf, 4), 3);
    }
    c.Protocol->Close(&c);
    EXPECT_EQ(TTempFolder::Read(name), "new") << flags;
  }
}

TEST(UnicodeProtocol, RegisteringTwiceKeepsOneProtocolNamedUnicode) {
  RegisterUnicodeProtocol();
  RegisterUnicodeProtocol();
  int count = 0;
  for (const TProtocol* p = NextProtocol(nullptr); p; p = NextProtocol(p))
    if (std::string(p->Name) == "unicode") ++count;
  EXPECT_EQ(count, 1);
  EXPECT_EQ(FindProtocolForName("unicode:utf8:/x"), UnicodeProtocol());
  EXPECT_EQ(FindProtocolForName("file:/x"), nullptr);
  EXPECT_EQ(FindProtocolForName("/plain/name"), nullptr);
}

// Writes through the engine's byte stream, reads it back through another, and returns what came
// back; the file is named exactly as given.
std::string RoundTripThroughEngineIO(const std::string& name) {
  const std::string lib = FileNameToLib(name);
  std::unique_ptr<TEngineIO> io;
  EXPECT_EQ(OpenEngineIO(lib, AVIO_FLAG_WRITE, nullptr, io), 0) << lib;
  if (!io) return "";
  const std::string payload(100000, 'x');  // several buffers' worth
  ff::avio_write(io->Context(), reinterpret_cast<const unsigned char*>(payload.data()),
                 static_cast<int>(payload.size()));
  ff::avio_write(io->Context(), reinterpret_cast<const unsigned char*>("END"), 3);
  EXPECT_EQ(io->Close(), 0);

  EXPECT_EQ(OpenEngineIO(lib, AVIO_FLAG_READ, nullptr, io), 0);
  if (!io) return "";
  EXPECT_EQ(ff::avio_size(io->Context()), 100003);
  EXPECT_EQ(ff::avio_seek(io->Context(), 100000, SEEK_SET), 100000);
  unsigned char tail[8] = {};
  const int n = ff::avio_read(io->Context(), tail, sizeof tail);
  EXPECT_TRUE(ff::avio_feof(io->Context()) || n == 3);
  return n > 0 ? std::string(reinterpret_cast<char*>(tail), n) : "";
}

TEST(EngineIO, LoadingTheFormatLibraryRegistersTheUnicodeProtocol) {
  if (!LoadTestLibraries()) return;
  EXPECT_EQ(FindProtocolForName("unicode:utf8:/x"), UnicodeProtocol());
}

TEST(EngineIO, ADemuxerProbesAndReadsANonAsciiNameThroughTheUnicodeProtocol) {
  if (!LoadTestLibraries()) return;
  TScopedLocale locale("C");
  ASSERT_TRUE(locale.Active);
  TTempFolder folder;
  // A 3x2 binary PPM picture: small enough to write by hand, probed by content alone.
  const std::string name = folder.File("bild-\xC3\xBC.ppm");
  TTempFolder::Write(name, "P6\n3 2\n255\n" + std::string(18, '\x7F'));
  std::unique_ptr<TEngineIO> io;
  ASSERT_EQ(OpenEngineIO(FileNameToLib(name), AVIO_FLAG_READ, nullptr, io), 0);
  AVFormatContext* raw = ff::avformat_alloc_context();
  ASSERT_NE(raw, nullptr);
  raw->pb = io->Context();
  raw->flags |= AVFMT_FLAG_CUSTOM_IO;  // the stream belongs to io
  raw->interrupt_callback = {EngineInterruptCallback, nullptr};
  ASSERT_EQ(ff::avformat_open_input(&raw, FileNameToLib(name).c_str(), nullptr, nullptr), 0);
  TInputFormatContextPtr input(raw);
  ASSERT_GE(ff::avformat_find_stream_info(input.get(), nullptr), 0);
  ASSERT_EQ(input->nb_streams, 1u);
  EXPECT_EQ(input->streams[0]->codecpar->codec_id, AV_CODEC_ID_PPM);
  EXPECT_EQ(input->streams[0]->codecpar->width, 3);
  EXPECT_EQ(input->streams[0]->codecpar->height, 2);
  TPacketPtr packet(ff::av_packet_alloc());
  ASSERT_EQ(ff::av_read_frame(input.get(), packet.get()), 0);
  EXPECT_EQ(packet->size, 11 + 18);
}

TEST(EngineIO, NonAsciiNameUnderTheCLocaleGoesThroughTheUnicodeProtocol) {
  if (!LoadTestLibraries()) return;
  TScopedLocale locale("C");
  ASSERT_TRUE(locale.Active);
  TTempFolder folder;
  EXPECT_EQ(RoundTripThroughEngineIO(folder.File(WideLeaf)), "END");
  EXPECT_EQ(std::filesystem::file_size(folder.File(WideLeaf)), 100003u);
}

TEST(EngineIO, PlainNameGoesThroughTheLibrarysOwnFileProtocol) {
  if (!LoadTestLibraries()) return;
  TScopedLocale locale("C");
  ASSERT_TRUE(locale.Active);
  TTempFolder folder;
  EXPECT_EQ(RoundTripThroughEngineIO(folder.File("plain.bin")), "END");
}

TEST(EngineIO, MissingFilesReportNoSuchFileOnBothRoads) {
  if (!LoadTestLibraries()) return;
  TScopedLocale locale("C");
  ASSERT_TRUE(locale.Active);
  TTempFolder folder;
  std::unique_ptr<TEngineIO> io;
  for (const std::string& leaf : {std::string("missing.bin"), WideLeaf}) {
    EXPECT_EQ(OpenEngineIO(FileNameToLib(folder.File(leaf)), AVIO_FLAG_READ, nullptr, io),
              AVERROR(ENOENT))
        << leaf;
    EXPECT_EQ(io, nullptr);
  }
}

// The first failure met in opening a stream and reading its first byte; 0 when there is none.
int FirstFailure(int openResult, const std::unique_ptr<TEngineIO>& io) {
  if (openResult < 0 || !io) return openResult;
  unsigned char byte = 0;
  const int n = ff::avio_read(io->Context(), &byte, 1);
  return n < 0 ? n : 0;
}

// Every road to a local file reports the system's own error, as the library's own file protocol
// does (it opens a folder and fails the first read): the unicode protocol, and the input opening
// that takes plain names through it, refuse a folder at once.
TEST(EngineIO, LocalFileFailuresReportTheSystemsOwnError) {
  if (!LoadTestLibraries()) return;
  TTempFolder folder;
  struct TFailureCase {
    std::string Path;
    const char* Message;
  };
  const TFailureCase cases[] = {
      {folder.Path.string(), "Is a directory"},
      {folder.File(std::string(2000, 'n')), "File name too long"},
      {folder.File("missing.bin"), "No such file or directory"},
  };
  for (const TFailureCase& c : cases) {
    SCOPED_TRACE(c.Message);
    std::unique_ptr<TEngineIO> io;
    const int viaUnicode = OpenEngineIO(UnicodeNamePrefix + c.Path, AVIO_FLAG_READ, nullptr, io);
    EXPECT_EQ(io, nullptr);
    const int viaInput = OpenEngineInput(c.Path, io);
    EXPECT_EQ(io, nullptr);
    const int viaLibrary = FirstFailure(OpenEngineIO(c.Path, AVIO_FLAG_READ, nullptr, io), io);
    EXPECT_EQ(AVErrorMessage(viaLibrary), c.Message);
    EXPECT_EQ(viaUnicode, viaLibrary);
    EXPECT_EQ(viaInput, viaLibrary);
  }
}

TEST(EngineIO, WriteFailureIsReportedByClose) {
  if (!LoadTestLibraries()) return;
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
  TScopedLocale locale("C");
  ASSERT_TRUE(locale.Active);
  std::unique_ptr<TEngineIO> io;
  // /dev/full refuses every write with "no space left": the close must not report success.
  ASSERT_EQ(OpenEngineIO("unicode:utf8:/dev/full", AVIO_FLAG_WRITE, nullptr, io), 0);
  ff::avio_write(io->Context(), reinterpret_cast<const unsigned char*>("data"), 4);
  EXPECT_LT(io->Close(), 0);
}

}  // namespace
}  // namespace vidorant
