// Tests of the character: names, the fixed model rotation, root motion and
// orientation, the bone ellipsoid turn, the shared bone display lists, and
// bones drawn off-screen where the skeleton's own forward kinematics puts
// them.

#include "world/character.h"

#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <tuple>

#include "graph/motion_controller.h"
#include "motion/motion.h"
#include "platform/clock.h"
#include "platform/gl_context.h"
#include "tests/support/skip.h"
#include "tests/support/tiny_skeleton.h"
#include "world/motion_mixer.h"

namespace {

using testing_support::TinyBone;

// |a . b| of unit quaternions: 1 when they give the same rotation.
float chartest_SameRotation(const Quaternion& a, const Quaternion& b) {
  return std::fabs(a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w);
}

TEST(CharacterTest, ANameTakenByAPlainEntityStaysTheCharactersOwn) {
  // The character keeps the plain name as its own and in CharacterMap, and
  // stands in EntityMap under the next free key; its destructor takes out its
  // own entries, whatever their keys.
  Entity plain("root", 2);
  auto* character = new Character("ROOT", 6);
  EXPECT_EQ(std::make_tuple(CharacterMap().at("root"), EntityMap().at("root1")), std::make_tuple(character, character));
  delete character;
  EXPECT_EQ(EntityMap().count("root1") + CharacterMap().count("root"), 0u);
  EXPECT_EQ(EntityMap().at("root"), &plain);
}

TEST(CharacterTest, FirstFrameKeepsThePlaceAndLaterFramesAddTheRootTravel) {
  platform::ManualClock::Install(100.0);
  Motion motion("clip", 3, 0);
  const Vector3 roots[3] = {{10.0f, 0.9f, -4.0f}, {10.5f, 1.1f, -3.25f}, {11.0f, 1.0f, -2.5f}};
  const Quaternion turns[3] = {{20.0f, 30.0f, 10.0f}, {0.0f, 45.0f, 0.0f}, {-15.0f, 100.0f, 5.0f}};
  for (int f = 0; f < 3; ++f) {
    motion.frames[f].root = roots[f];
    motion.frames[f].rotation[0] = turns[f];
  }
  std::unique_ptr<MotionController> player(motion.CreateController(0));
  Character walker("walker", 6);
  // The model rotation: about y by 90 radians, then about z by 90 radians;
  // half angles of 45 radians, (s s, s c, c s, c c) with s = sin 45, c = cos 45.
  const float s = std::sin(45.0f), c = std::cos(45.0f);
  EXPECT_NEAR(chartest_SameRotation(walker.modelRotation, Quaternion(s * s, s * c, c * s, c * c)), 1.0f, 1e-6f);
  walker.SetPosition(Vector3(2.0f, 0.0f, 3.0f));
  walker.GetMixer()->SetPrimary(player.get());
  // The given place with the root's height, then the root's travel added
  // frame by frame; the root's turn followed by the model rotation.
  const Vector3 expected[3] = {{2.0f, 0.9f, 3.0f}, {2.5f, 1.1f, 3.75f}, {3.0f, 1.0f, 4.5f}};
  const double advances[3] = {0.0, 1.5 / 120.0, 1.0 / 120.0};  // frames 0, 1, 2
  for (int f = 0; f < 3; ++f) {
    platform::ManualClock::Advance(advances[f]);
    walker.Draw();  // without a GL context it only animates
    ASSERT_EQ(player->currentFrame, f);
    EXPECT_LT(Distance(walker.position, expected[f]), 1e-5f) << f;
    EXPECT_NEAR(chartest_SameRotation(walker.orientation, turns[f] * walker.modelRotation), 1.0f, 1e-6f) << f;
  }
  // Root travel that would carry it past the float range is not taken.
  motion.frames[2].root.x = 3e38f;
  walker.position.x = 1e38f;
  walker.Draw();
  EXPECT_EQ(walker.position.x, 1e38f);
}

TEST(CharacterTest, EllipsoidTurnLaysTheLongAxisAlongEveryDirection) {
  float degrees = -1.0f;
  Vector3 axis;
  // Along +z, zero or not finite: no turn. Along -z the cross product is
  // zero: half a turn about x.
  for (const Vector3& d : {Vector3(0, 0, 0.3f), Vector3(), Vector3(NAN, 0, 1), Vector3(0, 0, INFINITY)}) {
    EXPECT_FALSE(GetBoneEllipsoidTurn(d, &degrees, &axis) || degrees != 0.0f) << d.x << " " << d.z;
  }
  ASSERT_TRUE(GetBoneEllipsoidTurn(Vector3(1e-9f, 0, -2.5f), &degrees, &axis));
  EXPECT_EQ(std::make_pair(degrees, Distance(axis, Vector3(1, 0, 0))), std::make_pair(180.0f, 0.0f));
  // Otherwise the turn carries +z onto the direction (the drawing test
  // below shows bones along many).
  ASSERT_TRUE(GetBoneEllipsoidTurn(Vector3(0.5f, 0, -0.5f), &degrees, &axis));
  EXPECT_EQ(std::make_pair(degrees, Distance(axis, Vector3(0, 0.5f, 0))), std::make_pair(135.0f, 0.0f));
}

// Drawing, in an off-screen context of its own; the bone lists built in it
// are deleted before it goes (the software driver leaks lists still alive
// when their context is destroyed).
class CharacterDrawTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (g_boneListBase > 0) glDeleteLists(static_cast<GLuint>(g_boneListBase), kJointCount);
    g_boneListBase = -1;
  }
  platform::OffscreenGLContext gl;
};

