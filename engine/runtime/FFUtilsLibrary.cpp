// The utilities of FFUtils.h that call the media libraries: whole-file reading into a library
// buffer and metadata lookup.
#include <sys/stat.h>

#include <cstdio>
#include <memory>

#include "engine/runtime/AVUtilStubs.h"
#include "engine/runtime/FFUtils.h"

namespace vidorant {

int ReadWholeFile(const std::string& fileName, TAVMemoryPtr<uint8_t>& buffer, int64_t& size) {
  buffer.reset();
  size = 0;
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(fileName.c_str(), "rb"), std::fclose);
  if (!file) return -1;
  // A name that is no regular file has no size to read up front: a folder opens, and its
  // "size" would ask for an absurd buffer.
  struct stat st {};
  if (fstat(fileno(file.get()), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  if (std::fseek(file.get(), 0, SEEK_END) != 0) return -1;
  const long length = std::ftell(file.get());
  if (length < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0) return -1;
  TAVMemoryPtr<uint8_t> data(static_cast<uint8_t*>(ff::av_malloc(static_cast<size_t>(length) + 1)));
  if (!data) return -12;
  const size_t read = std::fread(data.get(), 1, static_cast<size_t>(length), file.get());
  if (std::ferror(file.get())) return -1;  // a failed read must not pass for a short file
  data.get()[read] = 0;
  buffer = std::move(data);
  size = static_cast<int64_t>(read) + 1;
  return 0;
}

std::string MetadataValue(const AVDictionary* metadata, const std::string& key,
                          const std::string& defaultValue) {
  const AVDictionaryEntry* entry = ff::av_dict_get(metadata, key.c_str(), nullptr, 0);
  return entry ? entry->value : defaultValue;
}

}  // namespace vidorant
