// A frame's animation work for 100 characters over 1 000 frames of 1/60 s
// (simulated time): gameplay controller, mixer, motion controllers with their
// transition graphs, posture, and forward kinematics (every joint's position
// from the posed skeleton), on the sample data of tools/make_sample_data.
// The characters follow the three of the sample scene in turn: one idles and
// punches while joystick button 0 is held (pressed and released every
// second), one walks on a fixed-frame graph with the idle blended over it,
// one keeps guard on a random graph.
//
//   AnimateBaseline   plain playback: one graph-less controller per
//                     character, nothing blended, no forward kinematics
//   Animate           the whole work
//
// Counters: per_character_frame, the time of one character's frame;
// allocations_per_frame, operator new calls per frame after the first frame
// of the run (the first may size buffers).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/allocation_counter.h"
#include "bench/bench_folders.h"
#include "bench/ratio_reporter.h"
#include "graph/motion_controller.h"
#include "input/input_state.h"
#include "motion/motion.h"
#include "motion/skeleton.h"
#include "platform/clock.h"
#include "world/character.h"
#include "world/motion_mixer.h"
#include "world/scene_reader.h"

namespace fs = std::filesystem;

namespace {

constexpr int kCharacters = 100;
constexpr int kFrames = 1000;

// The sample data in a temporary working folder with its scene loaded, the
// manual clock installed; made once.
bool bench_Setup() {
  static const bool ready = [] {
    const std::string folder = bench_support::MakeTempFolder();
    if (folder.empty() || !bench_support::MakeSampleData(folder)) return false;
    fs::current_path(folder);
    std::atexit([] { fs::remove_all(fs::current_path()); });
    // The scene's own three characters stay, but are not animated here.
    static SceneReader reader;
    if (!reader.LoadScene("data/scenes/default.sce")) return false;
    platform::ManualClock::Install(1.0);
    return true;
  }();
  return ready;
}

Motion* bench_Motion(const char* name) {
  auto found = MotionMap().find(name);
  return found != MotionMap().end() ? found->second : nullptr;
}

// The characters of the whole work, made once.
std::vector<Character*>& bench_Characters() {
  static std::vector<Character*> characters = [] {
    std::vector<Character*> made;
    Motion* const set[3] = {bench_Motion("punch"), bench_Motion("guard"), bench_Motion("idle")};
    for (int k = 0; k < kCharacters; ++k) {
      auto* character = new Character("bench" + std::to_string(k), 6);
      MotionMixer* mixer = character->GetMixer();
      switch (k % 3) {
        case 0:
          character->SetController(0, set);
          break;
        case 1:
          mixer->SetPrimary(bench_Motion("walk")->CreateController(1));
          mixer->SetSecondary(bench_Motion("idle")->CreateController(2));
          break;
        default:
          mixer->SetPrimary(bench_Motion("guard")->CreateController(2));
          break;
      }
      made.push_back(character);
    }
    return made;
  }();
  return characters;
}

// Plain players of the walk, one per character.
std::vector<MotionController*>& bench_Players() {
  static std::vector<MotionController*> players = [] {
    std::vector<MotionController*> made;
    for (int k = 0; k < kCharacters; ++k) made.push_back(bench_Motion("walk")->CreateController(0));
    return made;
  }();
  return players;
}

// Runs `frame` kFrames times per iteration, 1/60 s apart, and reports the
// counters.
template <class Frame>
void bench_Run(benchmark::State& state, Frame frame) {
  long counted = 0;
  for (auto _ : state) {
    long before = 0;
    for (int f = 0; f < kFrames; ++f) {
      if (f == 1) before = bench_support::AllocationCount();
      platform::ManualClock::Advance(1.0 / 60.0);
      frame(f);
    }
    counted += bench_support::AllocationCount() - before;
  }
  const double frames = static_cast<double>(kFrames) * static_cast<double>(state.iterations());
  state.counters["per_character_frame"] = benchmark::Counter(
      kCharacters * kFrames, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["allocations_per_frame"] =
      static_cast<double>(counted) / (frames - static_cast<double>(state.iterations()));
}

void AnimateBaseline(benchmark::State& state) {
  if (!bench_Setup()) {
    state.SkipWithError("cannot make the sample data");
    return;
  }
  std::vector<MotionController*>& players = bench_Players();
  bench_Run(state, [&](int) {
    for (MotionController* player : players) {
      player->Update();
      benchmark::DoNotOptimize(player->GetPosture());
    }
  });
}

void Animate(benchmark::State& state) {
  if (!bench_Setup()) {
    state.SkipWithError("cannot make the sample data");
    return;
  }
  std::vector<Character*>& characters = bench_Characters();
  bench_Run(state, [&](int f) {
    g_joystickState.buttons[0] = (f / 60) % 2;
    for (Character* character : characters) {
      character->Animate();
      Vector3 positions[kJointCount];
      character->GetMixer()->GetSkeleton()->GetJointPositions(positions);
      benchmark::DoNotOptimize(positions);
    }
  });
}

BENCHMARK(AnimateBaseline)->Unit(benchmark::kMillisecond);
BENCHMARK(Animate)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return bench_support::RunWithRatios(argc, argv); }
