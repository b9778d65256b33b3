#include "core/regular_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <utility>

#include "core/log.h"

std::FILE* OpenRegularFile(const std::string& path) {
  // The system calls would cut the name at a NUL byte and reach another file.
  if (path.empty() || path.find('\0') != std::string::npos) {
    errno = ENOENT;
    return nullptr;
  }
  // Non-blocking: opening a FIFO for reading would otherwise wait for a
  // writer, for ever.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info;
  if (fstat(fd, &info) != 0) {
    const int reason = errno;
    close(fd);
    errno = reason;
    return nullptr;
  }
  if (!S_ISREG(info.st_mode)) {
    const int reason = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    close(fd);
    LogPrintf("OpenRegularFile: %s is not a regular file; it is not read", path.c_str());
    errno = reason;
    return nullptr;
  }
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  std::FILE* file = fdopen(fd, "rb");
  if (file == nullptr) {
    const int reason = errno;
    close(fd);
    errno = reason;
  }
  return file;
}

bool ReadRegularFile(const std::string& path, std::string* contents) {
  contents->clear();
  std::FILE* file = OpenRegularFile(path);
  if (file == nullptr) return false;
  char buffer[1 << 16];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) contents->append(buffer, n);
  const bool failed = std::ferror(file) != 0;
  const int reason = errno;
  std::fclose(file);
  if (failed) {
    contents->clear();
    errno = reason;
    return false;
  }
  return true;
}

namespace {

bool file_Later(const timespec& a, const timespec& b) {
  return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

// Whether `text` is a whole decimal number (no sign) that fits a long.
bool file_Decimal(const std::string& text, long* value) {
  if (text.empty() || text.size() > 18) return false;
  long parsed = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    parsed = parsed * 10 + (c - '0');
  }
  *value = parsed;
  return true;
}

bool file_EndsWith(const std::string& text, const char* end) {
  const size_t n = std::char_traits<char>::length(end);
  return text.size() >= n && text.compare(text.size() - n, n, end) == 0;
}

// The writer's process id when `name` is "<target>.tmp<pid>_<n>" for a target
// of ours; 0 otherwise.
long file_TemporaryWriter(const std::string& name) {
  const size_t tmp = name.rfind(".tmp");
  if (tmp == std::string::npos) return 0;
  const std::string target = name.substr(0, tmp);
  const size_t underscore = name.find('_', tmp);
  if (underscore == std::string::npos) return 0;
  long pid = 0;
  long serial = 0;
  if (!file_Decimal(name.substr(tmp + 4, underscore - tmp - 4), &pid) ||
      !file_Decimal(name.substr(underscore + 1), &serial) || pid <= 0 || pid > INT_MAX) {
    return 0;
  }
  const bool ours = target == "cvar.ini" || (target.size() > 4 && file_EndsWith(target, ".gra")) ||
                    (target.size() > 4 && file_EndsWith(target, ".bin")) ||
                    (target.size() > 5 && file_EndsWith(target, ".mpos"));
  return ours ? pid : 0;
}

}  // namespace

bool ChangedSince(const std::string& file, const std::string& source) {
  struct stat made;
  struct stat from;
  if (stat(file.c_str(), &made) != 0 || stat(source.c_str(), &from) != 0) return false;
  return file_Later(from.st_mtim, made.st_mtim) || file_Later(from.st_ctim, made.st_mtim);
}

int RemoveAbandonedTemporaryFiles(const std::string& folder) {
  DIR* dir = folder.empty() ? nullptr : opendir(folder.c_str());
  if (dir == nullptr) return 0;
  int removed = 0;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    const long pid = file_TemporaryWriter(name);
    // A process of that id that runs (or one we may not signal) may still be
    // writing; so may this process.
    if (pid == 0 || pid == static_cast<long>(getpid())) continue;
    if (kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    const std::string path = folder + (folder.back() == '/' ? "" : "/") + name;
    struct stat info;
    if (lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
    if (unlink(path.c_str()) == 0) {
      ++removed;
      LogPrintf("RemoveAbandonedTemporaryFiles: removed %s, left by a writer that no longer runs",
                path.c_str());
    }
  }
  closedir(dir);
  return removed;
}

AtomicFile::AtomicFile(std::string target) : target_(std::move(target)) {}

AtomicFile::~AtomicFile() { Abandon(); }

bool AtomicFile::Open() {
  if (target_.empty() || target_.find('\0') != std::string::npos) {
    errno = EINVAL;
    return false;
  }
  mode_t mode = 0666;
  struct stat info;
  if (stat(target_.c_str(), &info) == 0 && S_ISREG(info.st_mode)) mode = info.st_mode & 07777;
  static std::atomic<unsigned> serial{0};
  for (int attempt = 0; attempt < 8 && fd_ < 0; ++attempt) {
    const std::string candidate = target_ + ".tmp" + std::to_string(static_cast<long>(getpid())) +
                                  "_" + std::to_string(serial.fetch_add(1));
    fd_ = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    // Only a file this object created is ever removed again.
    if (fd_ >= 0) temp_ = candidate;
    if (fd_ < 0 && errno != EEXIST) break;
  }
  // The umask applies to open's mode; the target's own bits are kept whole.
  if (fd_ >= 0 && mode != 0666) fchmod(fd_, mode);
  return fd_ >= 0;
}

bool AtomicFile::Write(const void* data, uint64_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (ok_ && size > 0) {
    if (fd_ < 0) {
      ok_ = false;
      break;
    }
    const size_t chunk = size > (uint64_t{1} << 30) ? (size_t{1} << 30) : static_cast<size_t>(size);
    const ssize_t n = write(fd_, bytes, chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ok_ = false;
    if (n > 0) {
      bytes += n;
      size -= static_cast<uint64_t>(n);
    }
  }
  return ok_;
}

bool AtomicFile::Commit() {
  if (fd_ < 0) return false;
  if (ok_ && fsync(fd_) != 0) ok_ = false;
  if (close(fd_) != 0) ok_ = false;
  fd_ = -1;
  if (ok_ && std::rename(temp_.c_str(), target_.c_str()) != 0) ok_ = false;
  if (ok_) temp_.clear();
  return ok_;
}

void AtomicFile::Abandon() {
  const int reason = errno;
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (!temp_.empty()) unlink(temp_.c_str());
  temp_.clear();
  errno = reason;
}
