// The utilities of FFUtils.h that call the media libraries: whole-file reading into a library
// buffer and metadata lookup.
#include <cstdio>
#include <memory>

#include "engine/runtime/AVUtilStubs.h"
#include "engine/runtime/FFUtils.h"

namespace vidorant {

int ReadWholeFile(const std::string& fileName, uint8_t** buffer, int64_t* size) {
  *buffer = nullptr;
  *size = 0;
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(fileName.c_str(), "rb"), std::fclose);
  if (!file) return -1;
  // A name that is no regular file (a folder, a pipe) has no size to read up front.
  if (std::fseek(file.get(), 0, SEEK_END) != 0) return -1;
  const long length = std::ftell(file.get());
  if (length < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0) return -1;
  auto* data = static_cast<uint8_t*>(ff::av_malloc(static_cast<size_t>(length) + 1));
  if (!data) return -12;
  const size_t read = std::fread(data, 1, static_cast<size_t>(length), file.get());
  if (std::ferror(file.get())) {  // a failed read must not pass for a short file
    ff::av_free(data);
    return -1;
  }
  data[read] = 0;
  *buffer = data;
  *size = static_cast<int64_t>(read) + 1;
  return 0;
}

std::string MetadataValue(const AVDictionary* metadata, const std::string& key,
                          const std::string& defaultValue) {
  const AVDictionaryEntry* entry = ff::av_dict_get(metadata, key.c_str(), nullptr, 0);
  return entry ? entry->value : defaultValue;
}

}  // namespace vidorant
