#pragma once

#include <map>
#include <string>
#include <vector>

#include "motion/posture.h"
#include "motion/skeleton.h"

class Motion;
class MotionController;

// Every motion by its unique lower-case name, in byte-wise name order.
// Created on first use; it never owns the motions.
std::map<std::string, Motion*>& MotionMap();

// Folder put in front of every motion file name, relative to the working
// directory. The caches of a motion file are written beside it.
inline constexpr char MotionFolder[] = "data/motions/";

// Called by ~Motion after the motion has left MotionMap, so that a layer
// above (the motion controllers) can forget everything that refers to it.
// Null (the default) calls nothing.
using MotionDestroyedHook = void (*)(Motion*);
void SetMotionDestroyedHook(MotionDestroyedHook hook);

// True when MotionFolder + `file` names MotionFolder or a file inside it: a
// relative path without a ".." part and without a NUL byte.
bool StaysInMotionFolder(const std::string& file);

// The cache name of a motion file path: the path up to the last "." of its
// file name (the part after the last "/"), followed by `extension` (".bin",
// ".mpos"). Empty when the file name has no ".", so that no file matches.
std::string MotionCacheName(const std::string& path, const char* extension);

// One clip of motion-capture data at 120 frames per second: one Posture per
// frame, read from one Acclaim AMC file or joined from several.
//
// Loading: a motion file "walk.amc" is read from MotionFolder + "walk.amc".
// Beside it live two caches named by the path up to the last "." of the file
// name: "walk.bin" (every posture) and "walk.mpos" (every frame's joint
// positions). When the posture cache can be read whole, holds only finite
// numbers and neither the AMC text nor the skeleton file was modified or
// replaced after it was written, it is used and the text is not parsed;
// otherwise the text is parsed and both caches are (re)written, unless the
// text has errors or the skeleton did not load whole. Without a text to
// parse, a whole cache is used however old it is. Caches are written
// under a temporary name and renamed into place, so a cache that exists is
// always complete, and dated no earlier than the text and the skeleton, so
// that one made from files dated ahead of the clock is used at the next
// load. A cache that is there but cannot be read is logged and made again,
// readable.
//
// Angles in AMC files are degrees; only the root translation is multiplied by
// the scale (0.06 throughout the system).
class Motion {
 public:
  // Loads `file` (a name under MotionFolder) at `scale`, then enters the
  // motion in MotionMap under `name` lower-cased and made unique ("walk",
  // "walk1", ...). A motion that fails to load is registered too, with
  // frameCount -1 and frames null. bodyWeightCode selects the mixer's weight
  // table, 0 to 4; any other value is logged and 0 is used.
  Motion(const std::string& name, const std::string& file, float scale, int bodyWeightCode);
  // An unnamed-file clip of frameCount default postures (a negative count is
  // logged and gives 0 frames), registered like the first constructor.
  Motion(const std::string& name, int frameCount, int bodyWeightCode);
  // Leaves MotionMap (when the entry still points at this motion), runs the
  // destroyed hook and frees the frames.
  ~Motion();
  Motion(const Motion&) = delete;
  Motion& operator=(const Motion&) = delete;

  // The constructor's loading step: appends MotionFolder + file to
  // resourceNames and fills frames and frameCount from the posture cache or
  // the AMC text. Returns the frame count after parsing text, 0 after reading
  // the posture cache, -1 when nothing could be loaded (frameCount -1, frames
  // null; a motion file that cannot be opened is logged with its path).
  // The text's frames run to its end (a last line without a line end
  // counts). Problems in the text (unknown joint names, malformed numbers, a
  // frame cut short) are logged with file and line; the frames read soundly
  // before the problem are kept and nothing is cached.
  int LoadMotion(const std::string& file, float scale);

  // Joins one more file behind the frames: loads it as a temporary motion
  // (which writes its caches and leaves MotionMap again), appends its frames,
  // its cumulative end to segmentEnds and its path to resourceNames. False,
  // with this motion unchanged, when the file cannot be loaded or this motion
  // itself failed to load.
  bool AppendFile(const std::string& file, float scale);

