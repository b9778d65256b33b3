// Feeds arbitrary bytes to the scene reader: each input is written as a scene
// file and loaded, in a working folder that holds a small skeleton and three
// small clips (a.amc, b.amc, c.amc) that scenes may name. Whatever the text
// holds, loading must not crash, the level must hold only what loaded soundly
// (motions with frames, characters and data sets of the registries), every
// character must stand at a finite place and the clips must still be there
// afterwards. Everything the input created is destroyed afterwards, so inputs
// do not see each other's objects.
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>

#include "tests/fuzz/fuzz_support.h"
#include "tests/support/world_sweep.h"
#include "world/character.h"
#include "world/scene_reader.h"

using fuzz_support::Require;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_support::WriteSkeleton(testing_support::TiltedBone);
  fuzz_support::WriteClip("a.amc", 3, 7);
  fuzz_support::WriteClip("b.amc", 2, 5);
  fuzz_support::WriteClip("c.amc", 5, 3);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // File names in the scene are joined to the motion folder and motion names
  // become graph file names: keep the input inside the working folder by
  // breaking every ".." and every lone "/" ("//" comments stay intact).
  std::string text(reinterpret_cast<const char*>(data), size);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '.' && i + 1 < text.size() && text[i + 1] == '.') text[i + 1] = '_';
    if (text[i] == '/' && !(i > 0 && text[i - 1] == '/') && !(i + 1 < text.size() && text[i + 1] == '/')) text[i] = '_';
  }
  fuzz_support::WriteBytes("fuzz.sce", text.data(), text.size());
  SceneReader reader;
  reader.LoadScene("fuzz.sce");
  if (const Level* level = reader.GetLevel()) {
    for (const Motion* motion : level->motions) {
      Require(motion->frameCount >= 0 && motion->frames != nullptr && MotionMap().count(motion->name) == 1,
              "a failed or unregistered motion is in the level");
      Require(!motion->segmentEnds.empty() && motion->segmentEnds.back() == motion->frameCount,
              "segment ends do not add up");
    }
    for (Character* character : level->characters) {
      const Vector3& p = character->position;
      Require(CharacterMap().count(character->name) == 1, "a level character is not registered");
      Require(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z), "position not finite");
    }
    for (const MotionDataSetRecord& set : level->dataSets) {
      for (const Motion* motion : {set.attack, set.defensive, set.idle}) {
        Require(motion == nullptr || MotionMap().count(motion->name) == 1, "a data set names an unregistered motion");
      }
    }
  }
  testing_support::DeleteWorldObjects();
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(".", ec)) {
    if (entry.path().extension() == ".gra") std::filesystem::remove(entry.path(), ec);
  }
  for (const char* clip : {"a.amc", "b.amc", "c.amc"}) {  // reading a scene never destroys the files it reads
    Require(std::filesystem::exists(MotionFolder + std::string(clip)), "a clip file was removed");
  }
  return 0;
}
