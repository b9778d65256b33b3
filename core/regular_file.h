#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

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

// True when both files exist and `source` was modified or changed (its
// status time: a file renamed into place, copied with its old modification
// time, or whose times were set back) after `file` was last modified: what
// was made from `source` before then may no longer match it.
bool ChangedSince(const std::string& file, const std::string& source);

// Removes the temporary files that AtomicFile left in `folder` for a target
// named like "cvar.ini", "*.gra", "*.bin" or "*.mpos" ("<target>.tmp<pid>_<n>",
// regular files only) when no process of that id runs any more: a writer that
// was killed. Each removal is logged; returns how many were removed.
int RemoveAbandonedTemporaryFiles(const std::string& folder);

// A new version of a file, written under a temporary name in the target's
// folder ("<target>.tmp<pid>_<n>", created exclusively, so no existing file,
// FIFO or link of that name is ever opened) and renamed over the target by
// Commit after a complete, synced, error-free write. Destroyed without a
// successful Commit, it removes the temporary file it created; the target is
// left as it was.
class AtomicFile {
 public:
  explicit AtomicFile(std::string target);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Creates the temporary file with permissions 0666 (less the umask) or,
  // when the target is a regular file, with the target's permissions. False
  // (errno tells why) when it cannot be created or the target name is empty
  // or holds a NUL byte.
  bool Open();
  // Appends bytes; false once any write failed.
  bool Write(const void* data, uint64_t size);
  bool Write(const std::string& text) { return Write(text.data(), text.size()); }
  // Syncs and closes the temporary file and renames it over the target.
  // False (the target unchanged) when any step or an earlier write failed.
  bool Commit();

 private:
  void Abandon();

  std::string target_;
  std::string temp_;
  int fd_ = -1;
  bool ok_ = true;
};
