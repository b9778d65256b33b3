#include "graph/motion_controller.h"

#include <cmath>
#include <cstdint>
#include <set>

#include "core/console_variable.h"
#include "core/matrix4.h"
#include "core/name_registry.h"
#include "graph/transition_graph.h"
#include "motion/motion.h"

namespace {

// Binds to the same cell as the metrics' handle of this name (whichever
// registers first fixes it); both carry the same default.
ConsoleVariable<float> g_controllerTransitionTime("motionctrl.transition_time", 0.15f);

constexpr double kControllerPi = 3.14159265358979323846;

// Every controller alive, whether or not MotionControllerMap still lists it,
// so that a dying motion reaches all of its players. Never destroyed.
std::set<MotionController*>& controller_Live() {
  static auto* live = new std::set<MotionController*>;
  return *live;
}

// Shown in place of a frame that does not exist.
const Posture& controller_EmptyPosture() {
  static const Posture empty;
  return empty;
}

// Frame i of the motion, or the empty posture when the motion has no such
// frame: no read ever leaves the motion's frames.
const Posture& controller_Frame(const Motion* motion, int i) {
  if (motion == nullptr || motion->frames == nullptr || i < 0 || i >= motion->frameCount) {
    return controller_EmptyPosture();
  }
  return motion->frames[i];
}

// Keeps only the turn about the vertical (y) axis of q: the y row and column
// of its matrix become those of the identity and the two remaining columns'
// x-z pairs are scaled to unit length. A pair of zero length (the x or z axis
// turned onto the vertical) is rebuilt from the other one, which carries the
// same turn.
Quaternion controller_HeadingOnly(const Quaternion& q) {
  Matrix4 matrix;
  q.GetMatrix(&matrix);
  float* m = matrix.m;
  m[1] = 0.0f;  // M[0][1]
  m[4] = 0.0f;  // M[1][0]
  m[6] = 0.0f;  // M[1][2]
  m[9] = 0.0f;  // M[2][1]
  m[5] = 1.0f;  // M[1][1]
  const float length0 = std::sqrt(m[0] * m[0] + m[8] * m[8]);
  const float length2 = std::sqrt(m[2] * m[2] + m[10] * m[10]);
  const bool usable0 = length0 > 0.0f && std::isfinite(length0);
  const bool usable2 = length2 > 0.0f && std::isfinite(length2);
  if (usable0) {
    m[0] /= length0;
    m[8] /= length0;
  }
  if (usable2) {
    m[2] /= length2;
    m[10] /= length2;
  }
  if (!usable0 && !usable2) return Quaternion();
  if (!usable0) {
    m[0] = m[10];
    m[8] = -m[2];
  } else if (!usable2) {
    m[10] = m[0];
    m[2] = -m[8];
  }
  Quaternion heading;
  heading.SetFromMatrix(matrix);
  heading.Normalize();
  return heading;
}

// The motion-destroyed hook: erases every map entry of a controller that
// plays the dying motion (in map order, going on after each erased entry),
// then makes every such controller forget the motion, so that it reads no
// frame of it again. Node tables of the motion are unregistered too, since a
// later motion may be allocated at the same address with another length.
void controller_OnMotionDestroyed(Motion* motion) {
  auto& map = MotionControllerMap();
  for (auto it = map.begin(); it != map.end();) {
    if (it->second != nullptr && it->second->motion == motion) {
      it = map.erase(it);
    } else {
      ++it;
    }
  }
  for (MotionController* controller : controller_Live()) {
    if (controller->motion != motion) continue;
    controller->motion = nullptr;
    controller->frameCount = -1;
    controller->nodeCount = -1;
    controller->currentFrame = 0;
    controller->playing = false;
    controller->transitioning = false;
    delete[] controller->markerCache;
    controller->markerCache = nullptr;
  }
  NodeTableMap().erase(motion);
}

// Which of the motion's joined files frame i was read from: the files' frames
// follow each other, the first file's ending before segmentEnds[0].
size_t controller_FileOf(const Motion* motion, int i) {
  size_t file = 0;
  while (file < motion->segmentEnds.size() && motion->segmentEnds[file] <= i) ++file;
  return file;
}

int64_t controller_Clamp(int64_t value, int64_t low, int64_t high) {
  if (value > high) value = high;
  if (value < low) value = low;
  return value;
}

}  // namespace

std::map<std::string, MotionController*>& MotionControllerMap() {
  static auto* map = new std::map<std::string, MotionController*>;
  return *map;
}

double TransitionFrames() {
  return static_cast<double>(static_cast<float>(g_controllerTransitionTime)) * 120.0;
}

MotionController* Motion::CreateController(int graphType) {
  return new MotionController(this, graphType, 1.0f);
}

MotionController::MotionController(Motion* motionToPlay, int graphType, float playbackSpeed)
    : frameCount(-1),
      nodeCount(-1),
      currentFrame(0),
      speed(playbackSpeed),
      graph(nullptr),
      playing(true),
      looping(true),
      transitioning(false),
      transitionFrame(0),
      previousFrame(0),
      motion(motionToPlay),
      markerCache(nullptr),
      markerCacheTried(false) {
  static bool hookInstalled = false;
  if (!hookInstalled) {
    SetMotionDestroyedHook(controller_OnMotionDestroyed);
    hookInstalled = true;
  }
  timer.Reset();
  if (motion != nullptr) frameCount = motion->frameCount;
  nodeCount = frameCount;

  auto& map = MotionControllerMap();
  name = MakeUniqueName(map, ToLowerName(motion != nullptr ? motion->name : std::string()));
  map[name] = this;
  controller_Live().insert(this);

  // Last: the graph reads the name and counts, and may generate itself now.
  graph = CreateTransitionGraph(graphType, this);
}

