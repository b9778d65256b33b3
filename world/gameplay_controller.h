#pragma once

class Motion;
class MotionController;
class MotionMixer;

// The three players of a motion data set: attack and defensive without a
// transition graph, idle with a random graph. A missing motion gives a null
// player.
struct ControllerPlayers {
  // motions: attack, defensive, idle (any may be null).
  explicit ControllerPlayers(Motion* const motions[3]);
  MotionController* attack;
  MotionController* defensive;
  MotionController* idle;
};

// Turns player input into changes of a character's motion mix.
class GameplayController {
 public:
  GameplayController(MotionMixer* mixer, Motion* const motions[3]);
  // Deletes the players record (not the controllers in it).
  virtual ~GameplayController();
  GameplayController(const GameplayController&) = delete;
  GameplayController& operator=(const GameplayController&) = delete;

  // Once per drawn frame of the character, before the mixer poses it.
  virtual bool Update();

  MotionMixer* mixer;
  ControllerPlayers* players;
};

// Plays the idle motion and blends the attack motion in while joystick
// button 0 (bit 0 of g_joystickState.buttons) is held.
class ButtonBlendController : public GameplayController {
 public:
  ButtonBlendController(MotionMixer* mixer, Motion* const motions[3]);
  // A press edge of button 0 makes the attack player the mixer's started
  // secondary (continuing from the frame where it last stopped); a release
  // edge clears the secondary. Nothing changes while the button stays as it
  // was. Returns true.
  bool Update() override;

  // Button 0 as this controller saw it at its last Update (0 released, 1
  // held); 0 at construction. Kept per controller, so that every character
  // carrying one sees the press and release edges.
  int previousButton;
};

// Type 0 -> a ButtonBlendController; any other type -> null. Also null (with
// a log line) when the data set lacks a motion that the type needs (idle and
// attack for type 0).
GameplayController* CreateGameplayController(int type, MotionMixer* mixer, Motion* const motions[3]);
