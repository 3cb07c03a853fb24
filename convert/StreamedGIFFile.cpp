// TStreamedGIFFile: the temporary name, the stream and the rename.
#include "convert/StreamedGIFFile.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unistd.h>

#include "platform/Exception.h"
#include "platform/Format.h"
#include "platform/MemoryStream.h"

namespace vidorant {

namespace {

// Unique within the process; the process id makes it unique among processes writing into the
// same folder. Short, so a long GIF name cannot push it past the system's name length.
std::string TemporaryPath(const std::string& gifPath) {
  static std::atomic<unsigned> counter{0};
  const std::filesystem::path folder = std::filesystem::path(gifPath).parent_path();
  const std::string name = Format(".vidorant-%d-%u.gif.part", static_cast<int>(getpid()), counter++);
  return folder.empty() ? name : (folder / name).string();
}

}  // namespace

TStreamedGIFFile::TStreamedGIFFile(std::string path) : FPath(std::move(path)) {}

TStreamedGIFFile::~TStreamedGIFFile() { Abandon(); }

void TStreamedGIFFile::Create() {
  // Created exclusively: never a file that someone else writes too.
  for (;;) {
    const std::string temp = TemporaryPath(FPath);
    FILE* created = std::fopen(temp.c_str(), "wbx");
    if (created) {
      std::fclose(created);
      FTempPath = temp;
      break;
    }
    if (errno != EEXIST)
      throw EFCreateError(Format("Cannot create file \"%s\". %s", FPath.c_str(), std::strerror(errno)));
  }
  FStream = std::make_unique<TFileStream>(FTempPath, fmOpenReadWrite);
  FWriter = std::make_unique<TGIFStreamWriter>(*FStream);
}

void TStreamedGIFFile::Append(const TGIFEncodedFrame& frame) {
  if (FBroken) throw Exception(Format("The GIF \"%s\" cannot be written any more", FPath.c_str()));
  try {
    if (!FWriter) Create();
    FWriter->Append(frame);
  } catch (...) {
    FBroken = true;
    throw;
  }
}

void TStreamedGIFFile::Commit() {
  try {
    if (!FWriter) {
      // No frame: refused by the writer's own rule before any file exists.
      TMemoryStream nowhere;
      TGIFStreamWriter(nowhere).Finish();
    }
    if (FBroken) throw Exception(Format("The GIF \"%s\" cannot be completed after a failed write", FPath.c_str()));
    FWriter->Finish();
    FWriter.reset();
    FStream.reset();  // closed before it takes its name
    std::error_code error;
    std::filesystem::rename(FTempPath, FPath, error);
    if (error)
      throw Exception(Format("Cannot rename \"%s\" to \"%s\". %s", FTempPath.c_str(), FPath.c_str(),
                             error.message().c_str()));
    FTempPath.clear();
  } catch (...) {
    Abandon();
    throw;
  }
}

void TStreamedGIFFile::Abandon() {
  FWriter.reset();
  FStream.reset();
  if (FTempPath.empty()) return;
  std::error_code ignored;  // nothing better to do with a file that cannot be removed
  std::filesystem::remove(FTempPath, ignored);
  FTempPath.clear();
}

}  // namespace vidorant
