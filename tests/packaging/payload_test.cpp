#include <gtest/gtest.h>
#include <irrlicht.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/zeFileMount.h"
#include "base/zeFile.h"
#include "packaging/zePayload.h"
#include "support/testZip.h"

namespace {

std::vector<std::uint8_t> bytesOf(const std::string& s) { return std::vector<std::uint8_t>(s.begin(), s.end()); }

// A program image followed by the given (already scrambled) resources.
std::vector<std::uint8_t> withResources(std::vector<std::uint8_t> image,
                                        const std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>>& resources) {
  for (const auto& r : resources) {
    const auto trailer = zeResourceTrailer(ZE_RESOURCE_RCDATA, r.first, image.size(), r.second.size());
    image.insert(image.end(), r.second.begin(), r.second.end());
    image.insert(image.end(), trailer.begin(), trailer.end());
  }
  return image;
}

std::vector<std::uint8_t> scrambled(std::vector<std::uint8_t> bytes) {
  zeScramblePayload(bytes.data(), bytes.size());
  return bytes;
}

TEST(Payload, ScramblingTwiceGivesTheBytesBackAndLeavesTheTailAlone) {
  for (std::size_t size : {0, 1, 3, 4, 5, 7, 8, 1001}) {
    std::vector<std::uint8_t> original(size);
    for (std::size_t i = 0; i < size; ++i) original[i] = std::uint8_t(i * 37 + 5);
    std::vector<std::uint8_t> bytes = original;
    zeScramblePayload(bytes.data(), size);
    const std::size_t whole = size / 4 * 4;
    for (std::size_t i = whole; i < size; ++i) EXPECT_EQ(bytes[i], original[i]) << "tail byte " << i;
    if (whole) {
      // Little-endian words XORed with the key.
      std::uint32_t a, b;
      std::memcpy(&a, original.data(), 4);
      std::memcpy(&b, bytes.data(), 4);
      EXPECT_EQ(a ^ b, ZE_PAYLOAD_KEY);
    }
    zeScramblePayload(bytes.data(), size);
    EXPECT_EQ(bytes, original) << size;
  }
}

TEST(Payload, TrailersAreCheckedAgainstTheFile) {
  const std::vector<std::uint8_t> image = bytesOf("\x7f" "ELF program image");
  const std::vector<std::uint8_t> zip = zeTestZip({{"a.txt", "A"}});

  struct Case {
    const char* name;
    std::vector<std::uint8_t> file;
    ZeResourceStatus status;
    std::size_t count;
  };
  std::vector<Case> cases = {
      {"plain program", image, ZeResourceStatus::None, 0},
      {"empty file", {}, ZeResourceStatus::None, 0},
      {"one resource", withResources(image, {{500, scrambled(zip)}}), ZeResourceStatus::Found, 1},
      {"two resources", withResources(image, {{501, scrambled(zip)}, {500, scrambled(zip)}}), ZeResourceStatus::Found, 2},
  };
  // A trailer whose offset lies past the end of the file.
  std::vector<std::uint8_t> outside = image;
  auto t = zeResourceTrailer(ZE_RESOURCE_RCDATA, 500, 1u << 30, 4);
  outside.insert(outside.end(), t.begin(), t.end());
  cases.push_back({"offset outside the file", outside, ZeResourceStatus::Broken, 0});
  // A size that does not end at the trailer.
  std::vector<std::uint8_t> wrongSize = withResources(image, {{500, scrambled(zip)}});
  wrongSize[wrongSize.size() - 24] ^= 1;
  cases.push_back({"size that misses the trailer", wrongSize, ZeResourceStatus::Broken, 0});
  // Only the trailer: offset 0, size 0 describes an empty payload.
  cases.push_back({"bare trailer", zeResourceTrailer(ZE_RESOURCE_RCDATA, 500, 0, 0), ZeResourceStatus::Found, 1});

  for (const Case& c : cases) {
    std::vector<ZeResourceEntry> entries;
    std::string problem;
    const ZeByteSource source = zeMemoryByteSource(c.file.data(), c.file.size());
    EXPECT_EQ(zeListResources(source, &entries, &problem), c.status) << c.name;
    EXPECT_EQ(entries.size(), c.status == ZeResourceStatus::Broken ? 0u : c.count) << c.name;
    if (c.status == ZeResourceStatus::Broken) {
      EXPECT_NE(problem.find("points outside the file"), std::string::npos);
    }
    if (std::string(c.name) == "two resources") {
      EXPECT_EQ(zeProgramImageSize(source, entries), image.size());
      EXPECT_EQ(entries[0].id, 500u) << "the last appended comes first";
      EXPECT_EQ(entries[1].id, 501u);
    }
  }
}

TEST(Payload, LoadingFindsResource500AndRefusesWhatIsNoZip) {
  const std::vector<std::uint8_t> image = bytesOf("program");
  const std::vector<std::uint8_t> production = zeTestZip({{"main.lua", "print(1)"}});
  const std::vector<std::uint8_t> shaders = zeTestZip({{"shaders/a.hlsl", "float4 x;"}});
  struct Case {
    const char* name;
    std::vector<std::uint8_t> file;
    ZeLoadResult result;
  } cases[] = {
      {"production after the shaders", withResources(image, {{501, scrambled(shaders)}, {500, scrambled(production)}}),
       ZeLoadResult::Loaded},
      {"only resource 501", withResources(image, {{501, scrambled(shaders)}}), ZeLoadResult::NotFound},
      {"not scrambled", withResources(image, {{500, production}}), ZeLoadResult::Broken},
      {"not a ZIP", withResources(image, {{500, scrambled(bytesOf("just some text, no archive"))}}),
       ZeLoadResult::Broken},
      {"empty payload", withResources(image, {{500, {}}}), ZeLoadResult::Broken},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> archive;
    std::string problem;
    EXPECT_EQ(zeLoadResource(zeMemoryByteSource(c.file.data(), c.file.size()), 500, &archive, &problem), c.result)
        << c.name;
    if (c.result == ZeLoadResult::Loaded) {
      EXPECT_EQ(archive, production);
    }
    if (c.result == ZeLoadResult::Broken) {
      EXPECT_FALSE(problem.empty()) << c.name;
    }
  }
}

TEST(Payload, AnArchiveWhoseSizeIsNoMultipleOf4StillMounts) {
  // Grow one entry until the archive's size leaves a remainder of 1, 2 and 3.
  for (std::size_t remainder : {1, 2, 3}) {
    std::vector<std::uint8_t> zip;
    std::string text = "hello";
    for (int grow = 0; grow < 8; ++grow, text += "x") {
      zip = zeTestZip({{"dir/hello.txt", text}});
      if (zip.size() % 4 == remainder) break;
    }
    ASSERT_EQ(zip.size() % 4, remainder);
    const std::vector<std::uint8_t> file = withResources(bytesOf("image"), {{500, scrambled(zip)}});
    std::vector<std::uint8_t> archive;
    std::string problem;
    ASSERT_EQ(zeLoadResource(zeMemoryByteSource(file.data(), file.size()), 500, &archive, &problem),
              ZeLoadResult::Loaded);
    EXPECT_TRUE(std::equal(archive.end() - remainder, archive.end(), zip.end() - remainder));

    irr::SIrrlichtCreationParameters params;
    params.DriverType = irr::video::EDT_NULL;
    params.LoggingLevel = irr::ELL_NONE;
    irr::IrrlichtDevice* device = irr::createDeviceEx(params);
    ASSERT_NE(device, nullptr);
    zeFilesystemReset(device->getFileSystem());
    ASSERT_EQ(zeMountArchiveMemory(archive.data(), static_cast<long>(archive.size())), 0);
    std::string contents;
    EXPECT_TRUE(zeFileReadAll("dir/hello.txt", &contents));
    EXPECT_EQ(contents, text);
    zeFilesystemReset(nullptr);
    device->drop();
  }
}

TEST(Payload, ZipRecognitionNeedsADirectoryInsideTheBytes) {
  const std::vector<std::uint8_t> zip = zeTestZip({{"a", "b"}});
  EXPECT_TRUE(zeLooksLikeZip(zip.data(), zip.size()));
  std::vector<std::uint8_t> truncated(zip.begin() + 10, zip.end());
  EXPECT_FALSE(zeLooksLikeZip(truncated.data(), truncated.size()));
  std::vector<std::uint8_t> endOnly(zip.end() - 22, zip.end());
  EXPECT_FALSE(zeLooksLikeZip(endOnly.data(), endOnly.size()));
  std::vector<std::uint8_t> empty(22, 0);
  empty[0] = 'P', empty[1] = 'K', empty[2] = 5, empty[3] = 6;
  EXPECT_TRUE(zeLooksLikeZip(empty.data(), empty.size()));
}

}  // namespace
