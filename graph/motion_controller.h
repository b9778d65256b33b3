#pragma once

#include <map>
#include <string>

#include "core/quaternion.h"
#include "core/timer.h"
#include "core/vector3.h"
#include "motion/posture.h"

class Motion;
struct MarkerSet;
class TransitionGraph;
class MotionController;

// Every motion controller by its unique name: the motion's lower-case name,
// then name1, name2 ... for later controllers of the same motion. Created on
// first use; it never owns the controllers.
std::map<std::string, MotionController*>& MotionControllerMap();

// Motion data runs at 120 frames per second: one frame every 1000/120 ms.
constexpr double kFramePeriodMs = 1000.0 / 120.0;

// W, the blend length, metric window and generator spacing in frames:
// motionctrl.transition_time (a float, seconds) times 120, formed in double
// precision and not rounded (18.000000715 for the default 0.15). Read afresh
// at every call, so a change at the console acts at once.
double TransitionFrames();

// Plays one Motion: turns elapsed time into frames at 120 per second, lets its
// transition graph jump to other frames of the same motion, blends each jump
// over W frames and corrects the root so that the character neither jumps in
// place nor snaps its heading at a jump, at a loop wrap or where two joined
// files meet. Its output is one Posture per update.
class MotionController {
 public:
  // Registers the controller in MotionControllerMap under a unique name and,
  // last, creates its graph (graph type 0: none; 1 fixed-frame; 2 random; see
  // CreateTransitionGraph). `motion` may be null or a motion that failed to
  // load (frameCount -1): such a controller has frameCount -1, gets an empty
  // graph for types 1 and 2, writes no graph file and never reads a frame.
  MotionController(Motion* motion, int graphType, float speed);
  // Erases the name from MotionControllerMap (when the entry still points at
  // this controller) and frees the joint-position cache; the graph is not
  // deleted (graphs live until the process ends).
  ~MotionController();
  MotionController(const MotionController&) = delete;
  MotionController& operator=(const MotionController&) = delete;

  // One update: advance by the time since the last update (at `speed`),
  // walk the graph, blend a running transition, correct the root. A stopped
  // controller shows its current frame and does not accumulate time.
  // Always true.
  bool Update();

  // Transport. All but Play stop the controller; none touches the root
  // corrections.
  void Rewind();
  void GoToEnd();
  // Forward / backward by n frames, clamped to the motion.
  void StepForward(int n);
  void StepBackward(int n);
  void Play();
  // Stops playing and drops a running blend (the new clip shows unblended).
  void Stop();

  // Starts a blended jump from the current frame to `frame`. False, nothing
  // changed, while a transition runs or when `frame` is not a frame of the
  // motion.
  bool StartTransition(int frame);

  // Pose similarity of the windows of Wi = trunc(W) frames starting at
  // `from` and `to`, larger meaning more similar, by the metric that
  // motionctrl.evaltype selects (0 joint angles, 1 joint dot products, 2 joint
  // positions; any other value: 0.0). Symmetric in its two frames. Each metric
  // first writes its threshold into graph.eval_threshold. A window that does
  // not lie wholly inside the motion scores 0.0.
  float EvaluateTransition(int from, int to);
  float EvalJointAngles(int from, int to);
  float EvalJointDotProducts(int from, int to);
  float EvalMarkerPositions(int from, int to);

  // The output of the last update.
  const Posture& GetPosture() const { return posture; }
  // A copy of frame i of the motion; a default posture outside the motion.
  Posture GetFrame(int i) const;
  // Rotation of `joint` (0..30) in the motion's current frame, not blended;
  // the identity outside the motion.
  Quaternion GetJointRotation(int joint) const;
  // The motion's body-weight code (0 without a motion).
  int GetBodyWeights() const;
  TransitionGraph* GetGraph() const { return graph; }
  Motion* GetMotion() const { return motion; }
  bool IsTransitioning() const { return transitioning; }

  std::string name;
  // The motion's frame count; -1 without motion data.
  int frameCount;
  // Number of graph nodes, equal to frameCount.
  int nodeCount;
  // The frame shown. The player strip writes it directly.
  int currentFrame;
  // Playback speed factor. The player strip writes it directly.
  float speed;
  Timer timer;
  // Null for graph type 0; not owned.
  TransitionGraph* graph;
  Posture posture;
  // Horizontal offset from the target frame's root to the shown root at the
  // last transition.
  Vector3 positionCorrection;
  // Accumulated turn about the vertical axis applied to the root.
  Quaternion headingCorrection;
  // Root position of the target frame of the last transition.
  Vector3 referenceOffset;
  // Where referenceOffset is placed in the world.
  Vector3 worldOffset;
  bool playing;
  bool looping;
  bool transitioning;
  // Target frame of the current transition.
  int transitionFrame;
  // Frame at which the current transition started.
  int previousFrame;
  // The clip played; not owned.
  Motion* motion;
  // frameCount joint-position sets for the position metric (delete[]); null
  // until first needed.
  MarkerSet* markerCache;
  // Set once the position metric has tried to load markerCache; a failed
  // load is not repeated for this controller.
  bool markerCacheTried;

 private:
  // Moves the root corrections so that frame `to` shows with the root at
  // `shownRoot` horizontally (at frame `to`'s own height) and facing as frame
  // `from` did; the frames after `to` then move on from there.
  void CarryRoot(int from, int to, const Vector3& shownRoot);
  // Where the root of `frame` is shown under the current corrections.
  Vector3 RootShownAt(int frame) const;
  void ApplyRootTransform();
  void GetBlendedPosture(Posture& out);
};
