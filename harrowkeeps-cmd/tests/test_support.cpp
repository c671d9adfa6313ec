#include "test_support.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "command_text.h"
#include "temporary_file.h"
#include "xcopy_command.h"

namespace fs = std::filesystem;

Sandbox makeSandbox() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/hkcmd-test-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!mkdtemp(buffer.data())) throw std::runtime_error("mkdtemp failed");
  Sandbox sandbox;
  sandbox.root = buffer.data();
  sandbox.drives = sandbox.root + "/drives";
  sandbox.c = sandbox.root + "/disk-c";
  sandbox.j = sandbox.root + "/disk-j";
  makeFolders(sandbox.drives);
  makeFolders(sandbox.c);
  makeFolders(sandbox.j);
  fs::create_directory_symlink(sandbox.c, sandbox.drives + "/c:");
  fs::create_directory_symlink(sandbox.j, sandbox.drives + "/j:");
  return sandbox;
}

void removeSandbox(const Sandbox& sandbox) {
  // Tests take permissions away; give them back so everything can go.
  std::error_code ignored;
  for (auto it = fs::recursive_directory_iterator(sandbox.root, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    if (!it->is_symlink(ignored)) chmod(it->path().c_str(), 0755);
  }
  fs::remove_all(sandbox.root, ignored);
}

void applyChildOptions(const RunOptions& options) {
  if (!options.drives.empty()) setenv("HARROWKEEPS_DRIVES", options.drives.c_str(), 1);
  if (!options.workingFolder.empty() && chdir(options.workingFolder.c_str()) != 0) _exit(120);
  if (options.fileSizeLimit != RLIM_INFINITY) {
    rlimit limit{options.fileSizeLimit, options.fileSizeLimit};
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  if (options.openFilesLimit != RLIM_INFINITY) {
    rlimit limit{options.openFilesLimit, options.openFilesLimit};
    setrlimit(RLIMIT_NOFILE, &limit);
  }
  if (options.withoutOverride && geteuid() == 0) {
    // Root keeps its uid but loses the capabilities that skip permission
    // checks, for this child and what it executes.
    for (int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
      prctl(PR_CAPBSET_DROP, capability, 0, 0, 0);
  }
}

pid_t startProgram(const std::string& commandText, const RunOptions& options, int& outFd,
                   int& errFd) {
  int inPipe[2], outPipe[2], errPipe[2];
  if (pipe2(inPipe, O_CLOEXEC) != 0 || pipe2(outPipe, O_CLOEXEC) != 0 ||
      pipe2(errPipe, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe failed");
  pid_t child = fork();
  if (child == 0) {
    setsid();  // no controlling terminal: /dev/tty cannot be opened
    dup2(inPipe[0], 0);
    dup2(outPipe[1], 1);
    dup2(options.mergeOutput ? outPipe[1] : errPipe[1], 2);
    applyChildOptions(options);
    const char* binary = HARROWKEEPS_CMD_BINARY;
    execl(binary, binary, commandText.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(inPipe[0]);
  close(outPipe[1]);
  close(errPipe[1]);
  if (!options.input.empty()) {
    ssize_t ignored = write(inPipe[1], options.input.data(), options.input.size());
    (void)ignored;
  }
  close(inPipe[1]);
  outFd = outPipe[0];
  errFd = errPipe[0];
  return child;
}

RunResult finishProgram(pid_t child, int outFd, int errFd) {
  RunResult result;
  pollfd watched[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open = 2;
  while (open > 0) {
    if (poll(watched, 2, 60000) <= 0) break;
    for (int i = 0; i < 2; ++i) {
      if (watched[i].fd < 0 || watched[i].revents == 0) continue;
      char buffer[4096];
      ssize_t got = read(watched[i].fd, buffer, sizeof buffer);
      if (got <= 0) {
        close(watched[i].fd);
        watched[i].fd = -1;
        --open;
      } else {
        sinks[i]->append(buffer, static_cast<size_t>(got));
      }
    }
  }
  for (auto& w : watched)
    if (w.fd >= 0) close(w.fd);
  int status = 0;
  waitpid(child, &status, 0);
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  return result;
}

RunResult runProgram(const std::string& commandText, const RunOptions& options) {
  int outFd = -1, errFd = -1;
  pid_t child = startProgram(commandText, options, outFd, errFd);
  return finishProgram(child, outFd, errFd);
}

void writeFile(const std::string& path, const std::string& content) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << content;
  if (!file) throw std::runtime_error("cannot write " + path);
}

std::string readFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

bool exists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

void makeFolders(const std::string& path) {
  fs::create_directories(path);
}

void setModificationTime(const std::string& path, long long seconds, long nanoseconds) {
  timespec times[2] = {{static_cast<time_t>(seconds), nanoseconds},
                       {static_cast<time_t>(seconds), nanoseconds}};
  if (utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0)
    throw std::runtime_error("utimensat failed on " + path);
}

timespec modificationTime(const std::string& path) {
  struct stat info {};
  lstat(path.c_str(), &info);
  return info.st_mtim;
}

std::vector<std::string> filesBelow(const std::string& folder) {
  std::vector<std::string> found;
  std::error_code ignored;
  for (auto it = fs::recursive_directory_iterator(folder, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    // Worked out from the names alone: a short-lived temporary of the program under test may
    // be gone by now, and looking it up would throw.
    std::string relative = it->path().lexically_relative(folder).string();
    found.push_back(it->is_directory(ignored) && !it->is_symlink(ignored) ? relative + "/"
                                                                          : relative);
  }
  std::sort(found.begin(), found.end());
  return found;
}

std::vector<std::string> temporariesBelow(const std::string& folder) {
  std::vector<std::string> found;
  for (const std::string& name : filesBelow(folder))
    if (isOurTemporaryName(std::filesystem::path(name).filename().string())) found.push_back(name);
  return found;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) result.push_back(line);
  return result;
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

timespec keptInSteps(const timespec& time, long long step) {
  constexpr long long second = 1'000'000'000;
  long long total = static_cast<long long>(time.tv_sec) * second + time.tv_nsec;
  total -= total % step;
  return timespec{static_cast<time_t>(total / second), static_cast<long>(total % second)};
}

std::string pattern(std::size_t size) {
  std::string data(size, '\0');
  for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>('a' + (i * 7 + i / 4096) % 26);
  return data;
}

int watchForNewEntries(const std::string& folder) {
  int watch = inotify_init1(IN_CLOEXEC);
  if (watch < 0) return -1;
  if (inotify_add_watch(watch, folder.c_str(), IN_CREATE) < 0) {
    close(watch);
    return -1;
  }
  return watch;
}

bool waitForNewEntry(int watch) {
  pollfd ready{watch, POLLIN, 0};
  if (poll(&ready, 1, 60000) != 1) return false;
  alignas(inotify_event) char events[4096];
  return read(watch, events, sizeof events) > 0;
}

bool canMakeUnnamedFilesIn(const std::string& folder) {
  int fd = open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  close(fd);
  return true;
}

bool waitForUnnamedFileIn(pid_t pid, const std::string& folder) {
  // The kernel shows such a file as "<folder>/#<inode> (deleted)".
  const std::string start = fs::canonical(folder).string() + "/#";
  const std::string descriptors = "/proc/" + std::to_string(pid) + "/fd";
  for (int attempt = 0; attempt < 60000; ++attempt) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(descriptors, error)) {
      std::string target = fs::read_symlink(entry.path(), error).string();
      if (!error && target.rfind(start, 0) == 0) return true;
    }
    usleep(1000);
  }
  return false;
}

void SandboxTest::SetUp() {
  sandbox = makeSandbox();
  options.drives = sandbox.drives;
  options.workingFolder = sandbox.c;
}

void SandboxTest::TearDown() {
  removeSandbox(sandbox);
}

namespace {
std::atomic<int> outputOfRunHere{-1};
}  // namespace

std::string inProcessOutputSoFar() {
  int fd = outputOfRunHere.load();
  std::string text;
  if (fd < 0) return text;
  char buffer[4096];
  off_t at = 0;
  for (ssize_t got; (got = pread(fd, buffer, sizeof buffer, at)) > 0; at += got)
    text.append(buffer, static_cast<std::size_t>(got));
  return text;
}

InProcessResult runXcopyHere(const std::string& arguments, const std::string& drives,
                             const BatchLimits& limits) {
  int fd = memfd_create("xcopy-output", MFD_CLOEXEC);
  if (fd < 0) throw std::runtime_error("memfd_create failed");
  outputOfRunHere.store(fd);
  XcopySettings settings;
  settings.drives = drives;
  settings.output = Output{fd, fd};
  settings.batchLimits = limits;
  InProcessResult result;
  result.exitCode = runXcopy(splitArguments(arguments), settings);
  outputOfRunHere.store(-1);
  off_t size = lseek(fd, 0, SEEK_CUR);
  result.output.resize(static_cast<std::size_t>(size));
  if (pread(fd, result.output.data(), result.output.size(), 0) != size)
    throw std::runtime_error("cannot read the output back");
  close(fd);
  return result;
}
