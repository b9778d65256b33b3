// Scenes with many characters: the player strip's refill of its controller
// list, and the start of the whole program up to its first frame.
//
//   StripRefillBaseline            the refill for 100 controllers
//   StripRefill/controllers:n      the refill for n controllers
//       The strip, built in a shown window of its own, lists nothing yet;
//       then n controllers of ten motions are registered ("walk", "walk1",
//       ... "walk10" ...) and the figure is the time of the frame's
//       UpdateControls that refills the list, selects the first name and
//       shows its controller, plus the window's next layout and paint, where
//       GTK takes the new list in.
//   FirstFrameBaseline             the sample scene of tools/make_sample_data
//   FirstFrame/characters:n        the sample scene and n more characters
//       The main window as the program builds it (the engine starts inside,
//       reading the scene); the figure is the time from showing the window
//       to the moment the event loop is free again after the first frame:
//       the first frame drawn and the window laid out and painted, when a
//       close request or a signal would be answered. The counter
//       "to_window_s" is the time from the start to the window showing,
//       "next_frame_s" the time of the frame after the first (drawing the
//       characters, no list to fill).
//
// The engine and the GUI library start once per process, so every run takes
// a child process of its own. Needs an X display: without one, run under
// xvfb-run.
#include <benchmark/benchmark.h>
#include <gtk/gtk.h>
#include <unistd.h>
#include <wx/app.h>
#include <wx/choice.h>
#include <wx/evtloop.h>
#include <wx/frame.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/app_globals.h"
#include "app/gl_view.h"
#include "app/main_frame.h"
#include "app/player_panel.h"
#include "bench/bench_folders.h"
#include "bench/child_process.h"
#include "bench/ratio_reporter.h"
#include "graph/motion_controller.h"
#include "motion/motion.h"

// The program's application object defines it; this program has its own.
MainFrame* g_mainFrame = nullptr;

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double bench_Seconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

// What a child reports: the figure and, for a start, the time to the window
// and the time of the next frame.
struct ChildResult {
  double seconds = -1.0;
  double toWindow = 0.0;
  double nextFrame = 0.0;
};

// Runs `work` in a child process, its output silenced (the program's trace
// lines are not the benchmark's); a negative figure when it failed.
template <class Work>
ChildResult bench_InChild(Work work) {
  ChildResult result;
  const bool delivered = bench_support::RunInChild(
      [&work] {
        if (std::freopen("/dev/null", "w", stdout) == nullptr || std::freopen("/dev/null", "w", stderr) == nullptr) {
          return ChildResult();
        }
        return work();
      },
      &result);
  return delivered ? result : ChildResult();
}

bool bench_StartGui() {
  static int argc = 1;
  static char program[] = "many_characters_bench";
  static char* argv[] = {program, nullptr};
  wxApp::SetInstance(new wxApp);
  return wxEntryStart(argc, argv) && wxTheApp->CallOnInit();
}

// Lets the window lay itself out and paint: returns once GTK has painted it
// again (a layout comes before every paint).
void bench_WaitForPaint(wxWindow* window) {
  GtkWidget* widget = window->GetHandle();
  GdkFrameClock* clock = gtk_widget_get_frame_clock(widget);
  if (clock == nullptr) return;
  bool painted = false;
  const auto onPaint = +[](GdkFrameClock*, gpointer flag) { *static_cast<bool*>(flag) = true; };
  const gulong handler = g_signal_connect(clock, "after-paint", G_CALLBACK(onPaint), &painted);
  gtk_widget_queue_draw(widget);
  while (!painted) g_main_context_iteration(nullptr, TRUE);
  g_signal_handler_disconnect(clock, handler);
}

// The clips that the controllers play, as a scene's motions would be named.
constexpr const char* kClipNames[] = {"walk", "idle", "punch", "guard", "run",
                                      "jump", "kick", "block", "turn", "wave"};

ChildResult bench_Refill(int controllers) {
  if (!bench_StartGui()) return {};
  auto* frame = new wxFrame(nullptr, wxID_ANY, "strip", wxDefaultPosition, wxSize(800, 140));
  auto* strip = new PlayerPanel(frame, 7, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL, "panel");
  frame->Show(true);
  bench_WaitForPaint(frame);
  std::vector<std::unique_ptr<Motion>> motions;
  for (const char* name : kClipNames) motions.push_back(std::make_unique<Motion>(name, 120, 0));
  std::vector<std::unique_ptr<MotionController>> made;
  for (int i = 0; i < controllers; ++i) {
    made.push_back(std::make_unique<MotionController>(motions[i % motions.size()].get(), 0, 1.0f));
  }
  const Clock::time_point start = Clock::now();
  strip->UpdateControls();
  bench_WaitForPaint(frame);
  ChildResult result;
  result.seconds = bench_Seconds(start, Clock::now());
  if (strip->controllerChoice->GetCount() != static_cast<unsigned>(controllers) ||
      strip->currentController == nullptr) {
    result.seconds = -1.0;
  }
  return result;
}

