#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "crashreport/report_file.h"
#include "fd_io_p.h"

namespace crashreport {
namespace {

constexpr std::string_view kBeginPrefix = "======== bug report begin, ";
constexpr std::string_view kBeginSuffix = " bytes ========\n";
constexpr std::string_view kEnd = "======== bug report end ========\n";
constexpr std::string_view kCutNote = "\n[report cut here to fit the report file's size limit]\n";

std::string Reason(std::string_view path, std::string_view what) {
  return "cannot save the bug report to " + std::string(path) + ": " + std::string(what) + ": " +
         std::strerror(errno);
}

using crashreport::detail::WriteAll;

bool ReadAll(int fd, std::string& out) {
  out.clear();
  char buffer[65536];
  if (::lseek(fd, 0, SEEK_SET) < 0) return false;
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    out.append(buffer, static_cast<std::size_t>(n));
  }
}

// access() alone is not enough: root passes it everywhere, even in /proc.
// An unnamed temporary file proves that the folder takes new files without
// leaving anything behind; a file system without O_TMPFILE gets the benefit
// of the doubt.
bool IsWritableDir(const std::string& dir) {
  struct stat st {};
  if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || ::access(dir.c_str(), W_OK) != 0) return false;
  int fd = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  if (fd >= 0) {
    ::close(fd);
    return true;
  }
  return errno == EOPNOTSUPP || errno == EISDIR;
}

void MakeDirs(const std::string& path) {
  for (std::size_t at = 1; at <= path.size(); ++at)
    if (at == path.size() || path[at] == '/') ::mkdir(path.substr(0, at).c_str(), 0700);
}

}  // namespace

