#include "core/regular_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
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

const timespec& file_Earlier(const timespec& a, const timespec& b) { return file_Later(a, b) ? b : a; }

bool file_SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Takes a lock of `type` (F_WRLCK for a writer, F_RDLCK for a sweep asking
// whether a writer holds one) on the whole file, for the open file
// description of `fd`: it conflicts with the locks of every other
// description, in this process too, and goes when the last descriptor of
// this one closes, however the process ends. 0 when taken, else errno.
int file_Lock(int fd, short type) {
  struct flock lock = {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 0;  // to the end, however the file grows
  return fcntl(fd, F_OFD_SETLK, &lock) == 0 ? 0 : errno;
}

// Whether a lock was refused because another description holds one (any
// other refusal: the file system keeps no such locks).
bool file_LockHeld(int error) { return error == EAGAIN || error == EACCES; }

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

// Whether `name` is "<target>.tmp<pid>_<n>", AtomicFile's name for a
// temporary file, for a target of ours.
bool file_IsTemporaryName(const std::string& name) {
  const size_t tmp = name.rfind(".tmp");
  if (tmp == std::string::npos) return false;
  const std::string target = name.substr(0, tmp);
  const size_t underscore = name.find('_', tmp);
  if (underscore == std::string::npos) return false;
  long pid = 0;
  long serial = 0;
  if (!file_Decimal(name.substr(tmp + 4, underscore - tmp - 4), &pid) ||
      !file_Decimal(name.substr(underscore + 1), &serial) || pid <= 0 || pid > INT_MAX) {
    return false;
  }
  return target == "cvar.ini" || (target.size() > 4 && file_EndsWith(target, ".gra")) ||
         (target.size() > 4 && file_EndsWith(target, ".bin")) ||
         (target.size() > 5 && file_EndsWith(target, ".mpos"));
}

}  // namespace

bool ChangedSince(const std::string& file, const std::string& source) {
  struct stat made;
  struct stat from;
  if (stat(file.c_str(), &made) != 0 || stat(source.c_str(), &from) != 0) return false;
  // A file's status time is the clock's time of its last change; a
  // modification time ahead of it was set, not written. Such a file was
  // written no later than its status time, and a source changed after that
  // has changed since, whatever time it carries.
  return file_Later(from.st_mtim, made.st_mtim) ||
         file_Later(from.st_ctim, file_Earlier(made.st_mtim, made.st_ctim));
}

bool LogUnreadable(const char* function, const std::string& path) {
  const int reason = errno;
  if (reason == ENOENT || reason == ENOTDIR || reason == EISDIR || reason == EINVAL) return false;
  LogPrintf("%s: %s cannot be read: %s; it is not used", function, path.c_str(), std::strerror(reason));
  errno = reason;
  return true;
}

int RemoveAbandonedTemporaryFiles(const std::string& folder) {
  DIR* dir = folder.empty() ? nullptr : opendir(folder.c_str());
  if (dir == nullptr) return 0;
  int removed = 0;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (!file_IsTemporaryName(name)) continue;
    const std::string path = folder + (folder.back() == '/' ? "" : "/") + name;
    struct stat named;
    if (lstat(path.c_str(), &named) != 0 || !S_ISREG(named.st_mode)) continue;
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) continue;
    // The read lock is refused while the writer holds its write lock. Held
    // here until the name is gone: a writer that created the file a moment
    // ago and finds it removed, or cannot lock it, makes another one.
    struct stat opened;
    if (fstat(fd, &opened) == 0 && file_SameFile(opened, named) && file_Lock(fd, F_RDLCK) == 0 &&
        lstat(path.c_str(), &named) == 0 && file_SameFile(opened, named) && unlink(path.c_str()) == 0) {
      ++removed;
      LogPrintf("RemoveAbandonedTemporaryFiles: removed %s, left by a writer that no longer runs",
                path.c_str());
    }
    close(fd);
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
  if (stat(target_.c_str(), &info) == 0 && S_ISREG(info.st_mode)) mode = (info.st_mode & 07777) | S_IRUSR;
  static std::atomic<unsigned> serial{0};
  for (int attempt = 0; attempt < 8 && fd_ < 0; ++attempt) {
    const std::string candidate = target_ + ".tmp" + std::to_string(static_cast<long>(getpid())) +
                                  "_" + std::to_string(serial.fetch_add(1));
    const int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      break;
    }
    // A sweep may have found the new file before its lock: it has removed
    // it (no link left) or holds its own lock to do so. That file is given
    // up for another. Where the file system keeps no locks the file is
    // written unlocked, and no sweep can remove it.
    const int locked = file_Lock(fd, F_WRLCK);
    struct stat created;
    const bool known = fstat(fd, &created) == 0;
    if (file_LockHeld(locked) || (known && created.st_nlink == 0)) {
      struct stat named;
      // Only a file this object created is ever removed again.
      if (known && lstat(candidate.c_str(), &named) == 0 && file_SameFile(created, named)) {
        unlink(candidate.c_str());
      }
      close(fd);
      errno = EEXIST;
      continue;
    }
    fd_ = fd;
    temp_ = candidate;
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
  if (ok_) DateAfterSources();
  if (ok_ && fsync(fd_) != 0) ok_ = false;
  // Renamed before it is closed: the lock stays until the temporary name is
  // gone. The data are synced, so the close can no longer lose them.
  if (ok_ && std::rename(temp_.c_str(), target_.c_str()) != 0) ok_ = false;
  if (ok_) {
    temp_.clear();
    close(fd_);
    fd_ = -1;
  }
  return ok_;
}

void AtomicFile::DateAfterSources() {
  struct stat own;
  if (sources_.empty() || fstat(fd_, &own) != 0) return;
  timespec newest = own.st_mtim;
  for (const std::string& source : sources_) {
    struct stat info;
    if (stat(source.c_str(), &info) == 0 && file_Later(info.st_mtim, newest)) newest = info.st_mtim;
  }
  // A file dated as written when this fails is made again at the next start,
  // no worse than that.
  const timespec times[2] = {{0, UTIME_OMIT}, newest};
  if (file_Later(newest, own.st_mtim)) futimens(fd_, times);
}

void AtomicFile::Abandon() {
  const int reason = errno;
  // Removed before it is closed, so that no sweep finds it unlocked.
  if (!temp_.empty()) unlink(temp_.c_str());
  temp_.clear();
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  errno = reason;
}
