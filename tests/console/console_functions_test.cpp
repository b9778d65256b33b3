// The built-in console commands, entered as a user types them.
#include "console/console_functions.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "console/gl_console.h"
#include "core/console_variable.h"
#include "graph/motion_controller.h"
#include "graph/transition_graph.h"
#include "motion/motion.h"
#include "tests/support/temp_dir.h"
#include "world/camera.h"
#include "world/character.h"
#include "world/entity.h"
#include "world/motion_mixer.h"

namespace {

using testing::HasSubstr;
using testing_support::ReadFile;

class ConsoleFunctionsTest : public ::testing::Test {
 protected:
  ConsoleFunctionsTest() {
    g_console = new GLConsole(nullptr, nullptr, 12, 0.75f);
    camera_ = std::make_unique<Camera>();
    g_camera = camera_.get();
  }
  ~ConsoleFunctionsTest() override {
    while (!CharacterMap().empty()) delete CharacterMap().begin()->second;
    g_camera = nullptr;
    DeleteConsole();
  }

  // Types the line and Enter; returns the lines it printed, oldest first.
  std::vector<std::string> Enter(const std::string& line) {
    const size_t before = g_console->lines.size();
    for (char c : line + "\r") g_console->KeyPress(c);
    std::vector<std::string> printed;
    for (size_t i = g_console->lines.size() - before; i-- > 0;) {
      const ConsoleLine& stored = g_console->lines[i];
      if (stored.flags & kConsoleLineHidden) continue;  // the entered line itself
      printed.push_back(stored.text);
    }
    return printed;
  }

  testing_support::ScopedWorkDir dir_;
  std::unique_ptr<Camera> camera_;
};

std::string ErrorOf(const char* function, const char* text) {
  return std::string("Function '") + function + "' Error: " + text;
}

TEST_F(ConsoleFunctionsTest, WrongArgumentsReportTheirTextAndChangeNothing) {
  new Motion("walk", 10, 0);
  const size_t characters = CharacterMap().size();
  const struct {
    const char* line;
    const char* function;
    const char* text;
  } cases[] = {
      {"help me", "help", "this takes no parameters"},
      {"exit now", "exit", "this takes no parameters"},
      {"quit 0", "quit", "this takes no parameters"},
      {"camera.track 1", "camera.track",
       "invalid arguments-  pass 0 to turn on free roam camera.  Pass 1 followed by entity name to lock on..."},
      {"camera.track 00", "camera.track",
       "invalid arguments-  pass 0 to turn on free roam camera.  Pass 1 followed by entity name to lock on..."},
      {"camera.track 0 root", "camera.track", "Invalid Entity Name or you forgot to pass a '1' first"},
      {"camera.track 1 nobody", "camera.track", "Invalid Entity Name or you forgot to pass a '1' first"},
      {"camera.track 1 camera", "camera.track", "the camera cannot track itself"},
      {"character.create walk 1 2", "character.create",
       "invalid arguments -  pass the name of the motion followed by an optional creation point (3 floats)"},
      {"character.create run", "character.create", "Invalid motion name"},
      {"character.eval_pose nobody 1 2", "character.eval_pose", "Invalid Entity Name"},
      {"character.eval_pose nobody 1", "character.eval_pose",
       "invalid arguments-  pass an entity name followed by two frames to compare"},
      {"character.transitions", "character.transitions",
       "invalid arguments-  pass the entity name you want a dump of transitions of the current frame for"},
      {"character.transitions nobody", "character.transitions", "Invalid Entity Name"},
  };
  camera_->SetMode(Camera::kFreeRoam);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(Enter(c.line), std::vector<std::string>{ErrorOf(c.function, c.text)});
  }
  EXPECT_EQ(camera_->GetMode(), Camera::kFreeRoam);
  EXPECT_EQ(CharacterMap().size(), characters);
}

TEST_F(ConsoleFunctionsTest, HelpPrintsElevenLinesToTheConsoleOnly) {
  const std::vector<std::string> printed = Enter("help");
  ASSERT_EQ(printed.size(), 11u);
  EXPECT_EQ(printed[0], "");
  EXPECT_EQ(printed[1], "----------------- HELP -----------------");
  EXPECT_EQ(printed[2], "~ key to open and close console");
  EXPECT_EQ(printed[9], "Scroll the text by left clicking while moving the mouse");
  EXPECT_EQ(printed[10], printed[1]);
  EXPECT_THAT(ReadFile("log.txt"), testing::Not(HasSubstr("HELP")));
}

TEST_F(ConsoleFunctionsTest, CameraTracksAnEntityAndRoamsAgain) {
  Entity* test = EntityMap().at("test");
  EXPECT_EQ(Enter("camera.track 1 test"), std::vector<std::string>{});
  EXPECT_EQ(camera_->GetMode(), Camera::kTrackEntity);
  EXPECT_EQ(camera_->GetTarget(), test);
  EXPECT_EQ(Enter("camera.track 0"), std::vector<std::string>{});
  EXPECT_EQ(camera_->GetMode(), Camera::kFreeRoam);
}

