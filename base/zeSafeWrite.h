// Writing a user's file without ever leaving a half-written one: the bytes go
// to a temporary file in the same folder, which replaces the target only
// after every byte is written, flushed to the disk and the file closed
// without error. A failure part-way (a full disk, a file size limit) leaves
// the target as it was, even when the target is the file being converted.
#pragma once

#include <cstddef>

enum ZeSafeWriteResult {
  ZE_WRITE_DONE,
  ZE_WRITE_CANNOT_CREATE,  // no file can be made in the target's folder
  ZE_WRITE_FAILED,         // writing, flushing or replacing the target failed
};

// Writes `size` bytes to `path` as above. The temporary file is named
// ".<name>.XXXXXX" beside the target and removed on failure. The new file
// keeps the permissions of the file it replaces (a new file gets the usual
// ones). No message: callers say what failed in their own words.
ZeSafeWriteResult zeWriteFileSafely(const char* path, const void* bytes, std::size_t size);
