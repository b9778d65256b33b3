// Feeds arbitrary bytes to the ASF skeleton reader: each input is written as
// "MartialArts.asf" in the working folder, read into a Skeleton, posed with a
// fixed posture and measured at every joint. Whatever the file holds, the
// tree must stay a tree of in-range ids and every measure must be safe.
#include <cstdint>

#include "motion/skeleton.h"
#include "tests/fuzz/fuzz_support.h"

using fuzz_support::Require;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The log and the "inbord bone is undefined" lines on the standard output
  // would grow with every input; libFuzzer reports on the standard error.
  fuzz_support::SilenceLog();
  return std::freopen("/dev/null", "w", stdout) == nullptr;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_support::WriteBytes("MartialArts.asf", data, size);
  Skeleton skeleton("MartialArts.asf", 0.06f);
  Require(skeleton.root == &skeleton.bones[0] && skeleton.totalDof >= 6, "root not slot 0, or fewer dof than its own");
  // Walked from the root, every bone is one of the 31 slots, with an id 0..30, met once.
  bool seen[kJointCount] = {};
  Bone* stack[kJointCount];
  int depth = 0;
  stack[depth++] = skeleton.GetRoot();
  while (depth > 0) {
    Bone* bone = stack[--depth];
    const long slot = bone - skeleton.bones;
    Require(slot >= 0 && slot < kJointCount && !seen[slot], "tree bone outside the slots or met twice");
    seen[slot] = true;
    Require(bone->id >= 0 && bone->id < kJointCount, "bone id out of range");
    for (Bone* child = bone->firstChild; child != nullptr; child = child->nextSibling) {
      Require(depth < kJointCount, "more children than bones");
      stack[depth++] = child;
    }
  }
  Posture posture;
  posture.root = Vector3(0.5f, 1.0f, -2.0f);
  for (int j = 0; j < kJointCount; ++j) posture.rotation[j].SetEuler(11.0f * j, 90.0f - 7.0f * j, -5.0f * j);
  skeleton.SetPosture(posture);
  Vector3 position;
  for (int j = 0; j < kJointCount; ++j) skeleton.GetJointPosition(j, &position);
  return 0;
}
