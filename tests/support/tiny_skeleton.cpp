#include "tests/support/tiny_skeleton.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "motion/motion.h"
#include "motion/skeleton.h"

namespace testing_support {

const char* const kTinyDof[kJointCount] = {
    "",         "",         "rx ry rz", "rx",       "rx rz",    "rx",       "",         "rx ry rz",
    "rx",       "rx rz",    "rx",       "rx ry rz", "rx ry rz", "rx ry rz", "rx ry rz", "rx ry rz",
    "rx ry rz", "ry rz",    "rx ry rz", "rx",       "ry",       "rx rz",    "rx",       "rx rz",
    "ry rz",    "rx ry rz", "rx",       "ry",       "rx rz",    "rx",       "rx rz"};

bool TinyHasDof(int joint, char axis) {
  const char word[3] = {'r', axis, '\0'};
  return std::strstr(kTinyDof[joint], word) != nullptr;
}

// The fixed joint tree, indented as the capture files indent it.
const char kTinyHierarchy[] =
    ":hierarchy\n  begin\n    root lhipjoint rhipjoint lowerback\n    lhipjoint lfemur\n"
    "    lfemur ltibia\n    ltibia lfoot\n    lfoot ltoes\n    rhipjoint rfemur\n"
    "    rfemur rtibia\n    rtibia rfoot\n    rfoot rtoes\n    lowerback upperback\n"
    "    upperback thorax\n    thorax lowerneck lclavicle rclavicle\n"
    "    lowerneck upperneck\n    upperneck head\n    lclavicle lhumerus\n"
    "    lhumerus lradius\n    lradius lwrist\n    lwrist lhand lthumb\n    lhand lfingers\n"
    "    rclavicle rhumerus\n    rhumerus rradius\n    rradius rwrist\n"
    "    rwrist rhand rthumb\n    rhand rfingers\n  end\n";

TinyBone UprightBone(int) { return TinyBone{{0, 1, 0}, 1, {0, 0, 0}}; }

TinyBone TiltedBone(int i) {
  static const float kDirection[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0.6f, -0.8f}};
  const float* d = kDirection[i % 3];
  return TinyBone{{d[0], d[1], d[2]}, static_cast<float>(1 + i % 4), {static_cast<float>(i * 7 % 40), 0, -20}};
}

std::string TinySkeletonAsf(TinyBone (*bone)(int i)) {
  std::string asf = "# small test skeleton\n:version 1.10\n:units\n  length 0.45\n:bonedata\n";
  for (int i = 1; i < kJointCount; ++i) {
    const TinyBone b = bone(i);
    char block[512];
    std::snprintf(block, sizeof block,
                  "  begin\n     id %d\n     name %s\n     direction %g %g %g\n     length %g\n     axis %g %g %g XYZ\n",
                  i, BoneNameTable[i], b.direction[0], b.direction[1], b.direction[2], b.length, b.axis[0], b.axis[1],
                  b.axis[2]);
    asf += block + (kTinyDof[i][0] != '\0' ? std::string("    dof ") + kTinyDof[i] + "\n" : "") + "  end\n";
  }
  return asf + kTinyHierarchy;
}

bool WriteTinySkeleton(TinyBone (*bone)(int i)) {
  std::error_code ec;
  std::filesystem::create_directories(MotionFolder, ec);
  std::ofstream out("MartialArts.asf", std::ios::binary | std::ios::trunc);
  out << TinySkeletonAsf(bone);
  out.close();
  if (!out || ec) std::fprintf(stderr, "cannot write the small skeleton or create %s\n", MotionFolder);
  ForgetDefaultSkeletons();  // the next use reads this file
  return out && !ec;
}

std::string TinyAmcText(const std::string& header, int frames, const TinyValue& value) {
  std::string amc = header;
  char number[64];
  for (int f = 0; f < frames; ++f) {
    amc += std::to_string(f + 1) + "\nroot";
    for (int j = 0; j < kJointCount; ++j) {
      if (j > 0 && kTinyDof[j][0] == '\0') continue;
      amc += j == 0 ? "" : BoneNameTable[j];
      for (int a = 0; a < (j == 0 ? 6 : 3); ++a) {
        if (j > 0 && !TinyHasDof(j, static_cast<char>('x' + a))) continue;
        std::snprintf(number, sizeof number, " %g", value(f, j, a));
        amc += number;
      }
      amc += "\n";
    }
  }
  return amc;
}

}  // namespace testing_support
