// One input for the payload locator, as the fuzzer and the corpus test run it:
// the bytes are the tail of an executable. Returns false when a listed
// resource lies outside the input or a loaded archive is not what was there.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "packaging/zePayload.h"

inline bool zePayloadFuzzOne(const std::uint8_t* data, std::size_t size) {
  const ZeByteSource source = zeMemoryByteSource(data, size);
  std::vector<ZeResourceEntry> entries;
  std::string problem;
  const ZeResourceStatus status = zeListResources(source, &entries, &problem);
  if (status == ZeResourceStatus::Broken && problem.empty()) return false;
  for (const ZeResourceEntry& e : entries)
    if (e.offset > size || e.size > size - e.offset) return false;
  for (std::uint32_t id : {ZE_RESOURCE_PRODUCTION, ZE_RESOURCE_SHADERS}) {
    std::vector<std::uint8_t> archive;
    if (zeLoadResource(source, id, &archive, &problem) != ZeLoadResult::Loaded) continue;
    if (!zeLooksLikeZip(archive.data(), archive.size())) return false;
    // Scrambling back gives exactly the bytes of the file.
    zeScramblePayload(archive.data(), archive.size());
    bool inside = false;
    for (const ZeResourceEntry& e : entries)
      if (e.id == id && e.size == archive.size() && std::equal(archive.begin(), archive.end(), data + e.offset))
        inside = true;
    if (!inside) return false;
  }
  return true;
}
