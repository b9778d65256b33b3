// Tests of the character: names, the fixed model rotation, root motion and
// orientation, the gameplay controller hook, the bone ellipsoid turn, the
// shared bone display lists, and pictures of the sample data's fighter drawn
// off-screen and compared with the skeleton's own forward kinematics.

#include "tests/support/skip.h"
#include "world/character.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "graph/motion_controller.h"
#include "motion/motion.h"
#include "motion/skeleton.h"
#include "platform/clock.h"
#include "platform/gl_context.h"
#include "tests/support/temp_dir.h"
#include "world/gameplay_controller.h"
#include "world/motion_mixer.h"

namespace {

using testing_support::ScopedWorkDir;

// The fixed model rotation written out by hand: about y by 90 radians, then
// about z by 90 radians, half angles of 45 radians (about 0.724, 0.447,
// 0.447, 0.276).
Quaternion chartest_ModelRotation() {
  const double s = std::sin(45.0);
  const double c = std::cos(45.0);
  return Quaternion(static_cast<float>(s * s), static_cast<float>(s * c), static_cast<float>(c * s),
                    static_cast<float>(c * c));
}

// Hamilton product a * b, written out in double precision.
Quaternion chartest_Product(const Quaternion& a, const Quaternion& b) {
  const double ax = a.x, ay = a.y, az = a.z, aw = a.w;
  const double bx = b.x, by = b.y, bz = b.z, bw = b.w;
  return Quaternion(static_cast<float>(aw * bx + ax * bw + ay * bz - az * by),
                    static_cast<float>(aw * by - ax * bz + ay * bw + az * bx),
                    static_cast<float>(aw * bz + ax * by - ay * bx + az * bw),
                    static_cast<float>(aw * bw - ax * bx - ay * by - az * bz));
}

// |a . b| of unit quaternions: 1 when they give the same rotation.
double chartest_SameRotation(const Quaternion& a, const Quaternion& b) {
  return std::fabs(static_cast<double>(a.x) * b.x + static_cast<double>(a.y) * b.y +
                   static_cast<double>(a.z) * b.z + static_cast<double>(a.w) * b.w);
}

void chartest_ExpectNear(const Vector3& actual, float x, float y, float z, const char* what) {
  EXPECT_NEAR(actual.x, x, 1e-5f) << what;
  EXPECT_NEAR(actual.y, y, 1e-5f) << what;
  EXPECT_NEAR(actual.z, z, 1e-5f) << what;
}

// The manual clock for the test's lifetime: controllers only advance when
// the test moves time on.
class ChartestClock {
 public:
  ChartestClock() { platform::ManualClock::Install(100.0); }
  ~ChartestClock() { platform::ManualClock::Uninstall(); }
};

TEST(CharacterConstruction, NamesAndFixedModelRotation) {
  ScopedWorkDir work;
  {
    Character first("Fighter", 6);
    Character second("Fighter", 6);
    EXPECT_EQ(CharacterMap().at("fighter"), &first);
    EXPECT_EQ(CharacterMap().at("fighter1"), &second);
    const Quaternion expected = chartest_ModelRotation();
    EXPECT_NEAR(first.modelRotation.x, expected.x, 1e-5f);
    EXPECT_NEAR(first.modelRotation.y, expected.y, 1e-5f);
    EXPECT_NEAR(first.modelRotation.z, expected.z, 1e-5f);
    EXPECT_NEAR(first.modelRotation.w, expected.w, 1e-5f);
  }
  EXPECT_TRUE(CharacterMap().empty());

  // A plain entity holds the name: the character keeps the plain name as its
  // own and in CharacterMap, and stands in EntityMap under the next free key;
  // its destructor takes out its own entries, whatever their keys.
  Entity plain("root", 2);
  auto* character = new Character("ROOT", 6);
  EXPECT_EQ(character->name, "root");
  EXPECT_EQ(CharacterMap().at("root"), character);
  EXPECT_EQ(EntityMap().at("root1"), character);
  delete character;
  EXPECT_EQ(EntityMap().count("root1"), 0u);
  EXPECT_EQ(CharacterMap().count("root"), 0u);
  EXPECT_EQ(EntityMap().at("root"), &plain);
}

TEST(CharacterAnimation, FirstFrameKeepsThePlaceAndLaterFramesAddTheRootTravel) {
  ScopedWorkDir work;  // no skeleton file: the root alone still moves
  ChartestClock clock;
  {  // Without a primary: the rest pose, the place stays, the orientation is
     // the model rotation alone.
    Character lonely("lonely", 6);
    lonely.SetPosition(Vector3(1.0f, 0.5f, -1.0f));
    lonely.Animate();
    lonely.Animate();
    chartest_ExpectNear(lonely.position, 1.0f, 0.5f, -1.0f, "rest");
    EXPECT_NEAR(chartest_SameRotation(lonely.orientation, chartest_ModelRotation()), 1.0, 1e-5);
  }
  Motion motion("clip", 3, 0);
  Posture posture;
  const Vector3 roots[3] = {{10.0f, 0.9f, -4.0f}, {10.5f, 1.1f, -3.25f}, {11.0f, 1.0f, -2.5f}};
  const Quaternion turns[3] = {Quaternion(20.0f, 30.0f, 10.0f), Quaternion(0.0f, 45.0f, 0.0f),
                               Quaternion(-15.0f, 100.0f, 5.0f)};
  for (int f = 0; f < 3; ++f) {
    posture.root = roots[f];
    posture.rotation[0] = turns[f];
    motion.SetPosture(f, posture);
  }
  std::unique_ptr<MotionController> player(motion.CreateController(0));
  Character walker("walker", 6);
  walker.SetPosition(Vector3(2.0f, 0.0f, 3.0f));
  walker.GetMixer()->SetPrimary(player.get());

  // Update does nothing; all per-frame work is in Draw (which, without a GL
  // context, only animates). The waited second is not played.
  platform::ManualClock::Advance(1.0);
  walker.Update();
  EXPECT_TRUE(walker.firstFrame);
  player->timer.Reset();

  // The given place with the root's height, then the root's travel added
  // frame by frame.
  const float expected[3][3] = {{2.0f, 0.9f, 3.0f}, {2.5f, 1.1f, 3.75f}, {3.0f, 1.0f, 4.5f}};
  const double advances[3] = {0.0, 1.5 / 120.0, 1.0 / 120.0};  // 0, 1, 1 frames
  for (int f = 0; f < 3; ++f) {
    SCOPED_TRACE(f);
    platform::ManualClock::Advance(advances[f]);
    if (f == 2) {
      walker.Draw();
    } else {
      walker.Animate();
    }
    ASSERT_EQ(player->currentFrame, f);
    chartest_ExpectNear(walker.position, expected[f][0], expected[f][1], expected[f][2], "place");
    // The root's turn followed by the model rotation.
    const Quaternion want = chartest_Product(turns[f], chartest_ModelRotation());
    EXPECT_NEAR(chartest_SameRotation(walker.orientation, want), 1.0, 1e-5);
  }
}

// A gameplay controller that notes its calls: on its first Update it makes
// `next` the mixer's primary, which Animate must pose in the same frame.
class ChartestController : public GameplayController {
 public:
  ChartestController(MotionMixer* mixer_, MotionController* next_, bool* deleted_)
      : GameplayController(mixer_, kNoMotions), next(next_), deleted(deleted_) {}
  ~ChartestController() override { *deleted = true; }
  bool Update() override {
    if (updates++ == 0) mixer->SetPrimary(next);
    return true;
  }
  static constexpr Motion* kNoMotions[3] = {nullptr, nullptr, nullptr};
  MotionController* next;
  bool* deleted;
  int updates = 0;
};

TEST(CharacterController, ControllerRunsBeforeTheMixerAndIsReplacedThroughItsDestructor) {
  ScopedWorkDir work;
  ChartestClock clock;
  Motion motion("stand", 1, 0);
  Posture posture;
  posture.root = Vector3(0.0f, 0.75f, 0.0f);
  motion.SetPosture(0, posture);
  std::unique_ptr<MotionController> player(motion.CreateController(0));

  Character fighter("fighter", 6);
  bool deleted = false;
  auto* hook = new ChartestController(fighter.GetMixer(), player.get(), &deleted);
  fighter.controller = hook;
  fighter.Animate();
  EXPECT_EQ(hook->updates, 1);
  EXPECT_NEAR(fighter.position.y, 0.75f, 1e-6f);  // posed from the new primary at once

  // Type 1 has no controller: the old one is deleted, the mixer keeps its
  // primary.
  fighter.SetController(1, ChartestController::kNoMotions);
  EXPECT_TRUE(deleted);
  EXPECT_EQ(fighter.controller, nullptr);
  EXPECT_EQ(fighter.GetMixer()->GetPrimary(), player.get());

  // Type 0 with a data set makes the idle player the primary; a null motion
  // array gives no controller at all.
  Motion* const set[3] = {&motion, nullptr, &motion};
  fighter.SetController(0, set);
  ASSERT_NE(fighter.controller, nullptr);
  EXPECT_NE(fighter.GetMixer()->GetPrimary(), player.get());
  fighter.SetController(0, nullptr);
  EXPECT_EQ(fighter.controller, nullptr);
}

// (0, 0, 1) turned by `degrees` about `axis` (Rodrigues' formula).
void chartest_TurnZ(float degrees, const Vector3& axis, double out[3]) {
  const double length =
      std::sqrt(static_cast<double>(axis.x) * axis.x + static_cast<double>(axis.y) * axis.y +
                static_cast<double>(axis.z) * axis.z);
  const double k[3] = {axis.x / length, axis.y / length, axis.z / length};
  const double t = degrees * 3.14159265358979323846 / 180.0;
  // v = (0, 0, 1): k x v = (ky, -kx, 0), k . v = kz.
  out[0] = k[1] * std::sin(t) + k[0] * k[2] * (1.0 - std::cos(t));
  out[1] = -k[0] * std::sin(t) + k[1] * k[2] * (1.0 - std::cos(t));
  out[2] = std::cos(t) + k[2] * k[2] * (1.0 - std::cos(t));
}

TEST(CharacterBones, EllipsoidTurnLaysTheLongAxisAlongEveryDirection) {
  float degrees = -1.0f;
  Vector3 axis;
  // Along +z, zero or not a number: no turn.
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (const Vector3& d : {Vector3(0, 0, 1), Vector3(0, 0, 0.3f), Vector3(0, 0, 0), Vector3(nan, 0, 1)}) {
    EXPECT_FALSE(GetBoneEllipsoidTurn(d, &degrees, &axis)) << d.x << " " << d.y << " " << d.z;
    EXPECT_EQ(degrees, 0.0f);
  }
  // Along -z the cross product is zero: half a turn about x.
  for (const Vector3& d : {Vector3(0, 0, -2.5f), Vector3(1e-9f, 0, -1)}) {
    ASSERT_TRUE(GetBoneEllipsoidTurn(d, &degrees, &axis));
    EXPECT_EQ(degrees, 180.0f);
    EXPECT_EQ(axis.x, 1.0f);
    EXPECT_EQ(axis.y, 0.0f);
    EXPECT_EQ(axis.z, 0.0f);
  }
  // Whatever the direction, the turn carries +z onto it.
  const Vector3 directions[] = {{1.0f, 0.0f, 0.0f},  {0.0f, -1.0f, 0.0f},    {0.3f, -0.4f, 0.866f},
                                {2.0f, 2.0f, 0.0f},  {-0.2f, 0.1f, -0.97f},  {0.0f, 0.001f, -1.0f},
                                {0.0f, 0.05f, 1.0f}};
  for (const Vector3& d : directions) {
    SCOPED_TRACE(testing::Message() << d.x << " " << d.y << " " << d.z);
    ASSERT_TRUE(GetBoneEllipsoidTurn(d, &degrees, &axis));
    double turned[3];
    chartest_TurnZ(degrees, axis, turned);
    const double length = d.Length();
    EXPECT_NEAR(turned[0], d.x / length, 1e-5);
    EXPECT_NEAR(turned[1], d.y / length, 1e-5);
    EXPECT_NEAR(turned[2], d.z / length, 1e-5);
  }
}

// ---- Tests that draw ------------------------------------------------------

// Pixels of a yellow bone drawn without lighting: (1, 1, 0.1).
bool chartest_IsYellow(const uint8_t* p) { return p[0] >= 240 && p[1] >= 240 && p[2] <= 50; }

// The clear colour of the tests, the renderer's default sky: 104, 212, 248
// in bytes.
constexpr float kChartestSky[3] = {0.4078f, 0.8313f, 0.9725f};
bool chartest_IsSky(const uint8_t* p) {
  return std::abs(p[0] - 104) <= 2 && std::abs(p[1] - 212) <= 2 && std::abs(p[2] - 248) <= 2;
}

// Sets up a frame as the renderer does (perspective of 45 degrees, depth
// test, no lighting, the sky cleared, the view from `eye` onto `target`) and
// draws it with the renderer's entity loop: every entity updated, those with
// the drawn bit drawn, in name order.
void chartest_DrawFrame(const platform::OffscreenGLContext& gl, const Vector3& eye, const Vector3& target) {
  glViewport(0, 0, gl.width(), gl.height());
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, static_cast<double>(gl.width()) / gl.height(), 0.1, 50.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  gluLookAt(eye.x, eye.y, eye.z, target.x, target.y, target.z, 0.0, 1.0, 0.0);
  glEnable(GL_DEPTH_TEST);
  glDisable(GL_LIGHTING);
  glClearColor(kChartestSky[0], kChartestSky[1], kChartestSky[2], 0.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  for (auto& entry : EntityMap()) {
    entry.second->Update();
    if ((entry.second->GetFlags() & kEntityDrawn) != 0) entry.second->Draw();
  }
}

// A picture read back with the matrices it was drawn with.
struct ChartestPicture {
  explicit ChartestPicture(const platform::OffscreenGLContext& gl)
      : width(gl.width()), height(gl.height()), rgb(gl.ReadRgb()) {
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
  }
  const uint8_t* At(int column, int row) const { return &rgb[(static_cast<size_t>(row) * width + column) * 3]; }
  // Pixel (column, row from the top) of a world point, by GLU alone.
  bool Project(const Vector3& p, int* column, int* row) const {
    GLdouble x = 0, y = 0, z = 0;
    if (gluProject(p.x, p.y, p.z, model, projection, viewport, &x, &y, &z) != GL_TRUE) return false;
    *column = static_cast<int>(std::floor(x));
    *row = height - 1 - static_cast<int>(std::floor(y));
    return *column >= 0 && *column < width && *row >= 0 && *row < height;
  }
  // Whether a yellow pixel lies within one pixel of the projected point.
  bool YellowAt(const Vector3& p) const {
    int column = 0, row = 0;
    if (!Project(p, &column, &row)) return false;
    for (int r = std::max(row - 1, 0); r <= std::min(row + 1, height - 1); ++r) {
      for (int c = std::max(column - 1, 0); c <= std::min(column + 1, width - 1); ++c) {
        if (chartest_IsYellow(At(c, r))) return true;
      }
    }
    return false;
  }
  int width;
  int height;
  std::vector<uint8_t> rgb;
  GLdouble model[16];
  GLdouble projection[16];
  GLint viewport[4];
};

// An off-screen context for one test, with GL errors cleared. The bone lists
// built in it are deleted before it goes: the software driver leaks the
// lists still alive when their context is destroyed.
class ChartestGL {
 public:
  ~ChartestGL() {
    if (g_boneListBase > 0) glDeleteLists(static_cast<GLuint>(g_boneListBase), kJointCount);
    g_boneListBase = -1;
  }
  bool Create(int width, int height) {
    if (!gl.Create(width, height)) return false;
    while (glGetError() != GL_NO_ERROR) {
    }
    return true;
  }
  platform::OffscreenGLContext gl;
};

TEST(CharacterDrawing, BoneListsAreBuiltOnceAndADrawWithoutSkeletonFileIsSafe) {
  ScopedWorkDir work;  // no "MartialArts.asf": the character has its root only
  ChartestClock clock;
  Character early("early", 6);
  early.Draw();  // no context yet: nothing to build, nothing breaks
  EXPECT_EQ(g_boneListBase, -1);

  ChartestGL context;
  if (!context.Create(160, 120)) TAVRIN_SKIP_TEST(context.gl.error());
  early.SetPosition(Vector3(0.0f, 1.0f, 0.0f));
  chartest_DrawFrame(context.gl, Vector3(0.0f, 1.0f, 1.0f), Vector3(0.0f, 1.0f, 0.0f));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  const int base = g_boneListBase;  // the first draw with a context built the lists
  ASSERT_GT(base, 0);
  EXPECT_TRUE(glIsList(static_cast<GLuint>(base + 30)));
  EXPECT_FALSE(glIsList(static_cast<GLuint>(base + 31)));

  // The root's ball (radius 0.025 at 1 unit) covers the middle of the picture.
  const ChartestPicture picture(context.gl);
  EXPECT_TRUE(picture.YellowAt(Vector3(0.0f, 1.0f, 0.0f)));
  EXPECT_TRUE(chartest_IsSky(picture.At(0, 0)));

  // A second character, built while the context is current, reuses them.
  Character late("late", 6);
  late.Draw();
  EXPECT_EQ(g_boneListBase, base);
  EXPECT_FALSE(glIsList(static_cast<GLuint>(base + 31)));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Parent joint of each joint in the fixed tree (-1 for the root).
constexpr int kChartestParent[kJointCount] = {-1, 0,  1,  2,  3,  4,  0,  6,  7,  8,  9,
                                              0,  11, 12, 13, 14, 15, 13, 17, 18, 19, 20,
                                              21, 20, 13, 24, 25, 26, 27, 28, 27};

// Expects yellow at a quarter, half and three quarters along each thick bone
// of `reference` (the pose by the skeleton's own forward kinematics), moved
// from the reference root to the character's drawn root.
void chartest_ExpectBonesDrawn(const ChartestPicture& picture, const Skeleton& reference,
                               const Vector3& drawnRoot) {
  for (int bone : {2, 3, 4, 7, 8, 9, 11, 12, 13, 16, 18, 19, 25, 26}) {
    Vector3 start, end;
    reference.GetJointPosition(kChartestParent[bone], &start);
    reference.GetJointPosition(bone, &end);
    for (float t : {0.25f, 0.5f, 0.75f}) {
      const Vector3 p = Lerp(t, start, end) - reference.rootPosition + drawnRoot;
      EXPECT_TRUE(picture.YellowAt(p)) << BoneNameTable[bone] << " at " << t;
    }
  }
}

// The sample data in a fresh working folder, and the manual clock.
class CharacterPicture : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string command =
        std::string("\"") + MAKE_SAMPLE_DATA_PATH + "\" \"" + work_.path() + "\" > /dev/null 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  static std::string OutputPath(const char* name) { return std::string(TAVRIN_TEST_OUTPUT_DIR) + "/" + name; }
  ScopedWorkDir work_;
  ChartestClock clock_;
};

TEST_F(CharacterPicture, SampleFighterMatchesItsSkeleton) {
  ChartestGL context;
  if (!context.Create(320, 240)) TAVRIN_SKIP_TEST(context.gl.error());
  Motion idle("idle", "idle.amc", 0.06f, 0);
  ASSERT_GT(idle.frameCount, 0);
  std::unique_ptr<MotionController> player(idle.CreateController(0));
  Character fighter("Fighter", 6);
  const Vector3 place(0.5f, 0.0f, -0.5f);
  fighter.SetPosition(place);
  fighter.GetMixer()->SetPrimary(player.get());

  const Vector3 drawnRoot(place.x, idle.frames[0].root.y, place.z);
  chartest_DrawFrame(context.gl, drawnRoot + Vector3(0.6f, 0.1f, 4.2f), drawnRoot);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  EXPECT_TRUE(context.gl.SavePpm(OutputPath("character_picture.ppm")));
  ASSERT_EQ(player->currentFrame, 0);
  const ChartestPicture picture(context.gl);

  // The body stands in the middle; a wide border all round is sky.
  int yellow = 0, top = picture.height;
  for (int r = 0; r < picture.height; ++r) {
    for (int c = 0; c < picture.width; ++c) {
      const bool border = c < picture.width * 3 / 10 || c >= picture.width * 7 / 10 ||
                          r < picture.height / 10 || r >= picture.height * 9 / 10;
      if (!border && chartest_IsYellow(picture.At(c, r))) {
        ++yellow;
        top = std::min(top, r);
      } else {
        ASSERT_TRUE(chartest_IsSky(picture.At(c, r))) << "pixel " << c << ", " << r;
      }
    }
  }
  EXPECT_GT(yellow, 500);

  // The skeleton's own forward kinematics of the same pose, placed at the
  // drawn root: the bones lie where it puts them, and the top of the head's
  // ellipsoid is the far end of the head bone.
  Skeleton reference("MartialArts.asf", 0.06f);
  reference.SetPosture(idle.frames[0]);
  chartest_ExpectBonesDrawn(picture, reference, drawnRoot);
  Vector3 head;
  reference.GetJointPosition(16, &head);
  int column = 0, row = 0;
  ASSERT_TRUE(picture.Project(head - reference.rootPosition + drawnRoot, &column, &row));
  EXPECT_NEAR(top, row, 2);
  EXPECT_FALSE(picture.YellowAt(drawnRoot + Vector3(-0.9f, 0.0f, 0.0f)));
}

TEST_F(CharacterPicture, TurnedBoneAxesAndLargeAnglesMatchTheSkeleton) {
  // Turned axis frames: the rest shape stays, but every joint angle now
  // turns about other axes.
  std::string asf = testing_support::ReadFile("MartialArts.asf");
  const std::string zeroAxis = "axis 0 0 0  XYZ";
  for (int i = 1, at = 0; (at = static_cast<int>(asf.find(zeroAxis, at))) >= 0; ++i) {
    const std::string turned = "axis " + std::to_string(i * 37 % 90 - 45) + " " +
                               std::to_string(i * 53 % 90 - 45) + " " + std::to_string(i * 71 % 90 - 45) + "  XYZ";
    asf.replace(static_cast<size_t>(at), zeroAxis.size(), turned);
  }
  testing_support::WriteFile("MartialArts.asf", asf);
  ChartestGL context;
  if (!context.Create(400, 400)) TAVRIN_SKIP_TEST(context.gl.error());

  Motion pose("pose", 1, 0);
  Posture posture;
  posture.root = Vector3(3.0f, 0.95f, 7.0f);
  const struct {
    int joint;
    float x, y, z;
  } turns[] = {{0, 10, 40, -5},   {2, -50, 20, 15}, {3, 60, 0, 0},      {7, 30, -15, -20},
               {8, 20, 0, 0},     {11, 15, 20, 10}, {13, 10, 25, -10},  {16, 20, -30, 15},
               {18, -40, 30, 60}, {19, -70, 0, 0},  {25, 20, -35, -50}, {26, -45, 0, 0}};
  for (const auto& t : turns) posture.rotation[t.joint] = Quaternion(t.x, t.y, t.z);
  pose.SetPosture(0, posture);
  std::unique_ptr<MotionController> player(pose.CreateController(0));
  Character posed("posed", 6);
  posed.GetMixer()->SetPrimary(player.get());

  const Vector3 drawnRoot(0.0f, 0.95f, 0.0f);
  chartest_DrawFrame(context.gl, drawnRoot + Vector3(-0.5f, 0.3f, 3.0f), drawnRoot);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  EXPECT_TRUE(context.gl.SavePpm(OutputPath("character_posed.ppm")));

  Skeleton reference("MartialArts.asf", 0.06f);
  ASSERT_NE(reference.bones[2].axis[0], 0.0f);
  reference.SetPosture(posture);
  chartest_ExpectBonesDrawn(ChartestPicture(context.gl), reference, drawnRoot);
}

}  // namespace