  // The first entry of segmentEnds that is >= frame; frameCount when there is
  // none. A frame equal to a segment end belongs to the earlier segment.
  int GetSegmentEnd(int frame) const;

  // A new controller playing this motion at speed 1.0 with a transition
  // graph of `graphType` (0 none, 1 fixed-frame, 2 random). Defined by the
  // graph library, which owns the controllers.
  MotionController* CreateController(int graphType);

  // Every frame becomes root (0, 0, 0) with 31 identity rotations.
  void ResetPostures();
  // Copies `posture` into frame `frame`; a frame outside 0 .. frameCount - 1
  // is logged and ignored.
  void SetPosture(int frame, const Posture& posture);

  // Writes the frames as AMC text (root translation divided by `scale`, Euler
  // angles in degrees, one line per joint of slots 2 to 30 that has degrees
  // of freedom in DefaultSkeleton). Nothing is written when the file cannot
  // be created or the scale is 0 or not finite.
  void WriteAMC(const std::string& file, float scale);

  // Posture cache: the record count in decimal, a line feed, then count raw
  // 508-byte postures. 0 on success, -1 on failure (logged; an older file of
  // that name is kept). count must not be negative. `sources`, the files the
  // postures were made from, date the cache no earlier than the newest of
  // them (AtomicFile::MadeFrom).
  int WriteBinaryPostures(const std::string& file, const Posture* postures, int count,
                          const std::vector<std::string>& sources = {});
  // Reads a posture cache into frameCount and frames (replacing them). A file
  // that cannot be opened, whose size is not exactly what its count line
  // promises or that holds a value that is not a finite number is refused:
  // -1, logged, the motion unchanged. 0 on success.
  int ReadBinaryPostures(const std::string& file);
  // Joint-position cache: computes MarkerSet::ComputeFromPosture of each
  // posture and writes the count in decimal, a line feed and count raw
  // 372-byte marker sets. 0 on success, -1 on failure (logged; an older file
  // is kept). `sources` as for WriteBinaryPostures.
  int DumpMarkerPositions(const std::string& file, const Posture* postures, int count,
                          const std::vector<std::string>& sources = {});
  // The joint positions of every frame, read from the ".mpos" cache of each
  // entry of resourceNames in order: a new[] array of frameCount marker sets
  // that the caller frees with delete[]. Null (logged) when a cache is
  // missing, unreadable, holds a value that is not a finite number or its
  // counts do not add up to frameCount.
  MarkerSet* LoadMarkerPositions();
  // The joint positions of every frame computed from the postures in memory,
  // as the cache holds them: a new[] array of frameCount marker sets. Null
  // without postures, and when the skeleton did not load whole (its joint
  // positions would mean nothing).
  MarkerSet* ComputeMarkerPositions() const;

  // DefaultSkeleton's totalDof at construction.
  int channelCount = 0;
  // Number of frames; -1 while nothing is loaded and after a failed load.
  int frameCount = -1;
  // frameCount postures (new[], owned); null while nothing is loaded.
  Posture* frames = nullptr;
  // Unique lower-case key in MotionMap.
  std::string name;
  // Cumulative frame count after each joined file; the last equals frameCount.
  std::vector<int> segmentEnds;
  // MotionFolder + file name of each joined file, in joining order.
  std::vector<std::string> resourceNames;
  // The mixer's body weight table, 0 to 4.
  int bodyWeights = 0;
  // False once a file of the motion was parsed with errors or with a
  // skeleton that did not load whole: such frames serve the run, but
  // nothing made from them (caches, graph files) is kept.
  bool sound = true;

 private:
  // True when `file` is a joint-position cache of exactly `count` records
  // (count line and file size agree) of finite numbers. A file that is there
  // but cannot be read is logged.
  static bool IsMarkerCacheComplete(const std::string& file, int count);
  // Writes the joint-position cache `file` of the frames unless it holds
  // frameCount records and the motion file `source` and the skeleton file
  // did not change after it was written (or `source` is missing, so the
  // postures could not be parsed again); never from a skeleton that did not
  // load whole.
  void UpdateMarkerCache(const std::string& file, const std::string& source);
};
