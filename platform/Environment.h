// Process environment: environment variables, the current directory and file tests, with the
// names of the platform's library search variable and its list separator.
#pragma once

#include <cstdint>
#include <string>

namespace vidorant {

// The variable the platform's loader searches for libraries, and how it separates folders.
extern const char* const LibrarySearchVariable;
extern const char LibrarySearchSeparator;

// Empty when the variable is not set.
std::string GetEnvironmentVariable(const std::string& name);
void SetEnvironmentVariable(const std::string& name, const std::string& value);

std::string GetCurrentDir();
// Returns false when the folder cannot be made current.
bool SetCurrentDir(const std::string& folder);

// True for an existing file that is not a directory.
bool FileExists(const std::string& path);
// Size in bytes of an existing file that is not a directory, from its directory entry; -1
// otherwise.
int64_t FileSizeOf(const std::string& path);
// Deletes a file (not a directory) by its UTF-8 name; false when it could not.
bool RemoveFile(const std::string& path);

// The folder separator of the platform.
extern const char PathDelimiter;

}  // namespace vidorant
