// The console's built-in commands and their registration.
#include "console/console_functions.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "console/gl_console.h"
#include "core/console_variable.h"
#include "core/log.h"
#include "core/vector3.h"
#include "graph/motion_controller.h"
#include "graph/transition_graph.h"
#include "motion/motion.h"
#include "world/camera.h"
#include "world/character.h"
#include "world/entity.h"
#include "world/motion_mixer.h"

namespace {

constexpr char kFunctionsNoParameters[] = "this takes no parameters";
constexpr char kFunctionsInvalidEntity[] = "Invalid Entity Name";

ConsoleShutdownFunction g_consoleShutdown = nullptr;

// The number at the start of `text` as the C library reads a whole number,
// kept within int (0 when there is none).
int functions_WholeNumber(const std::string& text) {
  errno = 0;
  const long value = std::strtol(text.c_str(), nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

// The primary controller of the named character; null, with `*error` set,
// when there is no such character or it plays nothing.
MotionController* functions_PrimaryOf(const std::string& name, const char** error) {
  const auto& characters = CharacterMap();
  const auto found = characters.find(name);
  if (found == characters.end()) {
    *error = kFunctionsInvalidEntity;
    return nullptr;
  }
  MotionMixer* mixer = found->second->GetMixer();
  MotionController* controller = mixer != nullptr ? mixer->GetPrimary() : nullptr;
  if (controller == nullptr) *error = "that entity does not play a motion";
  return controller;
}

}  // namespace

void SetConsoleShutdown(ConsoleShutdownFunction shutdown) { g_consoleShutdown = shutdown; }

void RegisterConsoleFunctions() {
  const struct {
    const char* name;
    ConsoleFunction handler;
  } functions[] = {
      {"help", ConsoleHelp},
      {"exit", ConsoleExit},
      {"quit", ConsoleExit},
      {"camera.track", ConsoleCameraTrack},
      {"character.create", ConsoleCharacterCreate},
      {"character.eval_pose", ConsoleCharacterEvalPose},
      {"character.transitions", ConsoleCharacterTransitions},
  };
  // Each handle registers the name and is dropped again; the record stays.
  for (const auto& function : functions) {
    ConsoleVariable<ConsoleFunction> registration(function.name, function.handler);
  }
}

const char* ConsoleHelp(std::vector<std::string>* args) {
  if (!args->empty()) return kFunctionsNoParameters;
  static const char* const kLines[] = {
      "",
      "----------------- HELP -----------------",
      "~ key to open and close console",
      "Setting a value: [command] = value",
      "Getting a value: [command]",
      "NOTE: changes to values are permanent (they are saved automatically)",
      "Functions: [function] [arg1] [arg2] ...",
      "Arrow keys move through history",
      "TAB does tab completion and makes suggestions...",
      "Scroll the text by left clicking while moving the mouse",
      "----------------- HELP -----------------",
  };
  for (const char* line : kLines) ConsolePrintf("%s", line);
  return "";
}

const char* ConsoleExit(std::vector<std::string>* args) {
  if (!args->empty()) return kFunctionsNoParameters;
  // The console that runs this command is deleted here; nothing may return
  // to it.
  if (g_consoleShutdown != nullptr) {
    g_consoleShutdown();
  } else {
    DeleteConsole();
  }
  std::exit(0);
}

const char* ConsoleCameraTrack(std::vector<std::string>* args) {
  static const char kUsage[] =
      "invalid arguments-  pass 0 to turn on free roam camera.  Pass 1 followed by entity name to lock on...";
  if (g_camera == nullptr) return "there is no camera";
  if (args->size() == 1 && (*args)[0] == "0") {
    g_camera->SetMode(Camera::kFreeRoam);
    return "";
  }
  if (args->size() != 2) return kUsage;
  const auto& entities = EntityMap();
  const auto found = entities.find((*args)[1]);
  if ((*args)[0] != "1" || found == entities.end()) {
    return "Invalid Entity Name or you forgot to pass a '1' first";
  }
  // Tracking itself, the camera would chase a point that moves with it.
  if (found->second == g_camera) return "the camera cannot track itself";
  g_camera->SetTarget(found->second);
  return "";
}

const char* ConsoleCharacterCreate(std::vector<std::string>* args) {
  if (args->size() != 1 && args->size() != 4) {
    return "invalid arguments -  pass the name of the motion followed by an optional creation point (3 floats)";
  }
  const auto& motions = MotionMap();
  const auto found = motions.find((*args)[0]);
  if (found == motions.end()) return "Invalid motion name";
  Vector3 position(0.0f, 0.0f, 0.0f);
  if (args->size() == 4) {
    position = Vector3(static_cast<float>(std::atof((*args)[1].c_str())),
                       static_cast<float>(std::atof((*args)[2].c_str())),
                       static_cast<float>(std::atof((*args)[3].c_str())));
    // A character at such a place could never be seen.
    if (!IsFinite(position)) {
      return "the creation point must be three finite numbers";
    }
  }
  auto* character = new Character("consoleplayer", 6);
  character->GetMixer()->SetPrimary(found->second->CreateController(0));
  character->SetPosition(position);
  return "";
}

const char* ConsoleCharacterEvalPose(std::vector<std::string>* args) {
  if (args->size() != 3) {
    return "invalid arguments-  pass an entity name followed by two frames to compare";
  }
  const char* error = nullptr;
  MotionController* controller = functions_PrimaryOf((*args)[0], &error);
  if (controller == nullptr) return error;
  const int a = functions_WholeNumber((*args)[1]);
  const int b = functions_WholeNumber((*args)[2]);
  if (!(a > 0 && b > 0 && a < controller->frameCount && b < controller->frameCount)) {
    return "Invalid Frame Numbers";
  }
  const float value = controller->EvaluateTransition(b, a);
  ConsolePrintf("Evaluation of %s for frame %d to %d: %f", (*args)[0].c_str(), a, b, value);
  return "";
}

const char* ConsoleCharacterTransitions(std::vector<std::string>* args) {
  if (args->size() != 1) {
    return "invalid arguments-  pass the entity name you want a dump of transitions of the current frame for";
  }
  const char* error = nullptr;
  MotionController* controller = functions_PrimaryOf((*args)[0], &error);
  if (controller == nullptr) return error;
  TransitionGraph* graph = controller->GetGraph();
  if (graph == nullptr) return "that entity does not have a graph!";
  std::string text = (*args)[0] + "'s transitions on frame " + std::to_string(controller->currentFrame) + ": ";
  if (const GraphNode* node = graph->GetNode(controller->currentFrame)) {
    for (const GraphEdge& edge : node->edges) {
      text += std::to_string(edge.target);
      text += ' ';
    }
  }
  LogPrintf("%s", text.c_str());
  return "";
}
