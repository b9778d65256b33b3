#pragma once

class Motion;
class MotionController;
class Skeleton;

// Number of entries of a body weight table: one per joint plus one trailing.
constexpr int kBodyWeightEntries = 32;
// Number of body weight codes (0 whole body, 1 lower body fading up, 2 upper
// body with a trace of the legs, 3 lower body alone, 4 upper body alone).
constexpr int kBodyWeightCodes = 5;

// The per-joint blend weights of a body-weights code 0..4; null for any other
// code.
const float* GetBodyWeightTable(int code);

// Poses a character's skeleton each frame from a primary controller (root and
// every joint) and an optional secondary controller blended onto joints 1..30
// with the per-joint weights of both controllers' body-weights codes. The
// mixer owns neither the skeleton nor the controllers: a replaced or cleared
// controller is only stopped.
class MotionMixer {
 public:
  explicit MotionMixer(Skeleton* skeleton);

  // Stops the old primary, stores `controller` and starts it (its timer is
  // reset, so time spent out of use is not played). Null is logged and
  // ignored.
  void SetPrimary(MotionController* controller);
  MotionController* GetPrimary() const { return primary; }
  // Stops the old secondary, stores `controller` and starts it (timer reset
  // as for SetPrimary). Null is logged and ignored.
  void SetSecondary(MotionController* controller);
  MotionController* GetSecondary() const { return secondary; }
  // Stops the secondary (it keeps its frame) and forgets it.
  void ClearSecondary();
  // A new graph-less controller of `motion` becomes the started secondary.
  // Null is logged and ignored.
  void SetSecondaryMotion(Motion* motion);
  Skeleton* GetSkeleton() const { return skeleton; }

  // Poses the skeleton for this frame: the rest pose without a playable
  // primary; else the primary's update and posture, then the secondary's
  // update and the blend ("controller.quatBlend": 0 Euler average, else
  // slerp). A secondary without frames is neither updated nor blended; a
  // body-weights code outside 0..4 uses table 0 (logged once per code); a
  // joint whose two weights are both 0 keeps the primary's angles in the
  // Euler blend. A primary without frames (frame count -1 or 0) gives the
  // rest pose. Returns true.
  bool Apply();

  Skeleton* skeleton;
  MotionController* primary;
  MotionController* secondary;
};
