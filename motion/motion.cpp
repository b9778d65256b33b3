#include "motion/motion.h"

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <system_error>

#include "core/log.h"
#include "core/regular_file.h"
#include "core/name_registry.h"
#include "motion/text_file.h"

std::map<std::string, Motion*>& MotionMap() {
  static auto* map = new std::map<std::string, Motion*>;
  return *map;
}

namespace {

MotionDestroyedHook g_motionDestroyedHook = nullptr;

// Body weight codes select one of the mixer's five tables.
constexpr int kBodyWeightTableCount = 5;

// How many lines with unknown joint names one file reports one by one.
constexpr int kAmcUnknownJointReports = 10;

// A word-by-word walk over AMC text that knows the line of each word.
struct AmcCursor {
  std::string_view text;
  size_t pos = 0;
  int line = 1;  // line of text[pos]
};

// The next word (run of non-white-space characters) and its line number;
// false at the end of the text. With `skipComments`, a line whose first word
// begins with '#' is a comment and passed over whole.
bool amc_NextWord(AmcCursor* cursor, std::string_view* word, int* line, bool skipComments) {
  const std::string_view text = cursor->text;
  size_t i = cursor->pos;
  // Whether text[i] would be the first word of its line.
  bool lineStart = i == 0 || text[i - 1] == '\n';
  for (;;) {
    while (i < text.size() && IsWordSpace(text[i])) {
      if (text[i] == '\n') {
        ++cursor->line;
        lineStart = true;
      }
      ++i;
    }
    if (!(skipComments && lineStart && i < text.size() && text[i] == '#')) break;
    while (i < text.size() && text[i] != '\n') ++i;
  }
  if (i == text.size()) {
    cursor->pos = i;
    return false;
  }
  size_t j = i;
  while (j < text.size() && !IsWordSpace(text[j])) ++j;
  *word = text.substr(i, j - i);
  *line = cursor->line;
  cursor->pos = j;
  return true;
}

// Moves past the rest of the current line (its line feed included).
void amc_SkipLine(AmcCursor* cursor) {
  const size_t end = cursor->text.find('\n', cursor->pos);
  if (end == std::string_view::npos) {
    cursor->pos = cursor->text.size();
  } else {
    cursor->pos = end + 1;
    ++cursor->line;
  }
}

// A whole word as a finite float, as a stream's float extraction would take
// it: an optional sign ('+' too), digits with optional point and exponent.
// Values too small for a float become 0 or a subnormal; values too large and
// words that are not wholly a number are refused.
bool amc_ParseFloat(std::string_view word, float* value) {
  const char* first = word.data();
  const char* last = word.data() + word.size();
  if (first != last && *first == '+') {
    ++first;
    if (first != last && (*first == '-' || *first == '+')) return false;
  }
  float parsed = 0.0f;
  const std::from_chars_result result = std::from_chars(first, last, parsed);
  if (result.ptr != last || first == last) return false;
  if (result.ec == std::errc::result_out_of_range) {
    // Underflow is a tiny number, not an error; strtof rounds it.
    const std::string copy(first, last);
    parsed = std::strtof(copy.c_str(), nullptr);
    if (!std::isfinite(parsed) || std::fabs(parsed) > 1.0f) return false;
  } else if (result.ec != std::errc()) {
    return false;
  }
  if (!std::isfinite(parsed)) return false;  // "inf", "nan"
  *value = parsed;
  return true;
}

// A whole word as an integer within the range of int.
bool amc_ParseInt(std::string_view word) {
  const char* first = word.data();
  const char* last = word.data() + word.size();
  if (first != last && *first == '+') {
    ++first;
    if (first != last && *first == '-') return false;
  }
  int parsed = 0;
  const std::from_chars_result result = std::from_chars(first, last, parsed);
  return first != last && result.ec == std::errc() && result.ptr == last;
}

// The body weight code when it names one of the mixer's tables, else 0 with a
// log line naming the motion.
int motion_CheckedBodyWeights(int bodyWeightCode, const std::string& given) {
  if (bodyWeightCode >= 0 && bodyWeightCode < kBodyWeightTableCount) return bodyWeightCode;
  LogPrintf("Motion: body weight code %d of %s is not 0 to 4; 0 is used", bodyWeightCode,
            given.c_str());
  return 0;
}

// Log text for a word of unknown length: at most 64 characters of it.
int amc_Shown(std::string_view word) { return word.size() > 64 ? 64 : static_cast<int>(word.size()); }


// Reads the frames of AMC text into *frames: the header is passed over up to
// the word ":DEGREES", then each frame is a frame number and 29 joint entries
// (a joint name, the root's translation, the angles of the joint's degrees of
// freedom in `skeleton`), up to the end of the text. After the header, lines
// that begin with '#' are comments, passed over wherever they stand (between
// frames, between a frame's lines, after the last frame). Any problem is logged
// with the file and line; *faulty tells whether there was one. An unknown
// joint name skips the rest of its line; a frame cut short, a malformed
// number or a missing ":DEGREES" stops the reading, keeping the whole frames
// before it.
void amc_ReadFrames(std::string_view text, const std::string& path, const Skeleton& skeleton,
                    float scale, std::vector<Posture>* frames, bool* faulty) {
  AmcCursor cursor;
  cursor.text = text;
  std::string_view word;
  int line = 0;
  bool header = false;
  while (!header && amc_NextWord(&cursor, &word, &line, false)) header = (word == ":DEGREES");
  if (!header) {
    LogPrintf("LoadMotion: %s has no \":DEGREES\" line; no frames are read", path.c_str());
    *faulty = true;
    return;
  }

  int unknownJoints = 0;
  bool stopped = false;
  // Each frame starts with its number; the end of the text before one is the
  // end of the clip.
  while (!stopped && amc_NextWord(&cursor, &word, &line, true)) {
    const int kept = static_cast<int>(frames->size());
    if (!amc_ParseInt(word)) {
      LogPrintf("LoadMotion: %s line %d: frame number expected, found \"%.*s\"; %d frames are kept",
                path.c_str(), line, amc_Shown(word), word.data(), kept);
      stopped = true;
      break;
    }
    Posture posture;
    for (int entry = 1; entry <= 29 && !stopped; ++entry) {
      if (!amc_NextWord(&cursor, &word, &line, true)) {
        LogPrintf("LoadMotion: %s ends at line %d within frame %d; %d frames are kept",
                  path.c_str(), cursor.line, kept + 1, kept);
        stopped = true;
        break;
      }
      const int j = Skeleton::FindBoneIndex(word);
      if (j == kJointCount) {
        ++unknownJoints;
        if (unknownJoints <= kAmcUnknownJointReports) {
          LogPrintf("LoadMotion: %s line %d: unknown joint name \"%.*s\"; the line is skipped",
                    path.c_str(), line, amc_Shown(word), word.data());
        }
        amc_SkipLine(&cursor);
        continue;
      }
      const Bone& bone = skeleton.bones[j];
      const bool isRoot = (j == 0);
      // Root: translation, then all three angles; other joints: the angles
      // of their degrees of freedom in x, y, z order; an angle not read is 0.
      float values[6] = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
      const bool wanted[6] = {isRoot, isRoot, isRoot, isRoot || bone.dofRx != 0,
                              isRoot || bone.dofRy != 0, isRoot || bone.dofRz != 0};
      for (int k = 0; k < 6 && !stopped; ++k) {
        if (!wanted[k]) continue;
        if (!amc_NextWord(&cursor, &word, &line, true)) {
          LogPrintf("LoadMotion: %s ends at line %d within frame %d; %d frames are kept",
                    path.c_str(), cursor.line, kept + 1, kept);
          stopped = true;
        } else if (!amc_ParseFloat(word, &values[k])) {
          LogPrintf("LoadMotion: %s line %d: \"%.*s\" is not a number; %d frames are kept",
                    path.c_str(), line, amc_Shown(word), word.data(), kept);
          stopped = true;
        }
      }
      if (stopped) break;
      if (isRoot) posture.root = Vector3(values[0] * scale, values[1] * scale, values[2] * scale);
      posture.rotation[j].SetEuler(values[3], values[4], values[5]);
    }
    if (!stopped) frames->push_back(posture);
  }
  if (unknownJoints > kAmcUnknownJointReports) {
    LogPrintf("LoadMotion: %s: %d lines with unknown joint names were skipped in all",
              path.c_str(), unknownJoints);
  }
  *faulty = *faulty || stopped || unknownJoints > 0;
}

// Whether a cache made from the motion file `path` and the default skeleton
// may no longer match them: either was modified or replaced after the cache
// was written, whatever modification time it carries (a source that is
// missing is no reason).
bool motion_CacheIsStale(const std::string& cache, const std::string& path) {
  return ChangedSince(cache, path) || ChangedSince(cache, kDefaultSkeletonFile);
}

// Whether the motion file is there to be parsed again.
bool motion_HasText(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

void SetMotionDestroyedHook(MotionDestroyedHook hook) { g_motionDestroyedHook = hook; }

bool StaysInMotionFolder(const std::string& file) {
  if (!file.empty() && file[0] == '/') return false;
  if (file.find('\0') != std::string::npos) return false;
  size_t start = 0;
  for (;;) {
    const size_t slash = file.find('/', start);
    const size_t end = slash == std::string::npos ? file.size() : slash;
    if (file.compare(start, end - start, "..") == 0) return false;
    if (slash == std::string::npos) return true;
    start = slash + 1;
  }
}

std::string MotionCacheName(const std::string& path, const char* extension) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string();
  return path.substr(0, dot) + extension;
}

Motion::Motion(const std::string& given, const std::string& file, float scale, int bodyWeightCode)
    : channelCount(DefaultSkeleton().totalDof),
      bodyWeights(motion_CheckedBodyWeights(bodyWeightCode, given)) {
  LoadMotion(file, scale);
  name = MakeUniqueName(MotionMap(), ToLowerName(given));
  MotionMap()[name] = this;
  segmentEnds.push_back(frameCount);
}

Motion::Motion(const std::string& given, int count, int bodyWeightCode)
    : channelCount(DefaultSkeleton().totalDof),
      bodyWeights(motion_CheckedBodyWeights(bodyWeightCode, given)) {
  if (count < 0) {
    LogPrintf("Motion: frame count %d of %s is negative; 0 is used", count, given.c_str());
    count = 0;
  }
  frameCount = count;
  frames = new Posture[count];
  name = MakeUniqueName(MotionMap(), ToLowerName(given));
  MotionMap()[name] = this;
  segmentEnds.push_back(frameCount);
}

Motion::~Motion() {
  auto& map = MotionMap();
  auto it = map.find(name);
  if (it != map.end() && it->second == this) map.erase(it);
  if (g_motionDestroyedHook != nullptr) g_motionDestroyedHook(this);
  delete[] frames;
}

int Motion::LoadMotion(const std::string& file, float scale) {
  LogPrintf("Loading Motion %s...", file.c_str());
  const std::string path = MotionFolder + file;
  resourceNames.push_back(path);
  const std::string postureCache = MotionCacheName(path, ".bin");
  const std::string markerCache = MotionCacheName(path, ".mpos");

  // Whatever this motion held before, a load starts from nothing.
  delete[] frames;
  frames = nullptr;
  frameCount = -1;
  sound = true;

  // The system calls would cut a name at a NUL byte and reach another file;
  // caches are written beside the file, which must stay in the folder.
  if (!StaysInMotionFolder(file)) {
    LogPrintf("LoadMotion: %s: a file name that leads outside %s is refused", file.c_str(),
              MotionFolder);
    return -1;
  }

  std::string text;
  bool haveText = false;
  std::FILE* probe = postureCache.empty() ? nullptr : OpenRegularFile(postureCache);
  if (probe == nullptr && !postureCache.empty()) LogUnreadable("LoadMotion", postureCache);
  if (probe != nullptr) {
    std::fclose(probe);
    // A cache older than its text or the skeleton was made from an earlier
    // version of them (a clip the user mended): it is made again from the
    // text. Without a text to make it from, a whole cache is all there is.
    bool stale = motion_CacheIsStale(postureCache, path);
    if (stale) {
      haveText = ReadTextFile(path, &text);
      if (!haveText) {
        LogPrintf("LoadMotion: %s is older than its sources, but %s cannot be read; the cache is used",
                  postureCache.c_str(), path.c_str());
        stale = false;
      }
    }
    const int result = stale ? -1 : ReadBinaryPostures(postureCache);
    if (result == 0) {
      UpdateMarkerCache(markerCache, path);
      return result;
    }
    // A cache that cannot be read whole is not trusted: parse the text
    // again when there is one (which rewrites the cache).
    if (!haveText) haveText = ReadTextFile(path, &text);
    if (haveText) {
      LogPrintf("LoadMotion: %s is %s; %s is parsed again", postureCache.c_str(),
                stale ? "older than its sources" : "not trusted", path.c_str());
    } else {
      LogPrintf("LoadMotion: %s is unreadable and %s is missing; %s is not loaded",
                postureCache.c_str(), path.c_str(), file.c_str());
      return -1;
    }
  }
  if (!haveText && !ReadTextFile(path, &text)) {
    LogPrintf("LoadMotion: cannot open %s; the motion is not loaded", path.c_str());
    return -1;
  }

  std::vector<Posture> parsed;
  // About 30 lines per frame: a frame-number line and 29 joint lines.
  parsed.reserve(std::count(text.begin(), text.end(), '\n') / 30 + 1);
  bool faulty = false;
  amc_ReadFrames(text, path, DefaultSkeleton(), scale, &parsed, &faulty);
  frameCount = static_cast<int>(std::min<size_t>(parsed.size(), INT_MAX));
  frames = new Posture[frameCount];
  if (frameCount > 0) std::memcpy(static_cast<void*>(frames), parsed.data(), sizeof(Posture) * frameCount);

  // A text with errors is parsed (and its errors reported) on every load
  // until it is mended, so nothing made from it is cached; nor is anything
  // made with a skeleton that did not load whole.
  sound = !faulty && DefaultSkeleton().loaded;
  if (faulty) {
    LogPrintf("LoadMotion: %s has errors; %s is not written", path.c_str(), postureCache.c_str());
  } else if (!DefaultSkeleton().loaded) {
    LogPrintf("LoadMotion: the skeleton %s did not load; %s is not written", kDefaultSkeletonFile,
              postureCache.c_str());
  } else {
    WriteBinaryPostures(postureCache, frames, frameCount, {path, kDefaultSkeletonFile});
    UpdateMarkerCache(markerCache, path);
  }
  LogPrintf("Done Loading Motion %s parsed as AMC...", file.c_str());
  return frameCount;
}

void Motion::UpdateMarkerCache(const std::string& file, const std::string& source) {
  // An older cache is kept when there is no text to parse the postures
  // again from: they came from a posture cache no newer than it.
  if (IsMarkerCacheComplete(file, frameCount) &&
      (!motion_CacheIsStale(file, source) || !motion_HasText(source))) {
    return;
  }
  if (!DefaultSkeleton().loaded) {
    LogPrintf("LoadMotion: the skeleton %s did not load; %s is not written", kDefaultSkeletonFile,
              file.c_str());
    return;
  }
  DumpMarkerPositions(file, frames, frameCount, {source, kDefaultSkeletonFile});
}

bool Motion::AppendFile(const std::string& file, float scale) {
  if (frameCount < 0) {
    LogPrintf("AppendFile: motion %s is not loaded; %s is not appended", name.c_str(), file.c_str());
    return false;
  }
  Motion* temp = new Motion("temp_motion", file, scale, bodyWeights);
  if (temp->frameCount == -1) {
    delete temp;
    return false;
  }
  if (temp->frameCount > INT_MAX - frameCount) {
    LogPrintf("AppendFile: %s would make motion %s longer than %d frames; it is not appended",
              file.c_str(), name.c_str(), INT_MAX);
    delete temp;
    return false;
  }
  const int total = frameCount + temp->frameCount;
  Posture* joined = new Posture[total];
  if (frameCount > 0) std::memcpy(static_cast<void*>(joined), frames, sizeof(Posture) * frameCount);
  if (temp->frameCount > 0) {
    std::memcpy(static_cast<void*>(joined + frameCount), temp->frames,
                sizeof(Posture) * temp->frameCount);
  }
  frameCount = total;
  sound = sound && temp->sound;
  segmentEnds.push_back(frameCount);
  resourceNames.push_back(temp->resourceNames.front());
  delete[] frames;
  delete temp;
  frames = joined;
  return true;
}

int Motion::GetSegmentEnd(int frame) const {
  for (int end : segmentEnds) {
    if (end >= frame) return end;
  }
  return frameCount;
}

void Motion::ResetPostures() {
  for (int f = 0; f < frameCount; ++f) frames[f] = Posture();
}

void Motion::SetPosture(int frame, const Posture& posture) {
  if (frame < 0 || frame >= frameCount) {
    LogPrintf("SetPosture: frame %d is outside motion %s of %d frames", frame, name.c_str(),
              frameCount);
    return;
  }
  frames[frame] = posture;
}

void Motion::WriteAMC(const std::string& file, float scale) {
  if (scale == 0.0f || !std::isfinite(scale)) {
    LogPrintf("WriteAMC: scale %g cannot be divided out; %s is not written", scale, file.c_str());
    return;
  }
  std::FILE* out = std::fopen(file.c_str(), "w");
  if (out == nullptr) return;
  const Skeleton& skeleton = DefaultSkeleton();
  std::fputs("#Unknow ASF file\n:FULLY-SPECIFIED\n:DEGREES\n", out);
  for (int f = 0; f < frameCount; ++f) {
    const Posture& posture = frames[f];
    Vector3 angles;
    posture.rotation[0].GetEuler(&angles);
    std::fprintf(out, "%d\nroot %g %g %g %g %g %g\n", f + 1, posture.root.x / scale,
                 posture.root.y / scale, posture.root.z / scale, angles.x, angles.y, angles.z);
    for (int j = 2; j < kJointCount; ++j) {
      const Bone& bone = skeleton.bones[j];
      if (bone.dofCount == 0) continue;
      posture.rotation[j].GetEuler(&angles);
      std::fputs(BoneNameTable[j], out);
      if (bone.dofRx != 0) std::fprintf(out, " %g", angles.x);
      if (bone.dofRy != 0) std::fprintf(out, " %g", angles.y);
      if (bone.dofRz != 0) std::fprintf(out, " %g", angles.z);
      std::fputc('\n', out);
    }
  }
  const bool failed = std::ferror(out) != 0;
  if (std::fclose(out) != 0 || failed) {
    LogPrintf("WriteAMC: Error outputing %s", file.c_str());
    return;
  }
  std::printf("Write %d samples to '%s' \n", frameCount, file.c_str());
}
