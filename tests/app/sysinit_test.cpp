// The program directory is where the program file really is: a symbolic link
// in bin/ (as an installation makes) must not move the engine's folders.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/zeSysInit.h"

namespace {

TEST(SysInit, ProgramDirectoryFollowsSymbolicLinks) {
  char pattern[] = "/tmp/zarn-sysinit-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string root = pattern;
  ASSERT_EQ(std::system(("mkdir -p " + root + "/bin " + root + "/lib/zarn && touch " + root +
                         "/lib/zarn/zarn && ln -s ../lib/zarn/zarn " + root + "/bin/zarn")
                            .c_str()),
            0);
  struct Case {
    std::string argv0;
    std::string directory;
  } cases[] = {
      {root + "/bin/zarn", root + "/lib/zarn/"},       // through the link
      {root + "/lib/zarn/zarn", root + "/lib/zarn/"},  // the file itself
      {root + "/bin/../bin/zarn", root + "/lib/zarn/"},
      {"/opt/zarn/bin/zarn", "/opt/zarn/bin/"},  // not there: taken as given
  };
  for (const Case& c : cases) {
    char* argv[] = {const_cast<char*>(c.argv0.c_str()), nullptr};
    ASSERT_EQ(zeSysInit(1, argv), 0);
    EXPECT_EQ(std::string(zeProgramDirectory()), c.directory) << c.argv0;
  }
  std::system(("rm -rf " + root).c_str());
}

}  // namespace
