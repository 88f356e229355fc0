// Builds a ZIP archive in memory for tests (libzip writes, the engine reads).
#pragma once

#include <zip.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

inline std::vector<std::uint8_t> zeTestZip(const std::vector<std::pair<std::string, std::string>>& files) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
  zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
  zip_source_keep(buffer);
  for (const auto& f : files) {
    zip_source_t* s = zip_source_buffer(archive, f.second.data(), f.second.size(), 0);
    zip_file_add(archive, f.first.c_str(), s, ZIP_FL_OVERWRITE);
  }
  zip_close(archive);
  zip_source_open(buffer);
  zip_source_seek(buffer, 0, SEEK_END);
  const zip_int64_t size = zip_source_tell(buffer);
  zip_source_seek(buffer, 0, SEEK_SET);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  zip_source_read(buffer, bytes.data(), size);
  zip_source_close(buffer);
  zip_source_free(buffer);
  return bytes;
}
