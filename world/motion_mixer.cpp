#include "world/motion_mixer.h"

#include <set>

#include "core/console_variable.h"
#include "core/log.h"
#include "core/quaternion.h"
#include "core/vector3.h"
#include "graph/motion_controller.h"
#include "motion/motion.h"
#include "motion/skeleton.h"

namespace {

// One row per body-weights code, one entry per joint in bone-name order plus
// a trailing entry. The root's entry and the trailing one are never read by
// the blend.
// clang-format off
constexpr float kBodyWeightTables[kBodyWeightCodes][kBodyWeightEntries] = {
    // 0: whole body.
    {1.0f,
     1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f,    // 1..10 legs
     1.0f,                                                          // 11 lowerback
     1.0f, 1.0f, 1.0f, 1.0f, 1.0f,                                  // 12..16 spine, neck, head
     1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f,                      // 17..23 left arm
     1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f,                      // 24..30 right arm
     0.0f},
    // 1: lower body, the upper body fading out.
    {0.0f,
     1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f,
     1.0f,
     0.8f, 0.6f, 0.4f, 0.15f, 0.1f,
     0.4f, 0.25f, 0.15f, 0.05f, 0.15f, 0.0f, 0.0f,
     0.4f, 0.25f, 0.15f, 0.05f, 0.15f, 0.0f, 0.0f,
     0.0f},
    // 2: upper body with a trace of the legs.
    {0.0f,
     0.05f, 0.0f, 0.05f, 0.05f, 0.05f, 0.05f, 0.0f, 0.05f, 0.05f, 0.05f,
     0.05f,
     0.2f, 0.4f, 0.6f, 0.85f, 0.9f,
     0.6f, 0.8f, 0.8f, 0.95f, 0.95f, 1.0f, 1.0f,
     0.6f, 0.9f, 0.9f, 0.95f, 0.95f, 1.0f, 1.0f,
     0.0f},
    // 3: lower body alone.
    {0.0f,
     1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f,
     1.0f,
     0.0f, 0.0f, 0.0f, 0.0f, 0.0f,
     0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f,
     0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f,
     0.0f},
    // 4: upper body alone.
    {0.0f,
     0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f,
     0.0f,
     1.0f, 1.0f, 1.0f, 1.0f, 1.0f,
     1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f,
     1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f,
     0.0f}};
// clang-format on

// Whether a controller has frames to show: a motion that failed to load (or
// was destroyed) leaves the controller with frame count -1, an empty clip
// with 0.
bool mixer_HasFrames(const MotionController* controller) {
  const Motion* motion = controller->GetMotion();
  return controller->frameCount > 0 && motion != nullptr && motion->frames != nullptr;
}

// The weight table of the controller's motion; a code without a table uses
// the whole-body table, logged once per code for the whole run.
const float* mixer_Weights(const MotionController* controller) {
  const int code = controller->GetBodyWeights();
  if (const float* table = GetBodyWeightTable(code)) return table;
  static std::set<int> reported;
  if (reported.insert(code).second) {
    LogPrintf("MotionMixer: body weights code %d of controller %s is not 0 to 4; using code 0",
              code, controller->name.c_str());
  }
  return kBodyWeightTables[0];
}

// Writes the angles of the degrees of freedom the bone has.
void mixer_SetDofAngles(Bone* bone, const Vector3& angles) {
  if (bone->dofRx) bone->rx = angles.x;
  if (bone->dofRy) bone->ry = angles.y;
  if (bone->dofRz) bone->rz = angles.z;
}

// Blends the secondary onto joints 1..30 of a skeleton posed from the
// primary; the root keeps the primary's values.
void mixer_Blend(Skeleton* skeleton, const MotionController* primary,
                 const MotionController* secondary) {
  // 0: weighted average of Euler angles; any other value: slerp of the raw
  // frames.
  static ConsoleVariable<int> quatBlend("controller.quatBlend", 0);
  const float* primaryWeights = mixer_Weights(primary);
  const float* secondaryWeights = mixer_Weights(secondary);
  const bool slerp = static_cast<int>(quatBlend) != 0;

  for (int i = 1; i < kJointCount; ++i) {
    Bone* bone = &skeleton->bones[i];
    const float w1 = primaryWeights[i];
    const float w2 = secondaryWeights[i];
    if (slerp) {
      Quaternion q;
      Slerp(w2, primary->GetJointRotation(i), secondary->GetJointRotation(i), &q);
      Vector3 angles;
      q.GetEuler(&angles);
      mixer_SetDofAngles(bone, angles);
      continue;
    }
    const float sum = w1 + w2;
    // No weight on either side: the primary's angles stay rather than
    // dividing by zero.
    if (!(sum > 0.0f)) continue;
    const float inv = 1.0f / sum;
    Vector3 e;
    secondary->GetPosture().rotation[i].GetEuler(&e);
    if (bone->dofRx) bone->rx = (w1 * bone->rx + w2 * e.x) * inv;
    if (bone->dofRy) bone->ry = (w1 * bone->ry + w2 * e.y) * inv;
    if (bone->dofRz) bone->rz = (w1 * bone->rz + w2 * e.z) * inv;
  }
}

}  // namespace

const float* GetBodyWeightTable(int code) {
  if (code < 0 || code >= kBodyWeightCodes) return nullptr;
  return kBodyWeightTables[code];
}

MotionMixer::MotionMixer(Skeleton* skeleton_)
    : skeleton(skeleton_), primary(nullptr), secondary(nullptr) {}

void MotionMixer::SetPrimary(MotionController* controller) {
  if (controller == nullptr) {
    LogPrintf("MotionMixer: SetPrimary without a controller; ignored");
    return;
  }
  if (primary != nullptr) primary->Stop();
  primary = controller;
  primary->Play();
  // Time that passed while the controller was not in use is not played.
  primary->timer.Reset();
}

void MotionMixer::SetSecondary(MotionController* controller) {
  if (controller == nullptr) {
    LogPrintf("MotionMixer: SetSecondary without a controller; ignored");
    return;
  }
  if (secondary != nullptr) secondary->Stop();
  secondary = controller;
  secondary->Play();
  secondary->timer.Reset();
}

void MotionMixer::ClearSecondary() {
  if (secondary != nullptr) secondary->Stop();
  secondary = nullptr;
}

void MotionMixer::SetSecondaryMotion(Motion* motion) {
  if (motion == nullptr) {
    LogPrintf("MotionMixer: SetSecondaryMotion without a motion; ignored");
    return;
  }
  SetSecondary(motion->CreateController(0));
}

bool MotionMixer::Apply() {
  if (skeleton == nullptr) return true;
  if (primary == nullptr || !mixer_HasFrames(primary)) {
    skeleton->ResetPosture();
    return true;
  }
  primary->Update();
  skeleton->SetPosture(primary->GetPosture());
  if (secondary != nullptr && mixer_HasFrames(secondary)) {
    secondary->Update();
    mixer_Blend(skeleton, primary, secondary);
  }
  return true;
}
