// The two caches beside every motion file: the posture cache (".bin", one
// raw Posture per frame) and the joint-position cache (".mpos", one raw
// MarkerSet per frame). Both are a count line ("N" in decimal and a line
// feed) followed by exactly N fixed-size records.

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/regular_file.h"
#include "motion/motion.h"

namespace {

constexpr uint64_t kPostureRecordSize = sizeof(Posture);
constexpr uint64_t kMarkerRecordSize = sizeof(MarkerSet);

struct cache_FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using cache_File = std::unique_ptr<std::FILE, cache_FileCloser>;

cache_File cache_OpenForReading(const std::string& file) {
  if (file.empty()) return cache_File();
  return cache_File(OpenRegularFile(file));
}

// Reads the count line of an open cache as a stream's integer extraction
// would (leading white space skipped, an optional sign, decimal digits), then
// the one separator byte. *count is the record count (0 .. INT_MAX) and
// *dataBytes the number of bytes after the separator. False when the count
// is malformed, negative or too large, the separator is missing, or the file
// is not a regular file.
bool cache_ReadHeader(std::FILE* file, int* count, uint64_t* dataBytes) {
  struct stat info;
  if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  int c = std::getc(file);
  while (c != EOF && std::isspace(c)) c = std::getc(file);
  bool negative = false;
  if (c == '+' || c == '-') {
    negative = (c == '-');
    c = std::getc(file);
  }
  if (c == EOF || !std::isdigit(c)) return false;
  long long value = 0;
  while (c != EOF && std::isdigit(c)) {
    value = value * 10 + (c - '0');
    if (value > INT_MAX) return false;
    c = std::getc(file);
  }
  if (negative && value != 0) return false;
  // c is the separator; the digits are over.
  if (c == EOF) return false;
  const long offset = std::ftell(file);
  if (offset < 0 || static_cast<uint64_t>(offset) > static_cast<uint64_t>(info.st_size)) return false;
  *count = static_cast<int>(value);
  *dataBytes = static_cast<uint64_t>(info.st_size) - static_cast<uint64_t>(offset);
  return true;
}

// The first record of `count` records of `recordSize` bytes (whole floats)
// that holds a value that is not a finite number: NaN or an infinity, which
// no posture or joint position ever is. -1 when every value is finite.
int64_t cache_FirstNonFinite(const void* records, uint64_t count, uint64_t recordSize) {
  const uint64_t perRecord = recordSize / sizeof(float);
  const uint64_t values = count * perRecord;
  const unsigned char* bytes = static_cast<const unsigned char*>(records);
  for (uint64_t v = 0; v < values; ++v) {
    float value;
    std::memcpy(&value, bytes + v * sizeof(float), sizeof(float));
    if (!std::isfinite(value)) return static_cast<int64_t>(v / perRecord);
  }
  return -1;
}

// Count line, then the records, as one cache file made from `sources`.
bool cache_Write(AtomicFile* out, int count, const void* records, uint64_t bytes,
                 const std::vector<std::string>& sources) {
  const std::string header = std::to_string(count) + "\n";
  out->MadeFrom(sources);
  return out->Write(header.data(), header.size()) && out->Write(records, bytes) && out->Commit();
}

// The joint positions of `count` postures, as the joint-position cache
// holds them.
void motion_ComputeMarkers(const Posture* postures, int count, MarkerSet* markers) {
  for (int f = 0; f < count; ++f) markers[f].ComputeFromPosture(postures[f]);
}

}  // namespace

int Motion::WriteBinaryPostures(const std::string& file, const Posture* postures, int count,
                                const std::vector<std::string>& sources) {
  AtomicFile out(file);
  if (count < 0 || (count > 0 && postures == nullptr) || !out.Open()) {
    LogPrintf("WriteBinaryPostures: Error outputing %s", file.c_str());
    return -1;
  }
  if (!cache_Write(&out, count, postures, kPostureRecordSize * static_cast<uint64_t>(count), sources)) {
    LogPrintf("WriteBinaryPostures: Error outputing %s", file.c_str());
    return -1;
  }
  return 0;
}

int Motion::ReadBinaryPostures(const std::string& file) {
  cache_File in = cache_OpenForReading(file);
  int count = 0;
  uint64_t dataBytes = 0;
  // The size check comes before the allocation, so a corrupt count never
  // allocates more than the file can hold.
  if (in == nullptr || !cache_ReadHeader(in.get(), &count, &dataBytes) ||
      dataBytes != kPostureRecordSize * static_cast<uint64_t>(count)) {
    LogPrintf("ReadBinaryPostures: Error reading %s", file.c_str());
    return -1;
  }
  Posture* read = new Posture[count];
  if (count > 0 && std::fread(read, 1, dataBytes, in.get()) != dataBytes) {
    delete[] read;
    LogPrintf("ReadBinaryPostures: Error reading %s", file.c_str());
    return -1;
  }
  in.reset();
  // Such a value would never leave the frames (positions and blends carry it
  // on for good): the cache is refused as a short one is.
  const int64_t bad = cache_FirstNonFinite(read, static_cast<uint64_t>(count), kPostureRecordSize);
  if (bad >= 0) {
    delete[] read;
    LogPrintf("ReadBinaryPostures: %s: frame %lld holds a value that is not a finite number", file.c_str(),
              static_cast<long long>(bad));
    LogPrintf("ReadBinaryPostures: Error reading %s", file.c_str());
    return -1;
  }
  delete[] frames;
  frames = read;
  frameCount = count;
  LogPrintf("Done Loading Motion %s parsed as binary...", file.c_str());
  return 0;
}