MotionController::~MotionController() {
  auto& map = MotionControllerMap();
  auto it = map.find(name);
  if (it != map.end() && it->second == this) map.erase(it);
  controller_Live().erase(this);
  delete[] markerCache;
  markerCache = nullptr;
}

bool MotionController::Update() {
  // Nothing to show: a controller without frames reads none.
  if (motion == nullptr || motion->frames == nullptr || frameCount <= 0 ||
      motion->frameCount < frameCount) {
    timer.Reset();
    return true;
  }
  // The player strip may have written any value.
  currentFrame = static_cast<int>(controller_Clamp(currentFrame, 0, frameCount - 1));

  if (!playing) {
    timer.Reset();
    posture = controller_Frame(motion, currentFrame);
    ApplyRootTransform();
    return true;
  }

  const int advance = timer.GetFramesElapsed(kFramePeriodMs, static_cast<double>(speed));
  const int shown = currentFrame;
  int64_t next = static_cast<int64_t>(currentFrame) + advance;
  const bool wrapped = next >= frameCount && looping;
  if (next >= frameCount) next = looping ? 0 : frameCount - 1;
  if (next < 0) next = 0;  // only a negative speed runs backwards off the start
  currentFrame = static_cast<int>(next);
  // A loop wrap or a step into another joined file lands on a frame whose
  // recorded root lies elsewhere: the root is carried across as at a jump.
  if (wrapped || controller_FileOf(motion, shown) != controller_FileOf(motion, currentFrame)) {
    CarryRoot(shown, currentFrame, RootShownAt(shown));
  }

  if (graph != nullptr) graph->GraphUpdate();

  if (transitioning) {
    GetBlendedPosture(posture);
  } else {
    posture = controller_Frame(motion, currentFrame);
  }
  ApplyRootTransform();
  timer.Reset();
  return true;
}

void MotionController::Rewind() {
  Stop();
  currentFrame = 0;
}

void MotionController::GoToEnd() {
  Stop();
  currentFrame = frameCount > 0 ? frameCount - 1 : 0;
}

void MotionController::StepForward(int n) {
  Stop();
  const int64_t last = frameCount > 0 ? frameCount - 1 : 0;
  currentFrame = static_cast<int>(controller_Clamp(static_cast<int64_t>(currentFrame) + n, 0, last));
}

void MotionController::StepBackward(int n) {
  Stop();
  const int64_t last = frameCount > 0 ? frameCount - 1 : 0;
  currentFrame = static_cast<int>(controller_Clamp(static_cast<int64_t>(currentFrame) - n, 0, last));
}

void MotionController::Play() { playing = true; }

void MotionController::Stop() {
  playing = false;
  transitioning = false;
}

bool MotionController::StartTransition(int frame) {
  if (transitioning || frame >= frameCount || frame < 0) return false;
  if (motion == nullptr || motion->frames == nullptr || frame >= motion->frameCount) return false;
  previousFrame = currentFrame;
  transitionFrame = frame;
  CarryRoot(previousFrame, frame, posture.root);
  currentFrame = frame;
  transitioning = true;
  return true;
}

void MotionController::CarryRoot(int from, int to, const Vector3& shownRoot) {
  const Posture& target = controller_Frame(motion, to);
  const Posture& source = controller_Frame(motion, from);
  const Quaternion step = controller_HeadingOnly(target.rotation[0].GetInverse() * source.rotation[0]);
  headingCorrection = headingCorrection * step;

  Vector3 offset = shownRoot - target.root;
  offset.y = 0.0f;
  positionCorrection = offset;
  referenceOffset = target.root;
  worldOffset = referenceOffset + positionCorrection;
}

Vector3 MotionController::RootShownAt(int frame) const {
  Matrix4 heading;
  headingCorrection.GetMatrix(&heading);
  return worldOffset + heading.TransformPoint(controller_Frame(motion, frame).root - referenceOffset);
}

void MotionController::ApplyRootTransform() {
  posture.rotation[0] = headingCorrection * posture.rotation[0];
  posture.root = RootShownAt(currentFrame);
}

void MotionController::GetBlendedPosture(Posture& out) {
  const Posture& current = controller_Frame(motion, currentFrame);
  const double window = TransitionFrames();
  const int sinceJump = currentFrame - transitionFrame;
  // A window that is no length ends the blend at once; so does a loop wrap
  // (the frame count restarted below the jump), since the old clip's frame
  // would lie before the jump.
  if (!(window > 0.0) || sinceJump < 0) {
    transitioning = false;
    out = current;
    return;
  }
  if (transitionFrame + window <= currentFrame) transitioning = false;

  // The last blended update may run past the motion's end on the old clip.
  int oldFrame = previousFrame + sinceJump;
  if (oldFrame > frameCount - 1) oldFrame = frameCount - 1;
  if (oldFrame < 0) oldFrame = 0;
  const Posture& old = controller_Frame(motion, oldFrame);

  const float phase = static_cast<float>(sinceJump * (1.0 / window));
  const float weight =
      static_cast<float>((std::sin(phase * kControllerPi - kControllerPi / 2.0) + 1.0) / 2.0);
  for (int j = 1; j < kJointCount; ++j) {
    Slerp(weight, old.rotation[j], current.rotation[j], &out.rotation[j]);
  }
  out.root = current.root;
  out.rotation[0] = current.rotation[0];
}

Posture MotionController::GetFrame(int i) const { return controller_Frame(motion, i); }

Quaternion MotionController::GetJointRotation(int joint) const {
  if (joint < 0 || joint >= kJointCount) return Quaternion();
  return controller_Frame(motion, currentFrame).rotation[joint];
}

int MotionController::GetBodyWeights() const { return motion != nullptr ? motion->bodyWeights : 0; }
