#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "core/quaternion.h"
#include "core/vector3.h"
#include "world/entity.h"

class Character;
class GameplayController;
class Motion;
class MotionMixer;
class Skeleton;

// Every character by its unique lower-case name. Created on first use; an
// entry leaves only with its character's destructor (nothing in the running
// system deletes a character).
std::map<std::string, Character*>& CharacterMap();

// An entity that plays motion: it owns a skeleton of its own ("MartialArts.asf"
// at scale 0.06) and a mixer that poses it from one or two motion controllers,
// may hold a gameplay controller, follows the root motion of the posed
// skeleton through the world, and draws its bones as yellow ellipsoids.
// All per-frame work happens in Draw: a character that is not drawn does not
// advance its motion.
class Character : public Entity {
 public:
  // Lower-cases and makes the name unique in EntityMap and again in
  // CharacterMap (the character's `name` is the CharacterMap key). Builds the
  // shared bone display lists on the first construction when a GL context is
  // current (else on the first Draw). Without a readable "MartialArts.asf"
  // the skeleton is a lone root: the character still animates and draws.
  // The modelRotation is 90 radians about y, then 90 radians about z (the
  // camera's tracking of characters depends on this fixed turn).
  Character(std::string name, uint32_t flags);
  // Deletes the gameplay controller, the mixer and the skeleton, and takes
  // the character's entries out of CharacterMap and EntityMap.
  ~Character() override;

  // Does nothing; returns true.
  bool Update() override;
  // Animate(), then draws the bone tree at `position` in the current
  // model-view frame, lit, in the colour (1, 1, 0.1) through the colour
  // material. Without a current GL context it only animates; so it does when
  // no part of it can show (wholly outside the view volume).
  void Draw() override;

  // The per-frame animation without any drawing: the gameplay controller's
  // Update, the mixer's Apply, the root motion (horizontal travel since the
  // first frame, height of the root) and the orientation (root Euler angles
  // times modelRotation).
  void Animate();

  MotionMixer* GetMixer() const { return mixer; }
  // Replaces the gameplay controller with CreateGameplayController(type,
  // mixer, motions) (null for unknown types, a null array or a data set
  // lacking a needed motion); the old one is deleted, the mixer's controllers
  // stay as they are.
  void SetController(int type, Motion* const motions[3]);
  void ClearController();

  bool firstFrame;
  Quaternion modelRotation;
  Vector3 lastRootPosition;
  MotionMixer* mixer;
  GameplayController* controller;

 private:
  Skeleton* skeleton_;
};

// Base of the 31 bone display lists shared by all characters; -1 until built.
extern int g_boneListBase;

// How a bone's ellipsoid, whose long axis is +z, is turned to lie along the
// bone's `direction` (any length): `*degrees` about `*axis`, where the axis is
// (0, 0, 1) x direction and the angle atan2(|axis|, z . direction). A
// direction along -z (no usable cross product) is turned half a turn about
// (1, 0, 0). Returns false, with *degrees 0 and *axis (0, 0, 1), when no turn
// is needed: a direction along +z, a zero direction or a non-finite one.
// degrees and axis must not be null.
bool GetBoneEllipsoidTurn(const Vector3& direction, float* degrees, Vector3* axis);