TEST_F(ConsoleFunctionsTest, CreatedCharactersPlayTheMotionWhereTheyAreAsked) {
  Motion* walk = new Motion("walk", 10, 0);
  ASSERT_EQ(Enter("character.create " + walk->name), std::vector<std::string>{});
  ASSERT_EQ(Enter("character.create " + walk->name + " -1.5 2 3e1"), std::vector<std::string>{});
  Character* first = CharacterMap().at("consoleplayer");
  Character* second = CharacterMap().at("consoleplayer1");
  EXPECT_EQ(first->GetFlags(), 6u);
  const Vector3 origin = first->GetPosition();
  const Vector3 asked = second->GetPosition();
  EXPECT_EQ(std::vector<float>({origin.x, origin.y, origin.z}), std::vector<float>({0.0f, 0.0f, 0.0f}));
  EXPECT_EQ(std::vector<float>({asked.x, asked.y, asked.z}), std::vector<float>({-1.5f, 2.0f, 30.0f}));
  MotionController* controller = second->GetMixer()->GetPrimary();
  ASSERT_NE(controller, nullptr);
  EXPECT_EQ(controller->GetMotion(), walk);
  EXPECT_EQ(controller->GetGraph(), nullptr);
  EXPECT_TRUE(controller->playing);
}

TEST_F(ConsoleFunctionsTest, PoseEvaluationTakesFramesInsideTheMotion) {
  Enter("character.create " + (new Motion("walk", 10, 0))->name);
  const std::string invalid = ErrorOf("character.eval_pose", "Invalid Frame Numbers");
  for (const char* frames : {"0 5", "5 0", "10 5", "5 10", "-1 5", "x 5", "99999999999 5"}) {
    SCOPED_TRACE(frames);
    EXPECT_EQ(Enter(std::string("character.eval_pose consoleplayer ") + frames),
              std::vector<std::string>{invalid});
  }
  // Joint angles: an in-memory motion has no joint-position cache.
  ConsoleVariable<int> metric("motionctrl.evaltype", 0);
  metric = 0;
  const std::vector<std::string> printed = Enter("character.eval_pose consoleplayer 1 9");
  ASSERT_EQ(printed.size(), 1u);
  EXPECT_THAT(printed[0], testing::MatchesRegex("Evaluation of consoleplayer for frame 1 to 9: [-0-9.]+"));
}

TEST_F(ConsoleFunctionsTest, TransitionsListTheCurrentNodesTargetsLiterally) {
  Motion* walk = new Motion("walk", 10, 0);
  // A name with a per-cent sign must come out as it is.
  auto* character = new Character("a%sb", 6);
  const std::string graphless = ErrorOf("character.transitions", "that entity does not play a motion");
  EXPECT_EQ(Enter("character.transitions a%sb"), std::vector<std::string>{graphless});
  EXPECT_EQ(Enter("character.eval_pose a%sb 1 2"),
            std::vector<std::string>{ErrorOf("character.eval_pose", "that entity does not play a motion")});

  character->GetMixer()->SetPrimary(walk->CreateController(0));
  EXPECT_EQ(Enter("character.transitions a%sb"),
            std::vector<std::string>{ErrorOf("character.transitions", "that entity does not have a graph!")});

  MotionController* controller = walk->CreateController(1);
  character->GetMixer()->SetPrimary(controller);
  controller->currentFrame = 3;
  controller->GetGraph()->GetNode(3)->edges = {{7, 0.5f}, {1, 0.25f}};
  EXPECT_EQ(Enter("character.transitions a%sb"), std::vector<std::string>{"a%sb's transitions on frame 3: 7 1 "});
  EXPECT_THAT(ReadFile("log.txt"), HasSubstr("a%sb's transitions on frame 3: 7 1 \n"));
  controller->GetGraph()->GetNode(3)->edges.clear();
  EXPECT_EQ(Enter("character.transitions a%sb"), std::vector<std::string>{"a%sb's transitions on frame 3: "});
}

TEST_F(ConsoleFunctionsTest, ExitAndQuitShutDownSaveAndEndWithCodeZero) {
  static bool shutdownRan = false;
  SetConsoleShutdown([] {
    shutdownRan = true;
    DeleteConsole();
  });
  for (const char* command : {"exit", "quit"}) {
    SCOPED_TRACE(command);
    std::remove("cvar.ini");
    EXPECT_EXIT(
        {
          Enter(command);
          std::abort();  // not reached
        },
        testing::ExitedWithCode(0), "");
    EXPECT_THAT(ReadFile("cvar.ini"), HasSubstr("2 console.overlay 0.750000\n"));
  }
  EXPECT_FALSE(shutdownRan);  // only the child processes ended
  SetConsoleShutdown(nullptr);
}

}  // namespace
