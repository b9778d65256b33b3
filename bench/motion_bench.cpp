// Motion loading speed, each figure also as a ratio of times against a
// baseline measured in the same run: a plain std::ifstream reader that takes
// the same AMC files word by word with stream extraction and builds the same
// postures.
//
//   AmcBaseline          the baseline
//   AmcParse             our AMC reader (whole-file read, from_chars)
//   AmcPostureCacheLoad  loading the same motions from their posture caches
//
// Input: the real clips of ../shared/mocap/cmu02 beside the project when
// present (or the folder named by TAVRIN_MOCAP), copied to a temporary
// folder; otherwise a synthetic clip of 3000 frames. bytes_per_second counts
// each benchmark's own input (AMC text or cache), items_per_second frames.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_folders.h"
#include "bench/ratio_reporter.h"
#include "motion/motion.h"
#include "tests/support/real_clips.h"
#include "tests/support/tiny_skeleton.h"

namespace fs = std::filesystem;

namespace {

struct BenchData {
  std::string folder;               // temporary working folder
  std::vector<std::string> clips;   // file names under MotionFolder, with ".amc"
  double amcBytes = 0;
  double cacheBytes = 0;
  long frames = 0;
  bool real = false;
};

// The small skeleton (upright bones of length 2, axis 0 0 20) and one clip
// of 3000 frames of slowly swinging angles.
void bench_WriteSyntheticData(BenchData* data) {
  const auto bone = [](int) { return testing_support::TinyBone{{0, 1, 0}, 2, {0, 0, 20}}; };
  if (!testing_support::WriteTinySkeleton(bone)) std::abort();
  const auto value = [](int frame, int j, int a) {
    const int f = frame + 1;
    return j == 0 ? 40.0 * std::sin(f * 0.01 + a) : 60.0 * std::sin(f * 0.013 + j + a);
  };
  std::ofstream(std::string(MotionFolder) + "synthetic.amc")
      << testing_support::TinyAmcText("#!OML:ASF synthetic\n:FULLY-SPECIFIED\n:DEGREES\n", 3000,
                                      value);
  data->clips.push_back("synthetic.amc");
}

// Makes the working folder once: skeleton, clips, an extension-less copy of
// each clip (so that our reader parses it without writing caches), and the
// caches of every clip.
BenchData& bench_Data() {
  static BenchData* data = [] {
    auto* d = new BenchData;
    d->folder = bench_support::MakeTempFolder();
    if (d->folder.empty()) std::abort();
    const fs::path mocap = bench_support::MocapFolder();
    fs::current_path(d->folder);
    if (bench_support::HasCmu02(mocap)) {
      d->real = true;
      d->clips = bench_support::Cmu02Clips();
      if (!testing_support::CopyRealClips(mocap.string(), d->clips)) std::abort();
    } else {
      bench_WriteSyntheticData(d);
    }
    for (const std::string& clip : d->clips) {
      const std::string path = std::string(MotionFolder) + clip;
      fs::copy_file(path, path.substr(0, path.size() - 4));
      d->amcBytes += static_cast<double>(fs::file_size(path));
      Motion motion(clip, clip, 0.06f, 0);  // writes the caches
      d->frames += motion.frameCount;
      d->cacheBytes += static_cast<double>(fs::file_size(path.substr(0, path.size() - 4) + ".bin"));
    }
    std::atexit([] { fs::remove_all(bench_Data().folder); });
    return d;
  }();
  return *data;
}

// The baseline: text mode, stream extraction word by word, the same frame
// count rule and the same postures as our reader.
long bench_StreamRead(const std::string& path, const Skeleton& skeleton) {
  long lines = 0;
  {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && !in.eof()) ++lines;
    }
  }
  const long frameCount = (lines - 3) / 30;
  std::vector<Posture> frames(static_cast<size_t>(frameCount));
  std::ifstream in(path);
  std::string word;
  while (in >> word && word != ":DEGREES") {
  }
  for (long f = 0; f < frameCount; ++f) {
    int number = 0;
    in >> number;
    for (int entry = 0; entry < 29; ++entry) {
      in >> word;
      const int j = Skeleton::FindBoneIndex(word);
      if (j >= kJointCount) continue;
      float tx = 0, ty = 0, tz = 0, rx = 0, ry = 0, rz = 0;
      if (j == 0) in >> tx >> ty >> tz;
      const Bone& bone = skeleton.bones[j];
      if (j == 0 || bone.dofRx) in >> rx;
      if (j == 0 || bone.dofRy) in >> ry;
      if (j == 0 || bone.dofRz) in >> rz;
      if (j == 0) frames[f].root = Vector3(tx * 0.06f, ty * 0.06f, tz * 0.06f);
      frames[f].rotation[j].SetEuler(rx, ry, rz);
    }
  }
  benchmark::DoNotOptimize(frames.data());
  return frameCount;
}

// Runs `load` over all clips per iteration; reports the bytes of the
// benchmark's own input and the frames loaded.
template <class Load>
void bench_Run(benchmark::State& state, double bytes, Load load) {
  BenchData& data = bench_Data();
  long frames = 0;
  for (auto _ : state) {
    for (const std::string& clip : data.clips) frames += load(clip);
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes * static_cast<double>(state.iterations())));
  state.SetItemsProcessed(frames);
  state.SetLabel(data.real ? "real clips" : "synthetic clip");
}

void AmcBaseline(benchmark::State& state) {
  bench_Run(state, bench_Data().amcBytes, [](const std::string& clip) {
    return bench_StreamRead(std::string(MotionFolder) + clip, DefaultSkeleton());
  });
}

void AmcParse(benchmark::State& state) {
  bench_Run(state, bench_Data().amcBytes, [](const std::string& clip) {
    // The extension-less copy: parsed every time, no cache written.
    Motion motion(clip, clip.substr(0, clip.size() - 4), 0.06f, 0);
    return static_cast<long>(motion.frameCount);
  });
}

void AmcPostureCacheLoad(benchmark::State& state) {
  bench_Run(state, bench_Data().cacheBytes, [](const std::string& clip) {
    Motion motion(clip, clip, 0.06f, 0);
    return static_cast<long>(motion.frameCount);
  });
}

BENCHMARK(AmcBaseline)->Unit(benchmark::kMillisecond);
BENCHMARK(AmcParse)->Unit(benchmark::kMillisecond);
BENCHMARK(AmcPostureCacheLoad)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return bench_support::RunWithRatios(argc, argv); }
