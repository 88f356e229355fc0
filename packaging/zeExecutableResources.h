// Resources of an executable file on disk, and of the running program
// (read through /proc/self/exe).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "packaging/zePayload.h"

// Loads resource `id` of the file at `path` (see zeLoadResource); a file that
// cannot be opened is NotFound.
ZeLoadResult zeLoadFileResource(const char* path, std::uint32_t id, std::vector<std::uint8_t>* archive,
                                std::string* problem);

// Writes `payload` (already scrambled) as resource (RCDATA, id) of the file at
// `path`, replacing a resource of the same id and keeping the others, as a
// resource update that deletes nothing else. 0, or -1 with the step that
// failed in `failedStep` ("BeginUpdate", "UpdateResource", "EndUpdate") and
// errno in `error`.
int zeWriteFileResource(const char* path, std::uint32_t id, const std::vector<std::uint8_t>& payload,
                        const char** failedStep, int* error);

// The running program's file, as the kernel knows it.
const char* zeRunningExecutable();

// The entry's seam: whether the running program carries the production
// archive (resource 500). A trailer that does not fit the file is reported
// once, and the program runs as if it carried nothing.
bool zeRunningProgramCarriesArchive();
// Loads it unscrambled; false (with the reason reported) when it is broken.
bool zeLoadRunningProgramArchive(std::vector<std::uint8_t>* archive);
