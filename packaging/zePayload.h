// The data a packaged executable carries: payloads appended after the program
// image, each followed by a 32-byte trailer (type, id, size, offset, magic),
// all little-endian. The loader walks the trailers back from the end of the
// file; a payload always sits directly before its own trailer, so every
// trailer is checked against the bytes really there before anything is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

constexpr std::uint32_t ZE_RESOURCE_RCDATA = 10;
constexpr std::uint32_t ZE_RESOURCE_PRODUCTION = 500;  // the archive a production plays
constexpr std::uint32_t ZE_RESOURCE_SHADERS = 501;     // shaders and textures of -exersc
constexpr std::size_t ZE_RESOURCE_TRAILER_SIZE = 32;
constexpr std::uint32_t ZE_PAYLOAD_KEY = 0x3C5A7E19u;

// XORs every complete little-endian 32-bit word with the key; the last 1 to 3
// bytes stay as they are. Its own inverse.
void zeScramblePayload(std::uint8_t* data, std::size_t size);

struct ZeResourceEntry {
  std::uint32_t type = 0;
  std::uint32_t id = 0;
  std::uint64_t offset = 0;  // of the payload, from the start of the file
  std::uint64_t size = 0;
};

// Random access to a file's bytes (the running executable, or memory in tests
// and the fuzzer): read exactly `size` bytes at `offset`, false when it cannot.
struct ZeByteSource {
  std::uint64_t size = 0;
  std::function<bool(std::uint64_t offset, void* buffer, std::size_t size)> read;
};
ZeByteSource zeMemoryByteSource(const std::uint8_t* data, std::size_t size);

enum class ZeResourceStatus { None, Found, Broken };

// Lists the appended resources, the last appended first. None: the file ends
// without a trailer (a plain program). Broken: a trailer does not fit the
// file; `problem` says how, and nothing after it is trusted.
ZeResourceStatus zeListResources(const ZeByteSource& source, std::vector<ZeResourceEntry>* entries,
                                 std::string* problem);

// Where the appended resources begin: the size of the program image itself.
std::uint64_t zeProgramImageSize(const ZeByteSource& source, const std::vector<ZeResourceEntry>& entries);

// Whether the bytes hold a ZIP archive: an end-of-central-directory record
// whose directory lies inside the bytes.
bool zeLooksLikeZip(const std::uint8_t* data, std::size_t size);

enum class ZeLoadResult { NotFound, Loaded, Broken };

// Loads the resource (type RCDATA, `id`) unscrambled into `archive` and checks
// that it is a ZIP archive. Broken: a trailer does not fit the file or the
// unscrambled bytes are no ZIP; `problem` says which.
ZeLoadResult zeLoadResource(const ZeByteSource& source, std::uint32_t id, std::vector<std::uint8_t>* archive,
                            std::string* problem);

// The 32 bytes written after a payload of `size` bytes that starts at `offset`.
std::vector<std::uint8_t> zeResourceTrailer(std::uint32_t type, std::uint32_t id, std::uint64_t offset,
                                            std::uint64_t size);