int Motion::DumpMarkerPositions(const std::string& file, const Posture* postures, int count,
                                const std::vector<std::string>& sources) {
  AtomicFile out(file);
  if (count < 0 || (count > 0 && postures == nullptr) || !out.Open()) {
    LogPrintf("DumpMarkerPositions: Error outputing %s", file.c_str());
    return -1;
  }
  std::vector<MarkerSet> markers(static_cast<size_t>(count));
  motion_ComputeMarkers(postures, count, markers.data());
  if (!cache_Write(&out, count, markers.data(), kMarkerRecordSize * static_cast<uint64_t>(count), sources)) {
    LogPrintf("DumpMarkerPositions: Error outputing %s", file.c_str());
    return -1;
  }
  LogPrintf("DumpMarkerPositions: Done dumping marker positions to file - %s", file.c_str());
  return 0;
}

bool Motion::IsMarkerCacheComplete(const std::string& file, int count) {
  cache_File in = cache_OpenForReading(file);
  if (in == nullptr && !file.empty()) LogUnreadable("LoadMotion", file);
  int stored = 0;
  uint64_t dataBytes = 0;
  if (in == nullptr || !cache_ReadHeader(in.get(), &stored, &dataBytes) || stored != count ||
      dataBytes != kMarkerRecordSize * static_cast<uint64_t>(count)) {
    return false;
  }
  // The records are read in slices, so a long clip needs no second copy.
  std::vector<MarkerSet> slice(1024);
  for (int64_t done = 0; done < count;) {
    const size_t n = static_cast<size_t>(std::min<int64_t>(count - done, static_cast<int64_t>(slice.size())));
    if (std::fread(slice.data(), kMarkerRecordSize, n, in.get()) != n) return false;
    const int64_t bad = cache_FirstNonFinite(slice.data(), n, kMarkerRecordSize);
    if (bad >= 0) {
      LogPrintf("LoadMotion: %s: frame %lld holds a value that is not a finite number; it is written again",
                file.c_str(), static_cast<long long>(done + bad));
      return false;
    }
    done += static_cast<int64_t>(n);
  }
  return true;
}

MarkerSet* Motion::ComputeMarkerPositions() const {
  if (frames == nullptr || frameCount < 0 || !DefaultSkeleton().loaded) return nullptr;
  std::unique_ptr<MarkerSet[]> markers(new MarkerSet[frameCount]);
  motion_ComputeMarkers(frames, frameCount, markers.get());
  return markers.release();
}

MarkerSet* Motion::LoadMarkerPositions() {
  if (frameCount < 0) {
    LogPrintf("LoadMarkerPositions: motion %s is not loaded", name.c_str());
    return nullptr;
  }
  std::unique_ptr<MarkerSet[]> markers(new MarkerSet[frameCount]);
  int64_t total = 0;
  for (const std::string& resource : resourceNames) {
    const std::string cache = MotionCacheName(resource, ".mpos");
    if (cache.empty()) {
      LogPrintf("LoadMarkerPositions: Invalid resource name %s", resource.c_str());
      return nullptr;
    }
    cache_File in = cache_OpenForReading(cache);
    if (in == nullptr) {
      LogPrintf("LoadMarkerPositions: Error opening %s", cache.c_str());
      return nullptr;
    }
    int count = 0;
    uint64_t dataBytes = 0;
    if (!cache_ReadHeader(in.get(), &count, &dataBytes)) {
      LogPrintf("LoadMarkerPositions: Error reading %s", cache.c_str());
      return nullptr;
    }
    if (total + count > frameCount) {
      LogPrintf("LoadMarkerPositions: Mismatched frame count during reading");
      return nullptr;
    }
    const uint64_t bytes = kMarkerRecordSize * static_cast<uint64_t>(count);
    if (dataBytes != bytes ||
        (count > 0 && std::fread(markers.get() + total, 1, bytes, in.get()) != bytes)) {
      LogPrintf("LoadMarkerPositions: Error reading %s", cache.c_str());
      return nullptr;
    }
    const int64_t bad = cache_FirstNonFinite(markers.get() + total, static_cast<uint64_t>(count), kMarkerRecordSize);
    if (bad >= 0) {
      LogPrintf("LoadMarkerPositions: %s: frame %lld holds a value that is not a finite number", cache.c_str(),
                static_cast<long long>(bad));
      LogPrintf("LoadMarkerPositions: Error reading %s", cache.c_str());
      return nullptr;
    }
    total += count;
    in.reset();
    LogPrintf("LoadMarkerPositions: Done Loading Binary Marker Positions for resource %s ...",
              cache.c_str());
  }
  if (total != frameCount) {
    LogPrintf("LoadMarkerPositions: Mismatched frame count during reading");
    return nullptr;
  }
  LogPrintf("LoadMarkerPositions: Successfully Loaded ALL Binary MarkerPositions");
  return markers.release();
}
