// zeTranslateHlsl: the translation in a child process with a time limit, so
// that a crash, an abort or an endless loop inside the third-party compiler
// stages becomes a compile error naming the file, never the end of the engine.
//
// The child is a fork of the engine: it inherits the warmed-up front end and
// the request, and asks the parent for every include over a pipe, so includes
// are opened by the engine's own file system in the engine's process (an
// archive's read position is never moved behind its back) and the include
// source records them as if the translation had run in place.
//
// Frames on the child -> parent pipe: u32 length, then a tag byte: 'I' an
// include request (name, includer), 'R' the result (ok, errors, program).
// The parent answers an include with (found, path, bytes) on the other pipe.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>

#include "effect/zeHlslTranslator.h"

namespace {

using Clock = std::chrono::steady_clock;

int gTimeLimitMs = 30000;

bool writeAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

bool writeFrame(int fd, const std::string& payload) {
  std::string frame;
  zeBinPutU32(&frame, uint32_t(payload.size()));
  return writeAll(fd, frame + payload);
}

// Reads exactly n bytes; false on end of file, error or (with a deadline) time out.
bool readExact(int fd, char* to, size_t n, const Clock::time_point* deadline, bool* timedOut) {
  size_t done = 0;
  while (done < n) {
    if (deadline) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now()).count();
      if (left <= 0) {
        *timedOut = true;
        return false;
      }
      pollfd p{fd, POLLIN, 0};
      int r = ::poll(&p, 1, int(std::min<long long>(left, 1 << 30)));
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) continue;  // the deadline check above ends it
    }
    ssize_t got = ::read(fd, to + done, n - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    done += size_t(got);
  }
  return true;
}

bool readFrame(int fd, std::string* payload, const Clock::time_point* deadline, bool* timedOut) {
  char head[4];
  if (!readExact(fd, head, 4, deadline, timedOut)) return false;
  const uint8_t* c = reinterpret_cast<const uint8_t*>(head);
  uint32_t size = 0;
  if (!zeBinGetU32(&c, c + 4, &size) || size > (1u << 30)) return false;
  payload->resize(size);
  return size == 0 || readExact(fd, &(*payload)[0], size, deadline, timedOut);
}

// The child's include source: every open is a question to the parent.
class ParentIncludes : public IZeShaderIncludeSource {
 public:
  ParentIncludes(int toParent, int fromParent) : to_(toParent), from_(fromParent) {}
  bool openInclude(const std::string& name, const std::string& includerPath, std::string* openedPath,
                   std::string* bytes) override {
    std::string ask = "I";
    zeBinPutString(&ask, name);
    zeBinPutString(&ask, includerPath);
    std::string answer;
    bool unused = false;
    if (!writeFrame(to_, ask) || !readFrame(from_, &answer, nullptr, &unused)) _exit(3);
    const uint8_t* c = reinterpret_cast<const uint8_t*>(answer.data());
    const uint8_t* end = c + answer.size();
    uint32_t found = 0;
    if (!zeBinGetU32(&c, end, &found) || !zeBinGetString(&c, end, openedPath) || !zeBinGetString(&c, end, bytes))
      _exit(3);
    return found != 0;
  }

 private:
  int to_, from_;
};

// A source every build translates: run once in the engine's process before
// the first child, so the front end's built-in tables are made once and
// inherited instead of remade by every child.
void warmUp() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (uint32_t stage : {ZE_STAGE_VERTEX, ZE_STAGE_PIXEL}) {
      SZeTranslateRequest r;
      r.stage = stage;
      r.sourcePath = "warm-up";
      r.source = stage == ZE_STAGE_VERTEX ? "float4 main(float4 p : POSITION) : POSITION { return p; }"
                                          : "float4 main() : COLOR { return 1; }";
      SZeCompiledProgram p;
      std::string errors;
      zeTranslateHlslInProcess(r, &p, &errors);
    }
  });
}

