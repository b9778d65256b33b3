// Feeds arbitrary bytes to the scene reader: each input is written as a scene
// file and loaded, in a working folder that holds a small skeleton and three
// small clips (a.amc, b.amc, c.amc) that scenes may name. Whatever the text
// holds, loading must not crash, the level must hold only what loaded soundly
// (motions with frames, characters and data sets of the registries), every
// character must stand at a finite place and the clips must still be there
// afterwards. Everything the input created is destroyed afterwards, so inputs
// do not see each other's objects.
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
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/tiny_skeleton.h"
#include "world/character.h"
#include "world/scene_reader.h"

namespace {

using fuzz_support::Require;

// A clip of `frames` frames, the root walking along x from `x`.
void fuzz_WriteClip(const char* file, int frames, int x) {
  const auto value = [x](int f, int j, int a) {
    const double root[6] = {static_cast<double>(x + f), 1, 0, 0, f * 5.0, 0};
    return j == 0 ? root[a] : (j * 7 + f) % 40;
  };
  const std::string amc =
      testing_support::TinyAmcText(":FULLY-SPECIFIED\n:DEGREES\n", frames, value);
  fuzz_support::WriteBytes((std::string(MotionFolder) + file).c_str(), amc.data(), amc.size());
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
  fuzz_support::SilenceLog();
  Require(testing_support::WriteTinySkeleton(testing_support::UprightMixedLengthBone),
          "cannot write the fuzz skeleton");
  fuzz_WriteClip("a.amc", 3, 0);
  fuzz_WriteClip("b.amc", 2, 10);
  fuzz_WriteClip("c.amc", 5, 20);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = fuzz_Confine(data, size);
  fuzz_support::WriteBytes("fuzz.sce", text.data(), text.size());
  SceneReader reader;
  reader.LoadScene("fuzz.sce");

  const Level* level = reader.GetLevel();
  if (level != nullptr) {
    for (const Motion* motion : level->motions) {
      Require(motion->frameCount >= 0 && motion->frames != nullptr,
              "a failed motion is in the level");
      Require(MotionMap().count(motion->name) == 1, "a level motion is not registered");
      Require(!motion->segmentEnds.empty() && motion->segmentEnds.back() == motion->frameCount,
              "segment ends do not add up");
    }
    for (Character* character : level->characters) {
      Require(CharacterMap().count(character->name) == 1, "a level character is not registered");
      const Vector3& p = character->position;
      Require(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z),
              "position not finite");
    }
    for (const MotionDataSetRecord& set : level->dataSets) {
      for (const Motion* motion : {set.attack, set.defensive, set.idle}) {
        Require(motion == nullptr || MotionMap().count(motion->name) == 1,
                "a data set names an unregistered motion");
      }
    }
  }
  fuzz_Clear();
  // Reading a scene never destroys the files it reads.
  for (const char* clip : {"a.amc", "b.amc", "c.amc"}) {
    Require(std::filesystem::exists(std::string(MotionFolder) + clip), "a clip file was removed");
  }
  return 0;
}
