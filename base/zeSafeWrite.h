// Writing a user's file without ever leaving a half-written one: the bytes go
// to a temporary file in the same folder, which replaces the target only
// after every byte is written, flushed to the disk and the file closed
// without error. A failure part-way (a full disk, a file size limit) leaves
// the target as it was, even when the target is the file being converted.
#pragma once

#include <cstddef>
#include <string>

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

// The same for a writer that streams into a file by name (a video encoder):
// Begin makes the temporary file beside the target (empty; "" when none can
// be made), Commit flushes the finished file to the disk and puts it in the
// target's place, Abandon removes it. The target is untouched until Commit.
std::string zeSafeWriteBegin(const char* path);
ZeSafeWriteResult zeSafeWriteCommit(const std::string& temporary, const char* path);
void zeSafeWriteAbandon(const std::string& temporary);
