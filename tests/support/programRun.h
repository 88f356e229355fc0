// Running the real program (or a packaged copy of it) from a test: a command
// line in a folder, with an environment, its output and exit code.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace zetest {

struct ProgramRun {
  int exitCode;
  std::string out;
};

// `environment` is "NAME=value ..." put before the command; standard output
// and error are read together.
inline ProgramRun runProgram(const std::string& folder, const std::string& environment,
                             const std::string& commandLine) {
  const std::string command = "cd '" + folder + "' && " + environment + " " + commandLine + " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  ProgramRun run{-1, ""};
  if (!pipe) return run;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe)) run.out += buffer;
  const int status = ::pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

inline bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace zetest
