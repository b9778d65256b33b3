// Start-up speed: the time from the engine's start to its first rendered
// frame, for two scenes:
//
//   scene:0  the sample scene of tools/make_sample_data (four clips, three
//            characters)
//   scene:1  one motion joined from the ten clips of ../shared/mocap/cmu02
//            (12 815 frames; or the folder named by TAVRIN_MOCAP), played by a
//            character on a random graph; skipped without the capture data
//
//   StartupBaseline/scene:s  a warm start: the caches, ".gra" files and
//                            "cvar.ini" of an earlier start are in place
//   StartupCold/scene:s      a cold start: no caches, no ".gra" file, no
//                            "cvar.ini"
//
// The engine starts once per process, so every start runs in a child process
// of its own: it creates an off-screen OpenGL context (in place of the main
// window's), runs GlobalInit (console, renderer, camera, scene: motions,
// their caches and transition graphs), then one GlobalUpdate and glFinish.
// The figure is the time from before the context to after that frame. The
// child then shuts the engine down as the program does ("cvar.ini" is
// written) and exits. Needs an X display: without one, run under xvfb-run.
#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/app_globals.h"
#include "bench/bench_folders.h"
#include "bench/child_process.h"
#include "bench/ratio_reporter.h"
#include "motion/motion.h"
#include "platform/gl_context.h"
#include "tests/support/real_clips.h"

namespace fs = std::filesystem;

namespace {

// A working folder per scene, made once; empty when the scene cannot be made.
std::string bench_MakeScene(int scene) {
  const std::string folder = bench_support::MakeTempFolder();
  if (folder.empty()) return "";
  if (scene == 0) return bench_support::MakeSampleData(folder) ? folder : "";
  const fs::path mocap = bench_support::MocapFolder();
  if (!bench_support::HasCmu02(mocap)) return "";
  const fs::path here = fs::current_path();
  fs::current_path(folder);
  const std::vector<std::string> clips = bench_support::Cmu02Clips();
  std::string files;
  for (const std::string& clip : clips) files += (files.empty() ? "" : ", ") + clip;
  const bool copied = testing_support::CopyRealClips(mocap.string(), clips);
  fs::current_path(here);
  if (!copied) return "";
  fs::create_directories(folder + "/data/scenes");
  std::ofstream(folder + "/data/scenes/default.sce")
      << "// Ten capture clips joined into one motion.\n\n"
      << "* MotionData\nMotionName: cmu\nAMCFiles: " << files << "\nBodyWeights: 0\nEND\n\n"
      << "* Character\nCharacterName: Dancer\nPosition: 0 0 0\nDefaultRootMotion: cmu 2\nEND\n";
  return folder;
}

const std::string& bench_Folder(int scene) {
  static const std::string folders[2] = {bench_MakeScene(0), bench_MakeScene(1)};
  static const bool cleanup = [] {
    std::atexit([] {
      for (const std::string& folder : folders) {
        if (!folder.empty()) fs::remove_all(folder);
      }
    });
    return true;
  }();
  (void)cleanup;
  return folders[scene];
}

// Removes what a start derives: caches, graphs, settings, log.
void bench_MakeCold(const std::string& folder) {
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    const std::string extension = entry.path().extension().string();
    if (extension == ".bin" || extension == ".mpos" || extension == ".gra") fs::remove(entry.path());
  }
  fs::remove(folder + "/cvar.ini");
  fs::remove(folder + "/log.txt");
}

// One start in a child process working in `folder`: the seconds to the first
// frame, or a negative number when the start failed.
double bench_Start(const std::string& folder) {
  double seconds = -1.0;
  const bool delivered = bench_support::RunInChild(
      [&folder] {
        // The camera's trace lines are not the benchmark's output.
        if (std::freopen("/dev/null", "w", stdout) == nullptr || chdir(folder.c_str()) != 0) return -1.0;
        const auto start = std::chrono::steady_clock::now();
        platform::OffscreenGLContext gl;
        if (!gl.Create(800, 600)) return -1.0;
        GlobalInit();
        GlobalUpdate();
        glFinish();
        const double taken = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        GlobalShutdown();
        return taken;
      },
      &seconds);
  return delivered ? seconds : -1.0;
}

// Times starts of `scene`, cold ones when `cold`.
void bench_Run(benchmark::State& state, bool cold) {
  const int scene = static_cast<int>(state.range(0));
  const std::string& folder = bench_Folder(scene);
  if (folder.empty()) {
    state.SkipWithError(scene == 0 ? "cannot make the sample data"
                                   : "real capture data (../shared/mocap/cmu02) is absent");
    return;
  }
  if (!cold) {
    bench_MakeCold(folder);
    bench_Start(folder);  // leaves what the warm starts find
  }
  for (auto _ : state) {
    if (cold) bench_MakeCold(folder);
    const double seconds = bench_Start(folder);
    if (seconds < 0.0) {
      state.SkipWithError("the engine did not start (no X display? run under xvfb-run)");
      return;
    }
    state.SetIterationTime(seconds);
  }
  state.SetLabel(scene == 0 ? "sample scene" : "ten clips as one motion");
}

void StartupBaseline(benchmark::State& state) { bench_Run(state, false); }
void StartupCold(benchmark::State& state) { bench_Run(state, true); }

BENCHMARK(StartupBaseline)->ArgName("scene")->Arg(0)->Arg(1)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(StartupCold)->ArgName("scene")->Arg(0)->Arg(1)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return bench_support::RunWithRatios(argc, argv); }
