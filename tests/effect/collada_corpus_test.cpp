// The COLLADA fuzz target's corpus, replayed with its check under
// AddressSanitizer (the reader and writer are built into this test with it).
#include <gtest/gtest.h>

#include <dirent.h>

#include <fstream>
#include <sstream>

#include "support/colladaFuzzCheck.h"

// The fuzz target's corpus, replayed with its check.
TEST(ColladaCorpus, EveryFileReadsWritesAndReadsBack) {
  DIR* dir = opendir("corpus-collada");
  ASSERT_NE(dir, nullptr);
  int files = 0;
  while (dirent* e = readdir(dir)) {
    if (e->d_name[0] == '.') continue;
    std::ifstream in(std::string("corpus-collada/") + e->d_name, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    std::string why;
    testing::internal::CaptureStdout();
    const bool ok = zeColladaFuzzCheck(bytes.str(), &why);
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(ok) << e->d_name << ": " << why;
    ++files;
  }
  closedir(dir);
  EXPECT_GT(files, 5);
}
