// Feeds arbitrary bytes to the scene reader: each input is written as a scene
// file and loaded, in a working folder that holds a small skeleton and three
// small clips (a.amc, b.amc, c.amc) that scenes may name. Whatever the text
// holds, loading must not crash, the level must hold only what loaded soundly
// (motions with frames, characters and data sets of the registries), every
// character must stand at a finite place and the clips must still be there
// afterwards. Everything the input created is destroyed afterwards, so inputs
// do not see each other's objects.
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "graph/motion_controller.h"
#include "graph/transition_graph.h"
#include "motion/motion.h"
#include "world/character.h"
#include "world/scene_reader.h"

namespace {

void fuzz_Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "scene_fuzz: %s\n", what);
    std::abort();
  }
}

const char* const kFuzzDof[kJointCount] = {
    "",         "",         "rx ry rz", "rx",       "rx rz",    "rx",       "",         "rx ry rz",
    "rx",       "rx rz",    "rx",       "rx ry rz", "rx ry rz", "rx ry rz", "rx ry rz", "rx ry rz",
    "rx ry rz", "ry rz",    "rx ry rz", "rx",       "ry",       "rx rz",    "rx",       "rx rz",
    "ry rz",    "rx ry rz", "rx",       "ry",       "rx rz",    "rx",       "rx rz"};

const char kFuzzHierarchy[] =
    ":hierarchy\nbegin\nroot lhipjoint rhipjoint lowerback\nlhipjoint lfemur\nlfemur ltibia\n"
    "ltibia lfoot\nlfoot ltoes\nrhipjoint rfemur\nrfemur rtibia\nrtibia rfoot\nrfoot rtoes\n"
    "lowerback upperback\nupperback thorax\nthorax lowerneck lclavicle rclavicle\n"
    "lowerneck upperneck\nupperneck head\nlclavicle lhumerus\nlhumerus lradius\n"
    "lradius lwrist\nlwrist lhand lthumb\nlhand lfingers\nrclavicle rhumerus\n"
    "rhumerus rradius\nrradius rwrist\nrwrist rhand rthumb\nrhand rfingers\nend\n";

void fuzz_WriteText(const std::string& path, const std::string& text) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  fuzz_Require(file != nullptr, "cannot create a file");
  fuzz_Require(std::fwrite(text.data(), 1, text.size(), file) == text.size(), "cannot write a file");
  std::fclose(file);
}

void fuzz_WriteSkeleton() {
  std::string asf = ":bonedata\n";
  for (int i = 1; i < kJointCount; ++i) {
    asf += std::string("begin\nname ") + BoneNameTable[i] + "\ndirection 0 1 0\nlength " +
           std::to_string(1 + i % 3) + "\naxis 0 0 0 XYZ\n";
    if (kFuzzDof[i][0] != '\0') asf += std::string("dof ") + kFuzzDof[i] + "\n";
    asf += "end\n";
  }
  asf += kFuzzHierarchy;
  fuzz_WriteText("MartialArts.asf", asf);
}

// A clip of `frames` frames, the root walking along x from `x`.
void fuzz_WriteClip(const char* file, int frames, int x) {
  std::string amc = ":FULLY-SPECIFIED\n:DEGREES\n";
  for (int f = 0; f < frames; ++f) {
    amc += std::to_string(f + 1) + "\nroot " + std::to_string(x + f) + " 1 0 0 " + std::to_string(f * 5) +
           " 0\n";
    for (int j = 2; j < kJointCount; ++j) {
      if (j == 6) continue;
      amc += BoneNameTable[j];
      const std::string dof = kFuzzDof[j];
      for (size_t k = 0; k < dof.size(); k += 3) amc += " " + std::to_string((j * 7 + f) % 40);
      amc += "\n";
    }
  }
  fuzz_WriteText(std::string(MotionFolder) + file, amc);
}

// File names in the scene are joined to the motion folder and motion names
// become graph file names: keep the input inside the working folder by
// breaking every ".." and every lone "/" ("//" comments stay intact).
std::string fuzz_Confine(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '.' && i + 1 < text.size() && text[i + 1] == '.') text[i + 1] = '_';
    if (text[i] == '/') {
      const bool paired = (i > 0 && text[i - 1] == '/') || (i + 1 < text.size() && text[i + 1] == '/');
      if (!paired) text[i] = '_';
    }
  }
  return text;
}

// Destroys every character, controller, graph and motion the input made.
void fuzz_Clear() {
  std::vector<Character*> characters;
  for (auto& entry : CharacterMap()) characters.push_back(entry.second);
  for (Character* character : characters) delete character;
  CharacterMap().clear();
  std::vector<MotionController*> controllers;
  for (auto& entry : MotionControllerMap()) controllers.push_back(entry.second);
  for (MotionController* controller : controllers) {
    delete controller->graph;
    delete controller;
  }
  // Graphs that no controller held any more.
  std::vector<TransitionGraph*> graphs;
  for (auto& entry : GraphRegistry()) graphs.push_back(entry.second);
  for (TransitionGraph* graph : graphs) delete graph;
  std::vector<Motion*> motions;
  for (auto& entry : MotionMap()) motions.push_back(entry.second);
  for (Motion* motion : motions) delete motion;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(".", ec)) {
    if (entry.path().extension() == ".gra") std::filesystem::remove(entry.path(), ec);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::remove("log.txt");
  if (symlink("/dev/null", "log.txt") != 0) std::fprintf(stderr, "scene_fuzz: log.txt kept\n");
  fuzz_WriteSkeleton();
  std::filesystem::create_directories(MotionFolder);
  fuzz_WriteClip("a.amc", 3, 0);
  fuzz_WriteClip("b.amc", 2, 10);
  fuzz_WriteClip("c.amc", 5, 20);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_WriteText("fuzz.sce", fuzz_Confine(data, size));
  SceneReader reader;
  reader.LoadScene("fuzz.sce");

  const Level* level = reader.GetLevel();
  if (level != nullptr) {
    for (const Motion* motion : level->motions) {
      fuzz_Require(motion->frameCount >= 0 && motion->frames != nullptr, "a failed motion is in the level");
      fuzz_Require(MotionMap().count(motion->name) == 1, "a level motion is not registered");
      fuzz_Require(!motion->segmentEnds.empty() && motion->segmentEnds.back() == motion->frameCount,
                   "segment ends do not add up");
    }
    for (Character* character : level->characters) {
      fuzz_Require(CharacterMap().count(character->name) == 1, "a level character is not registered");
      const Vector3& p = character->position;
      fuzz_Require(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z), "position not finite");
    }
    for (const MotionDataSetRecord& set : level->dataSets) {
      for (const Motion* motion : {set.attack, set.defensive, set.idle}) {
        fuzz_Require(motion == nullptr || MotionMap().count(motion->name) == 1,
                     "a data set names an unregistered motion");
      }
    }
  }
  fuzz_Clear();
  // Reading a scene never destroys the files it reads.
  for (const char* clip : {"a.amc", "b.amc", "c.amc"}) {
    fuzz_Require(std::filesystem::exists(std::string(MotionFolder) + clip), "a clip file was removed");
  }
  return 0;
}
