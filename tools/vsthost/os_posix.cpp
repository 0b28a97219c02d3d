// vsthost's operating-system needs on Linux and other POSIX systems.
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tools/vsthost/os.h"

namespace vsthost::os {

void* OpenLibrary(const std::string& path, std::string& error) {
  // dlopen searches the library path for a bare name; a plug-in file is meant literally.
  const std::string literal = path.find('/') == std::string::npos ? "./" + path : path;
  // RTLD_NODELETE: a plug-in stays mapped until the process ends. Unloading one whose threads,
  // thread-local destructors or private C++ runtime outlive its last instance crashes or leaks,
  // and a command-line host gains nothing from giving the memory back early.
  void* handle = dlopen(literal.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (!handle) {
    const char* why = dlerror();
    error = "cannot load " + path + ": " + (why ? why : "unknown reason");
  }
  return handle;
}

void* LibrarySymbol(void* library, const char* name) {
  return dlsym(library, name);
}

void CloseLibrary(void* library) {
  if (library) dlclose(library);
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

FILE* OpenFile(const std::string& path, const char* mode) {
  return fopen(path.c_str(), mode);
}

bool CreateFileBeside(const std::string& path, std::string& temp_path, std::string& error) {
  std::vector<char> name(path.begin(), path.end());
  const char kSuffix[] = ".partial-XXXXXX";
  name.insert(name.end(), kSuffix, kSuffix + sizeof kSuffix);  // with the terminator
  const int fd = mkstemp(name.data());
  if (fd < 0) {
    error = "cannot write " + path + ": " + strerror(errno);
    return false;
  }
  // mkstemp makes the file private; the finished file should get the usual permissions.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  close(fd);
  temp_path = name.data();
  return true;
}

bool MoveIntoPlace(const std::string& from, const std::string& to, std::string& error) {
  if (rename(from.c_str(), to.c_str()) != 0) {
    error = "cannot write " + to + ": " + strerror(errno);
    return false;
  }
  return true;
}

void RemoveFile(const std::string& path) {
  unlink(path.c_str());
}

bool ErrorOutputIsTerminal() {
  return isatty(STDERR_FILENO);
}

double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec * 1e-9;
}

double WallSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec * 1e-9;
}

void SetEnvironment(const char* name, const char* value) {
  setenv(name, value, 1);
}

// The body's answer comes back through a pipe.
ChildResult RunApart(const std::function<std::string()>& body, int timeout_seconds) {
  fflush(stdout);
  fflush(stderr);
  int fds[2];
  if (pipe(fds) != 0) return {ChildResult::Ending::kNotStarted, "", "cannot create a pipe"};
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    const std::string answer = body();
    size_t written = 0;
    while (written < answer.size()) {
      const ssize_t n = write(fds[1], answer.data() + written, answer.size() - written);
      if (n <= 0) break;
      written += static_cast<size_t>(n);
    }
    close(fds[1]);
    _exit(0);  // the plug-in's static destructors are not part of the body
  }
  close(fds[1]);
  if (pid < 0) {
    close(fds[0]);
    return {ChildResult::Ending::kNotStarted, "", "cannot start a child process"};
  }
  std::string answer;
  bool timed_out = false;
  const double deadline = timeout_seconds * 1000.0;
  double waited = 0.0;
  char buffer[4096];
  for (;;) {
    pollfd pfd{fds[0], POLLIN, 0};
    const int ready = poll(&pfd, 1, 100);
    if (ready > 0) {
      const ssize_t n = read(fds[0], buffer, sizeof buffer);
      if (n <= 0) break;
      answer.append(buffer, static_cast<size_t>(n));
      continue;
    }
    waited += 100.0;
    if (waited >= deadline) {
      timed_out = true;
      kill(pid, SIGKILL);
      break;
    }
  }
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (timed_out) {
    return {ChildResult::Ending::kTimedOut, "",
            "did not finish within " + std::to_string(timeout_seconds) + " s"};
  }
  if (WIFSIGNALED(status)) {
    return {ChildResult::Ending::kCrashed, "",
            std::string("the plug-in crashed (") + strsignal(WTERMSIG(status)) + ")"};
  }
  if (answer.empty() || (WIFEXITED(status) && WEXITSTATUS(status) != 0)) {
    return {ChildResult::Ending::kNoAnswer, "",
            "the check ended without a verdict (exit status " +
                std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + ")"};
  }
  return {ChildResult::Ending::kFinished, answer, ""};
}

}  // namespace vsthost::os
