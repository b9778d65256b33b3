#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

// Reading and writing the program's own files (settings, caches, graphs,
// scenes, skeletons, motions) so that no path can hang or corrupt them.
//
// Reading opens only regular files: the open itself never blocks (a FIFO
// without a writer, a terminal, a device) and the opened file is checked
// before a byte is read. Writing goes to a temporary file created
// exclusively beside the target and renamed over it once complete, so the
// target is either the old file or the whole new one.

// Opens `path` for reading in binary mode when it is a regular file. Null
// when it cannot be opened (errno tells why: ENOENT for a missing file) or
// when it is anything but a regular file: that is logged as
// "OpenRegularFile: <path> is not a regular file; it is not read" and errno
// is EISDIR for a folder, EINVAL otherwise. The caller closes the file.
std::FILE* OpenRegularFile(const std::string& path);

// The whole of a regular file into *contents. False, with *contents empty,
// when OpenRegularFile refuses it or a read fails; errno tells why.
bool ReadRegularFile(const std::string& path, std::string* contents);

// True when both files exist and `source` was modified after `file` was
// last modified, or changed (its status time: a file renamed into place,
// copied with its old modification time, or whose times were set back) after
// `file` was written: what was made from `source` before then may no longer
// match it. A file dated ahead of its own writing (AtomicFile::MadeFrom) was
// written at its status time; any other at its modification time.
bool ChangedSince(const std::string& file, const std::string& source);

// Called with errno as a null OpenRegularFile of `path` left it: when that
// tells of a file that is there but cannot be read (no permission, an I/O
// error; neither a missing file nor one that is not a regular file, which
// OpenRegularFile logs), logs "<function>: <path> cannot be read: <reason>;
// it is not used" and returns true. errno is kept.
bool LogUnreadable(const char* function, const std::string& path);

// Removes the temporary files that AtomicFile left in `folder` for a target
// named like "cvar.ini", "*.gra", "*.bin" or "*.mpos" ("<target>.tmp<pid>_<n>",
// regular files only) when no writer holds its lock on it any more: a writer
// that was killed, wherever it ran (the lock goes with the process; the pid
// in the name says nothing of a process in another pid namespace or on
// another host of a shared folder). A file that cannot be opened or locked
// here (another user's, a file system without locks) is left alone. Each
// removal is logged; returns how many were removed.
int RemoveAbandonedTemporaryFiles(const std::string& folder);

// A new version of a file, written under a temporary name in the target's
// folder ("<target>.tmp<pid>_<n>", created exclusively, so no existing file,
// FIFO or link of that name is ever opened) and renamed over the target by
// Commit after a complete, synced, error-free write. From its creation until
// it is renamed or removed the temporary file carries a lock of its writer
// (an open-file-description write lock on the whole file, which the file
// system shares between hosts where it keeps locks at all), so that no
// start-up sweep takes it for an abandoned one. Destroyed without a
// successful Commit, it removes the temporary file it created; the target is
// left as it was.
class AtomicFile {
 public:
  explicit AtomicFile(std::string target);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Creates and locks the temporary file, with permissions 0666 (less the
  // umask) or, when the target is a regular file, with the target's
  // permissions and read permission for its owner: what replaces a file
  // that could not be read can be read. False (errno tells why) when it
  // cannot be created or the target name is empty or holds a NUL byte.
  bool Open();
  // The files the new version is made from. Commit dates it no earlier than
  // the newest of their modification times, so that a source dated ahead of
  // the clock (clock skew, an archive from another time zone) does not make
  // it count as older than its sources (ChangedSince) until that time has
  // passed. Missing sources are passed over; no source's time is changed.
  void MadeFrom(std::vector<std::string> sources) { sources_ = std::move(sources); }
  // Appends bytes; false once any write failed.
  bool Write(const void* data, uint64_t size);
  bool Write(const std::string& text) { return Write(text.data(), text.size()); }
  // Syncs the temporary file, renames it over the target and closes it. False
  // (the target unchanged) when any step or an earlier write failed.
  bool Commit();

 private:
  void Abandon();
  // Sets the file's modification time to its sources' newest when that is
  // later than its own.
  void DateAfterSources();

  std::string target_;
  std::string temp_;
  std::vector<std::string> sources_;
  int fd_ = -1;
  bool ok_ = true;
};