std::string ExecutableDir() {
  char buffer[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return ".";
  std::string path(buffer, static_cast<std::size_t>(n));
  std::size_t slash = path.rfind('/');
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string ChooseReportPath(std::string_view fileName, std::string_view exeDir, std::string_view stateHome) {
  std::string dir(exeDir);
  if (!dir.empty() && IsWritableDir(dir)) return dir + "/" + std::string(fileName);
  std::string state(stateHome);
  if (state.empty()) {
    const char* xdg = std::getenv("XDG_STATE_HOME");
    if (xdg && *xdg == '/') {
      state = xdg;
    } else {
      const char* home = std::getenv("HOME");
      state = std::string(home && *home ? home : "/tmp") + "/.local/state";
    }
  }
  std::string folder = state + "/Quorvik";
  MakeDirs(folder);
  return folder + "/" + std::string(fileName);
}

std::string FrameReport(std::string_view report) {
  std::string text(report);
  if (text.empty() || text.back() != '\n') text += '\n';
  std::string entry;
  entry.reserve(text.size() + 80);
  entry += kBeginPrefix;
  entry += std::to_string(text.size());
  entry += kBeginSuffix;
  entry += text;
  entry += kEnd;
  return entry;
}

std::vector<std::string> ParseReports(std::string_view content) {
  std::vector<std::string> reports;
  std::size_t at = 0;
  while ((at = content.find(kBeginPrefix, at)) != std::string_view::npos) {
    // A marker counts wherever it starts: a half-written entry leaves no
    // newline behind, and the whole entry after it must still be found.
    std::size_t numberAt = at + kBeginPrefix.size();
    std::size_t length = 0, digits = 0;
    while (numberAt + digits < content.size() && digits < 10 && content[numberAt + digits] >= '0' &&
           content[numberAt + digits] <= '9')
      length = length * 10 + static_cast<std::size_t>(content[numberAt + digits++] - '0');
    std::size_t textAt = numberAt + digits + kBeginSuffix.size();
    bool whole = digits > 0 && content.substr(numberAt + digits, kBeginSuffix.size()) == kBeginSuffix &&
                 textAt + length + kEnd.size() <= content.size() &&
                 content.substr(textAt + length, kEnd.size()) == kEnd;
    if (!whole) {
      // Damaged or half-written: look for the next entry after this marker.
      at += kBeginPrefix.size();
      continue;
    }
    reports.emplace_back(content.substr(textAt, length));
    at = textAt + length + kEnd.size();
  }
  return reports;
}

TSaveResult SaveReport(const std::string& path, std::string_view report, std::size_t maxBytes) {
  TSaveResult first = AppendReport(path, report, maxBytes);
  if (first.Ok) return first;
  std::size_t slash = path.rfind('/');
  std::string fallback = ChooseReportPath(slash == std::string::npos ? path : path.substr(slash + 1), "");
  if (fallback == path) return first;
  TSaveResult second = AppendReport(fallback, report, maxBytes);
  return second.Ok ? second : first;
}

std::vector<std::string> ReadReports(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  ::flock(fd, LOCK_SH);
  std::string content;
  bool ok = ReadAll(fd, content);
  ::close(fd);
  return ok ? ParseReports(content) : std::vector<std::string>{};
}

TSaveResult AppendReport(const std::string& path, std::string_view report, std::size_t maxBytes) {
  TSaveResult result;
  result.Path = path;
  std::string entry = FrameReport(report);
  if (entry.size() > maxBytes) {
    std::size_t overhead = FrameReport("").size() + kCutNote.size() + 12;
    std::size_t keep = maxBytes > overhead ? maxBytes - overhead : 0;
    entry = FrameReport(std::string(report.substr(0, keep)) + std::string(kCutNote));
  }

  // Lock, then make sure the locked file is still the one at path: another
  // process may have replaced it (rename) while we waited for the lock.
  int fd = -1;
  for (int attempt = 0;; ++attempt) {
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
      result.Error = Reason(path, "open");
      return result;
    }
    if (::flock(fd, LOCK_EX) != 0) {
      result.Error = Reason(path, "lock");
      ::close(fd);
      return result;
    }
    struct stat locked {
    }, named{};
    if (::fstat(fd, &locked) == 0 && ::stat(path.c_str(), &named) == 0 && locked.st_ino == named.st_ino &&
        locked.st_dev == named.st_dev)
      break;
    ::close(fd);
    if (attempt == 100) {
      errno = EBUSY;
      result.Error = Reason(path, "lock");
      return result;
    }
  }

  struct stat st {};
  ::fstat(fd, &st);
  std::size_t size = static_cast<std::size_t>(st.st_size);
  // A plain append only onto a file that ends with a whole entry; anything
  // else (a half entry left by a process that died while writing, garbage)
  // goes through the rewrite below, which keeps only whole entries.
  bool cleanTail = size == 0;
  if (size >= kEnd.size()) {
    char tail[kEnd.size()];
    cleanTail = ::pread(fd, tail, sizeof tail, st.st_size - static_cast<off_t>(sizeof tail)) ==
                    static_cast<ssize_t>(sizeof tail) &&
                std::string_view(tail, sizeof tail) == kEnd;
  }
  if (cleanTail && size + entry.size() <= maxBytes) {
    if (::lseek(fd, 0, SEEK_END) < 0 || !WriteAll(fd, entry) || ::fsync(fd) != 0) {
      result.Error = Reason(path, "write");
      // Leave no half entry behind when the disk filled up.
      [[maybe_unused]] int ignored = ::ftruncate(fd, st.st_size);
      ::close(fd);
      return result;
    }
    ::close(fd);
    result.Ok = true;
    return result;
  }

  // Over the limit: keep the newest whole entries that fit beside the new one.
  std::string content;
  if (!ReadAll(fd, content)) {
    result.Error = Reason(path, "read");
    ::close(fd);
    return result;
  }
  std::vector<std::string> reports = ParseReports(content);
  std::size_t budget = maxBytes - entry.size();
  std::size_t first = reports.size();
  std::size_t used = 0;
  while (first > 0) {
    std::size_t size = FrameReport(reports[first - 1]).size();
    if (used + size > budget) break;
    used += size;
    --first;
  }
  std::string rewritten;
  rewritten.reserve(used + entry.size());
  for (std::size_t i = first; i < reports.size(); ++i) rewritten += FrameReport(reports[i]);
  rewritten += entry;

  std::string temp = path + ".tmp." + std::to_string(::getpid());
  int out = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0) {
    result.Error = Reason(temp, "open");
    ::close(fd);
    return result;
  }
  bool ok = WriteAll(out, rewritten) && ::fsync(out) == 0;
  ok = (::close(out) == 0) && ok;
  if (!ok || ::rename(temp.c_str(), path.c_str()) != 0) {
    result.Error = Reason(path, ok ? "rename" : "write");
    ::unlink(temp.c_str());
    ::close(fd);
    return result;
  }
  // Make the rename itself durable.
  std::size_t slash = path.rfind('/');
  int dir =
      ::open(slash == std::string::npos ? "." : path.substr(0, slash + 1).c_str(), O_RDONLY | O_DIRECTORY);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  ::close(fd);  // releases the lock on the replaced file; waiters re-check the inode
  result.Ok = true;
  return result;
}

}  // namespace crashreport
