// Feeds arbitrary bytes to the ASF skeleton reader: each input is written as
// "MartialArts.asf" in the working folder, read into a Skeleton, posed with a
// fixed posture and measured at every joint. Whatever the file holds, the
// tree must stay a tree of in-range ids and every measure must be safe.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "motion/skeleton.h"

namespace {

void fuzz_Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "asf_fuzz: %s\n", what);
    std::abort();
  }
}

// Walks the tree from the root; every bone must be one of the 31 slots, with
// an id 0..30, met once.
void fuzz_CheckTree(Skeleton& skeleton) {
  bool seen[kJointCount] = {};
  Bone* stack[kJointCount];
  int depth = 0;
  stack[depth++] = skeleton.GetRoot();
  while (depth > 0) {
    Bone* bone = stack[--depth];
    const long slot = bone - skeleton.bones;
    fuzz_Require(slot >= 0 && slot < kJointCount, "tree bone outside the slots");
    fuzz_Require(!seen[slot], "bone met twice in the tree");
    seen[slot] = true;
    fuzz_Require(bone->id >= 0 && bone->id < kJointCount, "bone id out of range");
    for (Bone* child = bone->firstChild; child != nullptr; child = child->nextSibling) {
      fuzz_Require(depth < kJointCount, "more children than bones");
      stack[depth++] = child;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Keep the per-input reports out of the way: the log file and the
  // "inbord bone is undefined" lines on the standard output would grow with
  // every input. libFuzzer reports on the standard error stream.
  std::remove("log.txt");
  if (symlink("/dev/null", "log.txt") != 0) std::fprintf(stderr, "asf_fuzz: log.txt kept\n");
  if (std::freopen("/dev/null", "w", stdout) == nullptr) return 0;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen("MartialArts.asf", "wb");
  fuzz_Require(file != nullptr, "cannot write MartialArts.asf");
  fuzz_Require(std::fwrite(data, 1, size, file) == size, "cannot write the input");
  std::fclose(file);

  Skeleton skeleton("MartialArts.asf", 0.06f);
  fuzz_Require(skeleton.root == &skeleton.bones[0], "root is not slot 0");
  fuzz_Require(skeleton.totalDof >= 6, "fewer degrees of freedom than the root's");
  fuzz_CheckTree(skeleton);

  Posture posture;
  posture.root = Vector3(0.5f, 1.0f, -2.0f);
  for (int j = 0; j < kJointCount; ++j) {
    posture.rotation[j].SetEuler(11.0f * j, 90.0f - 7.0f * j, -5.0f * j);
  }
  skeleton.SetPosture(posture);
  for (int j = 0; j < kJointCount; ++j) {
    Vector3 position;
    skeleton.GetJointPosition(j, &position);
  }
  return 0;
}