TEST_F(CharacterDrawTest, BonesLieWhereTheSkeletonPutsThemAndTheListsAreBuiltOnce) {
  // Three bones 0.24 long with turned axis frames: lhipjoint and its sibling
  // rhipjoint from the root, lfemur from lhipjoint; the others empty.
  ASSERT_TRUE(testing_support::WriteTinySkeleton([](int i) {
    return TinyBone{{1, i == 6 ? -1.0f : 0.5f, 0}, i == 1 || i == 2 || i == 6 ? 4.0f : 0.0f, {i * 20.0f, 30, -20}};
  }));
  Character("early", 6).Draw();  // no context yet: nothing to build, nothing breaks
  EXPECT_EQ(g_boneListBase, -1);
  if (!gl.Create(200, 200)) TAVRIN_SKIP_TEST(gl.error());
  Character posed("posed", 6);
  Motion pose("pose", 1, 0);
  pose.frames[0].root = Vector3(3.0f, 0.95f, 7.0f);
  pose.frames[0].rotation[0] = Quaternion(10, 40, -5);
  pose.frames[0].rotation[2] = Quaternion(-50, 20, 15);
  std::unique_ptr<MotionController> player(pose.CreateController(0));
  posed.SetPosition(Vector3(-1.0f, 0.0f, 0.5f));
  posed.GetMixer()->SetPrimary(player.get());
  // Seen from (0.2, 0.3, 1) off the drawn root (45 degrees), lit from the eye.
  glMatrixMode(GL_PROJECTION);
  gluPerspective(45.0, 1.0, 0.1, 50.0);
  glMatrixMode(GL_MODELVIEW);
  gluLookAt(-0.8, 1.25, 1.5, -1.0, 0.95, 0.5, 0.0, 1.0, 0.0);
  for (GLenum setting : {GL_DEPTH_TEST, GL_LIGHTING, GL_LIGHT0, GL_NORMALIZE}) glEnable(setting);
  glClearColor(0.4078f, 0.8313f, 0.9725f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  posed.Draw();
  const int base = g_boneListBase;
  ASSERT_GT(base, 0);
  EXPECT_TRUE(glIsList(base + 30) && !glIsList(base + 31));
  // Lit, each bone stays yellow through the colour material, from its
  // parent's joint to its own by the skeleton's own forward kinematics
  // (moved from its root to the drawn root), and not beyond.
  GLdouble model[16], projection[16];
  GLint viewport[4];
  glGetDoublev(GL_MODELVIEW_MATRIX, model);
  glGetDoublev(GL_PROJECTION_MATRIX, projection);
  glGetIntegerv(GL_VIEWPORT, viewport);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  const Skeleton& skeleton = *posed.GetMixer()->GetSkeleton();
  // Whether `colour` holds for one of the 3 x 3 pixels around the point t
  // along the bone from joint `from` to joint `to`.
  const auto near = [&](int from, int to, float t, bool (*colour)(const uint8_t*)) {
    Vector3 a, b;
    skeleton.GetJointPosition(from, &a);
    skeleton.GetJointPosition(to, &b);
    const Vector3 p = Lerp(t, a, b) - skeleton.rootPosition + posed.position;
    GLdouble x = 0, y = 0, z = 0;
    gluProject(p.x, p.y, p.z, model, projection, viewport, &x, &y, &z);
    uint8_t pixels[27];
    glReadPixels(static_cast<int>(x) - 1, static_cast<int>(y) - 1, 3, 3, GL_RGB, GL_UNSIGNED_BYTE, pixels);
    bool found = false;
    for (int i = 0; i < 27; i += 3) found = found || colour(pixels + i);
    return found;
  };
  const auto yellow = [](const uint8_t* p) { return p[0] >= 200 && p[1] >= 200 && p[2] <= 80; };
  const auto sky = [](const uint8_t* p) { return p[0] == 104 && p[1] == 212 && p[2] == 248; };
  for (const auto& [from, to] : {std::pair{0, 1}, {1, 2}, {0, 6}}) {
    for (float t : {0.25f, 0.5f, 0.75f}) EXPECT_TRUE(near(from, to, t, yellow)) << to << " " << t;
    EXPECT_TRUE(to == 1 || near(from, to, 1.25f, sky)) << to;
  }
  // Another character uses them too.
  Character("late", 6).Draw();
  EXPECT_EQ(g_boneListBase, base);
}

// A character is left out of the drawing only when no part of it can show:
// here the view takes in a slice of its raised arms alone, 0.44 above its
// root (upright bones 0.06 long: the arms end 0.54 up), and the arms are
// drawn. Moved out of sight it draws nothing but still plays its motion.
// (Its root height comes from the clip, so it is moved across and back.)
TEST_F(CharacterDrawTest, OnlyACharacterWhollyOutOfViewIsLeftUndrawn) {
  ASSERT_TRUE(testing_support::WriteTinySkeleton());
  if (!gl.Create(40, 40)) TAVRIN_SKIP_TEST(gl.error());
  platform::ManualClock::Install(10.0);
  Motion clip("clip", 10, 0);
  std::unique_ptr<MotionController> player(clip.CreateController(0));
  Character upright("upright", 6);
  upright.GetMixer()->SetPrimary(player.get());
  glMatrixMode(GL_PROJECTION);
  glOrtho(-0.1, 0.1, 0.44, 0.5, -1.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  const auto yellowPixels = [&] {
    glClearColor(0.0f, 0.0f, 1.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    upright.Draw();
    const std::vector<uint8_t> rgb = gl.ReadRgb();
    int yellow = 0;
    for (size_t i = 0; i + 2 < rgb.size(); i += 3) yellow += rgb[i] >= 200 && rgb[i + 1] >= 200 && rgb[i + 2] <= 80;
    return yellow;
  };
  EXPECT_GT(yellowPixels(), 0);
  for (const Vector3& away : {Vector3(2, 0, 0), Vector3(0, 0, 3)}) {
    upright.SetPosition(away);
    const int frame = player->currentFrame;
    platform::ManualClock::Advance(2.0 / 120.0);
    EXPECT_EQ(yellowPixels(), 0);
    EXPECT_GT(player->currentFrame, frame);
  }
}

}  // namespace
