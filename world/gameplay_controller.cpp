#include "world/gameplay_controller.h"

#include "core/log.h"
#include "graph/motion_controller.h"
#include "input/input_state.h"
#include "motion/motion.h"
#include "world/motion_mixer.h"

namespace {

// Graph types of the players: the attack and defensive players play their
// clip straight (looping), the idle player wanders through a random graph.
constexpr int kPlayerPlainGraph = 0;
constexpr int kPlayerRandomGraph = 2;

MotionController* players_Create(Motion* motion, int graphType) {
  return motion != nullptr ? motion->CreateController(graphType) : nullptr;
}

}  // namespace

ControllerPlayers::ControllerPlayers(Motion* const motions[3])
    : attack(nullptr), defensive(nullptr), idle(nullptr) {
  if (motions == nullptr) return;
  attack = players_Create(motions[0], kPlayerPlainGraph);
  defensive = players_Create(motions[1], kPlayerPlainGraph);
  idle = players_Create(motions[2], kPlayerRandomGraph);
}

GameplayController::GameplayController(MotionMixer* mixer_, Motion* const motions[3])
    : mixer(mixer_), players(new ControllerPlayers(motions)) {}

GameplayController::~GameplayController() { delete players; }

bool GameplayController::Update() { return true; }

ButtonBlendController::ButtonBlendController(MotionMixer* mixer_, Motion* const motions[3])
    : GameplayController(mixer_, motions), previousButton(0) {
  if (mixer != nullptr && players->idle != nullptr) mixer->SetPrimary(players->idle);
}

bool ButtonBlendController::Update() {
  const int held = static_cast<int>(g_joystickState.buttons[0]) != 0 ? 1 : 0;
  if (mixer != nullptr && players->attack != nullptr) {
    if (previousButton == 0 && held == 1) {
      mixer->SetSecondary(players->attack);
    } else if (previousButton == 1 && held == 0) {
      mixer->ClearSecondary();
    }
  }
  previousButton = held;
  return true;
}

GameplayController* CreateGameplayController(int type, MotionMixer* mixer,
                                             Motion* const motions[3]) {
  if (type != 0) return nullptr;
  if (mixer == nullptr) {
    LogPrintf("CreateGameplayController: no mixer; no controller created");
    return nullptr;
  }
  if (motions == nullptr || motions[0] == nullptr || motions[2] == nullptr) {
    LogPrintf("CreateGameplayController: type 0 needs an attack and an idle motion; "
              "no controller created");
    return nullptr;
  }
  return new ButtonBlendController(mixer, motions);
}
