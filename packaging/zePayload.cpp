#include "packaging/zePayload.h"

#include <cstring>

namespace {

const char trailerMagic[8] = {'Z', 'A', 'R', 'N', 'R', 'S', 'C', '1'};
// Trailers walked at most: a copy of a copy keeps every resource it was given.
constexpr int maxResources = 64;

std::uint32_t readU32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

std::uint64_t readU64(const std::uint8_t* p) { return std::uint64_t(readU32(p)) | std::uint64_t(readU32(p + 4)) << 32; }

void writeU32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(v >> (8 * i));
}

void writeU64(std::uint8_t* p, std::uint64_t v) {
  writeU32(p, std::uint32_t(v));
  writeU32(p + 4, std::uint32_t(v >> 32));
}

std::uint16_t readU16(const std::uint8_t* p) { return std::uint16_t(p[0] | p[1] << 8); }

}  // namespace

void zeScramblePayload(std::uint8_t* data, std::size_t size) {
  const std::uint8_t key[4] = {std::uint8_t(ZE_PAYLOAD_KEY), std::uint8_t(ZE_PAYLOAD_KEY >> 8),
                               std::uint8_t(ZE_PAYLOAD_KEY >> 16), std::uint8_t(ZE_PAYLOAD_KEY >> 24)};
  const std::size_t whole = size & ~std::size_t(3);
  for (std::size_t i = 0; i < whole; i += 4) {
    data[i] ^= key[0];
    data[i + 1] ^= key[1];
    data[i + 2] ^= key[2];
    data[i + 3] ^= key[3];
  }
}

ZeByteSource zeMemoryByteSource(const std::uint8_t* data, std::size_t size) {
  ZeByteSource source;
  source.size = size;
  source.read = [data, size](std::uint64_t offset, void* buffer, std::size_t count) {
    if (offset > size || count > size - offset) return false;
    if (count) std::memcpy(buffer, data + offset, count);
    return true;
  };
  return source;
}

ZeResourceStatus zeListResources(const ZeByteSource& source, std::vector<ZeResourceEntry>* entries,
                                 std::string* problem) {
  entries->clear();
  std::uint64_t end = source.size;
  for (int n = 0; n < maxResources; ++n) {
    std::uint8_t t[ZE_RESOURCE_TRAILER_SIZE];
    if (end < ZE_RESOURCE_TRAILER_SIZE || !source.read(end - ZE_RESOURCE_TRAILER_SIZE, t, sizeof t)) break;
    if (std::memcmp(t + 24, trailerMagic, sizeof trailerMagic) != 0) break;
    ZeResourceEntry e;
    e.type = readU32(t);
    e.id = readU32(t + 4);
    e.size = readU64(t + 8);
    e.offset = readU64(t + 16);
    const std::uint64_t payloadEnd = end - ZE_RESOURCE_TRAILER_SIZE;
    // The payload must end exactly where its trailer begins.
    if (e.offset > payloadEnd || e.size != payloadEnd - e.offset) {
      if (problem)
        *problem = "resource trailer at byte " + std::to_string(payloadEnd) + " points outside the file (offset " +
                   std::to_string(e.offset) + ", size " + std::to_string(e.size) + ")";
      return ZeResourceStatus::Broken;
    }
    entries->push_back(e);
    end = e.offset;
  }
  return entries->empty() ? ZeResourceStatus::None : ZeResourceStatus::Found;
}

std::uint64_t zeProgramImageSize(const ZeByteSource& source, const std::vector<ZeResourceEntry>& entries) {
  return entries.empty() ? source.size : entries.back().offset;
}

bool zeLooksLikeZip(const std::uint8_t* data, std::size_t size) {
  // The end record is 22 bytes plus a comment of at most 65535 bytes.
  if (size < 22) return false;
  const std::size_t lowest = size > 22 + 65535 ? size - 22 - 65535 : 0;
  for (std::size_t at = size - 22 + 1; at-- > lowest;) {
    const std::uint8_t* p = data + at;
    if (!(p[0] == 'P' && p[1] == 'K' && p[2] == 5 && p[3] == 6)) continue;
    const std::uint64_t commentSize = readU16(p + 20);
    if (at + 22 + commentSize != size) continue;
    const std::uint64_t directorySize = readU32(p + 12);
    const std::uint64_t directoryOffset = readU32(p + 16);
    // ZIP64 keeps the real values elsewhere; the markers are accepted as they are.
    if (directorySize == 0xFFFFFFFFu || directoryOffset == 0xFFFFFFFFu) return true;
    return directoryOffset + directorySize <= at;
  }
  return false;
}

ZeLoadResult zeLoadResource(const ZeByteSource& source, std::uint32_t id, std::vector<std::uint8_t>* archive,
                            std::string* problem) {
  std::vector<ZeResourceEntry> entries;
  const ZeResourceStatus status = zeListResources(source, &entries, problem);
  if (status == ZeResourceStatus::Broken) return ZeLoadResult::Broken;
  for (const ZeResourceEntry& e : entries) {
    if (e.type != ZE_RESOURCE_RCDATA || e.id != id) continue;
    if (e.size > std::uint64_t(SIZE_MAX / 2)) {
      if (problem) *problem = "resource is too large to load";
      return ZeLoadResult::Broken;
    }
    archive->assign(static_cast<std::size_t>(e.size), 0);
    if (!source.read(e.offset, archive->data(), archive->size())) {
      if (problem) *problem = "resource could not be read";
      archive->clear();
      return ZeLoadResult::Broken;
    }
    zeScramblePayload(archive->data(), archive->size());
    if (!zeLooksLikeZip(archive->data(), archive->size())) {
      if (problem) *problem = "resource is not a ZIP archive";
      archive->clear();
      return ZeLoadResult::Broken;
    }
    return ZeLoadResult::Loaded;
  }
  return ZeLoadResult::NotFound;
}

std::vector<std::uint8_t> zeResourceTrailer(std::uint32_t type, std::uint32_t id, std::uint64_t offset,
                                            std::uint64_t size) {
  std::vector<std::uint8_t> t(ZE_RESOURCE_TRAILER_SIZE);
  writeU32(t.data(), type);
  writeU32(t.data() + 4, id);
  writeU64(t.data() + 8, size);
  writeU64(t.data() + 16, offset);
  std::memcpy(t.data() + 24, trailerMagic, sizeof trailerMagic);
  return t;
}