// Counts the frames: the last panel of the list, so GlobalUpdate reaches it
// in every frame after the program's own panels.
// The third frame ends the event loop `loop`.
class FrameCounter : public ControlPanelEntry {
 public:
  explicit FrameCounter(wxEventLoopBase* loop) : loop_(loop) {}
  void UpdateControls() override {
    if (++frames == 2) secondFrame = Clock::now();
    if (frames != 3) return;
    thirdFrame = Clock::now();
    loop_->Exit();
    // The library goes on drawing frames for as long as nothing else waits
    // in GLib's main loop: a source that waits lets the loop end.
    g_idle_add([](gpointer) -> gboolean { return G_SOURCE_REMOVE; }, nullptr);
  }
  int frames = 0;
  Clock::time_point secondFrame;
  Clock::time_point thirdFrame;

 private:
  wxEventLoopBase* loop_;
};

ChildResult bench_FirstFrame(const std::string& folder) {
  if (chdir(folder.c_str()) != 0 || !bench_StartGui()) return {};
  const Clock::time_point start = Clock::now();
  auto* frame = new MainFrame("Tavrin v1", wxPoint(50, 50), wxSize(800, 630));
  if (!frame->glView->HasContext()) return {};  // it would never draw a frame
  // The second frame begins once the first is drawn and the events that
  // came meanwhile are handled.
  wxGUIEventLoop loop;
  FrameCounter counter(&loop);
  const Clock::time_point shown = Clock::now();
  frame->Show(true);
  g_mainFrame = frame;
  loop.Run();
  ChildResult result;
  result.seconds = bench_Seconds(shown, counter.secondFrame);
  result.toWindow = bench_Seconds(start, shown);
  result.nextFrame = bench_Seconds(counter.secondFrame, counter.thirdFrame);
  return result;
}

// A working folder per number of extra characters, made once: the sample
// data, its scene followed by that many characters, each playing one of the
// four clips without a graph, in rows along x.
const std::string& bench_Folder(int characters) {
  static std::vector<std::pair<int, std::string>> folders;
  for (const auto& entry : folders) {
    if (entry.first == characters) return entry.second;
  }
  std::string folder = bench_support::MakeTempFolder();
  if (!folder.empty() && bench_support::MakeSampleData(folder)) {
    std::ofstream scene(folder + "/data/scenes/default.sce", std::ios::app);
    const char* clips[] = {"walk", "idle", "guard", "punch"};
    for (int i = 0; i < characters; ++i) {
      scene << "\n* Character\nCharacterName: Extra" << i << "\nPosition: " << (i % 50) * 1.5 << " 0 "
            << (i / 50) * 1.5 << "\nDefaultRootMotion: " << clips[i % 4] << " 0\nEND\n";
    }
    if (!scene) folder.clear();
  } else {
    folder.clear();
  }
  static const bool cleanup = [] {
    std::atexit([] {
      for (const auto& entry : folders) {
        if (!entry.second.empty()) fs::remove_all(entry.second);
      }
    });
    return true;
  }();
  (void)cleanup;
  folders.emplace_back(characters, folder);
  return folders.back().second;
}

void bench_RunRefill(benchmark::State& state, int controllers) {
  for (auto _ : state) {
    const ChildResult result = bench_InChild([controllers] { return bench_Refill(controllers); });
    if (result.seconds < 0.0) {
      state.SkipWithError("the strip did not refill (no X display? run under xvfb-run)");
      return;
    }
    state.SetIterationTime(result.seconds);
  }
}

void bench_RunFirstFrame(benchmark::State& state, int characters) {
  const std::string& folder = bench_Folder(characters);
  if (folder.empty()) {
    state.SkipWithError("cannot make the scene");
    return;
  }
  double toWindow = 0.0;
  double nextFrame = 0.0;
  for (auto _ : state) {
    const ChildResult result = bench_InChild([&folder] { return bench_FirstFrame(folder); });
    if (result.seconds < 0.0) {
      state.SkipWithError("the program did not start (no X display? run under xvfb-run)");
      return;
    }
    state.SetIterationTime(result.seconds);
    toWindow += result.toWindow;
    nextFrame += result.nextFrame;
  }
  state.counters["to_window_s"] = benchmark::Counter(toWindow, benchmark::Counter::kAvgIterations);
  state.counters["next_frame_s"] = benchmark::Counter(nextFrame, benchmark::Counter::kAvgIterations);
}

void StripRefillBaseline(benchmark::State& state) { bench_RunRefill(state, 100); }
void StripRefill(benchmark::State& state) { bench_RunRefill(state, static_cast<int>(state.range(0))); }
void FirstFrameBaseline(benchmark::State& state) { bench_RunFirstFrame(state, 0); }
void FirstFrame(benchmark::State& state) { bench_RunFirstFrame(state, static_cast<int>(state.range(0))); }

BENCHMARK(StripRefillBaseline)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(StripRefill)
    ->ArgName("controllers")
    ->Arg(1000)
    ->Arg(3000)
    ->Arg(10000)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(FirstFrameBaseline)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(FirstFrame)
    ->ArgName("characters")
    ->Arg(1000)
    ->Arg(3000)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return bench_support::RunWithRatios(argc, argv); }