[[noreturn]] void runChild(const SZeTranslateRequest& request, int toParent, int fromParent) {
  // The parent may be gone (killed at the time limit): a write then fails, never a signal.
  ::signal(SIGPIPE, SIG_IGN);
  ParentIncludes includes(toParent, fromParent);
  SZeTranslateRequest mine = request;
  mine.includes = request.includes ? &includes : nullptr;
  SZeCompiledProgram program;
  std::string errors;
  const bool ok = zeTranslateHlslInProcess(mine, &program, &errors);
  std::string result = "R";
  zeBinPutU32(&result, ok ? 1 : 0);
  zeBinPutString(&result, errors);
  if (ok) {
    std::string bytes;
    program.serialize(&bytes);
    result += bytes;
  }
  _exit(writeFrame(toParent, result) ? 0 : 4);
}

std::string failure(const SZeTranslateRequest& request, const std::string& what) {
  return request.sourcePath + "(0): error: " + what + "\n";
}

}  // namespace

void zeSetHlslTimeLimit(int milliseconds) { gTimeLimitMs = milliseconds > 0 ? milliseconds : 30000; }

bool zeTranslateHlsl(const SZeTranslateRequest& request, SZeCompiledProgram* out, std::string* errors) {
  errors->clear();
  warmUp();
  int up[2], down[2];  // up: child -> parent, down: parent -> child
  if (::pipe2(up, O_CLOEXEC) != 0) {
    *errors = failure(request, std::string("cannot start the shader compiler: ") + std::strerror(errno));
    return false;
  }
  if (::pipe2(down, O_CLOEXEC) != 0) {
    ::close(up[0]);
    ::close(up[1]);
    *errors = failure(request, std::string("cannot start the shader compiler: ") + std::strerror(errno));
    return false;
  }
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(up[0]);
    ::close(down[1]);
    runChild(request, up[1], down[0]);
  }
  ::close(up[1]);
  ::close(down[0]);
  if (child < 0) {
    ::close(up[0]);
    ::close(down[1]);
    *errors = failure(request, std::string("cannot start the shader compiler: ") + std::strerror(errno));
    return false;
  }
  // The parent must not die of a write to a child that crashed: the write fails instead.
  struct sigaction ignore {}, previous {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, &previous);

  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(gTimeLimitMs);
  bool timedOut = false, haveResult = false, ok = false;
  std::string frame;
  while (!haveResult && readFrame(up[0], &frame, &deadline, &timedOut)) {
    if (frame.empty()) break;
    const uint8_t* c = reinterpret_cast<const uint8_t*>(frame.data()) + 1;
    const uint8_t* end = reinterpret_cast<const uint8_t*>(frame.data()) + frame.size();
    if (frame[0] == 'I') {
      std::string name, includer, path, bytes;
      if (!zeBinGetString(&c, end, &name) || !zeBinGetString(&c, end, &includer)) break;
      const bool found = request.includes && request.includes->openInclude(name, includer, &path, &bytes);
      std::string answer;
      zeBinPutU32(&answer, found ? 1 : 0);
      zeBinPutString(&answer, path);
      zeBinPutString(&answer, bytes);
      if (found) request.includes->closeInclude(bytes.data());
      if (!writeFrame(down[1], answer)) break;
    } else if (frame[0] == 'R') {
      uint32_t translated = 0;
      std::string why;
      if (!zeBinGetU32(&c, end, &translated) || !zeBinGetString(&c, end, errors)) break;
      haveResult = true;
      ok = translated != 0;
      if (ok && !out->deserialize(c, size_t(end - c), request.sourcePath, &why)) {
        *errors = failure(request, "the shader compiler's result was damaged: " + why);
        ok = false;
      }
    } else {
      break;
    }
  }
  ::close(up[0]);
  ::close(down[1]);
  if (!haveResult) ::kill(child, SIGKILL);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  ::sigaction(SIGPIPE, &previous, nullptr);
  if (haveResult) return ok;
  if (timedOut)
    *errors = failure(request, "the shader compiler did not finish within " + std::to_string(gTimeLimitMs) +
                                   " ms on this file and was stopped");
  else if (WIFSIGNALED(status))
    *errors = failure(request, "the shader compiler crashed on this file (signal " + std::to_string(WTERMSIG(status)) +
                                   ", " + strsignal(WTERMSIG(status)) + ")");
  else
    *errors = failure(request, "the shader compiler ended without a result on this file (exit code " +
                                   std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + ")");
  return false;
}
