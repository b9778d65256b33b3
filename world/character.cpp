#include "world/character.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/log.h"
#include "core/name_registry.h"
#include "motion/skeleton.h"
#include "world/gameplay_controller.h"
#include "world/motion_mixer.h"

int g_boneListBase = -1;

namespace {

// Number of bone display lists: one per joint index.
constexpr int kCharacterBoneLists = kJointCount;

// The quadric of the bone ellipsoids; made once and never freed, like the
// lists it helped to build.
GLUquadric* g_characterQuadric = nullptr;

// True while some OpenGL context is current on this thread: without one
// glGetString answers null.
bool character_HasGLContext() { return glGetString(GL_VERSION) != nullptr; }

// Compiles the 31 bone ellipsoids of `skeleton` (each `length` long along z,
// scaled across by its two draw sizes) and sets g_boneListBase. Leaves the
// base at -1, with a log line, when OpenGL gives no lists.
void character_BuildBoneLists(const Skeleton& skeleton) {
  const GLuint base = glGenLists(kCharacterBoneLists);
  if (base == 0) {
    LogPrintf("%s", "Character: OpenGL gave no display lists for the bones");
    return;
  }
  if (g_characterQuadric == nullptr) {
    g_characterQuadric = gluNewQuadric();
    if (g_characterQuadric == nullptr) {
      LogPrintf("%s", "Character: GLU gave no quadric for the bones");
      glDeleteLists(base, kCharacterBoneLists);
      return;
    }
    gluQuadricDrawStyle(g_characterQuadric, GLU_FILL);
    gluQuadricNormals(g_characterQuadric, GLU_SMOOTH);
  }
  for (int i = 0; i < kCharacterBoneLists; ++i) {
    const Bone& bone = skeleton.bones[i];
    glNewList(base + static_cast<GLuint>(i), GL_COMPILE);
    glScalef(bone.drawSize[0], bone.drawSize[1], 1.0f);
    gluSphere(g_characterQuadric, bone.length / 2.0f, 20, 20);
    glEndList();
  }
  g_boneListBase = static_cast<int>(base);
}

// One bone in the current frame: its axis frame and joint angles, its
// ellipsoid centred halfway along it, and a move to its far end, where the
// children start.
void character_DrawBone(const Bone& bone) {
  glMultMatrixd(&bone.axisMatrix[0][0]);
  if (bone.dofRz) glRotatef(bone.rz, 0.0f, 0.0f, 1.0f);
  if (bone.dofRy) glRotatef(bone.ry, 0.0f, 1.0f, 0.0f);
  if (bone.dofRx) glRotatef(bone.rx, 1.0f, 0.0f, 0.0f);
  glColor3f(1.0f, 1.0f, 0.1f);

  glPushMatrix();
  const Vector3 v = bone.length * bone.direction;
  if (bone.id == 0) {
    if (g_boneListBase >= 0) glCallList(static_cast<GLuint>(g_boneListBase));
  } else {
    glTranslatef(v.x / 2.0f, v.y / 2.0f, v.z / 2.0f);
    float degrees = 0.0f;
    Vector3 axis;
    if (GetBoneEllipsoidTurn(bone.direction, &degrees, &axis)) {
      glRotatef(degrees, axis.x, axis.y, axis.z);
    }
    if (g_boneListBase >= 0) glCallList(static_cast<GLuint>(g_boneListBase + bone.id));
  }
  glPopMatrix();
  glTranslatef(v.x, v.y, v.z);
}

// The bone, then its children in its frame; its siblings in the parent's.
void character_DrawBoneTree(const Bone* bone) {
  for (; bone != nullptr; bone = bone->nextSibling) {
    glPushMatrix();
    character_DrawBone(*bone);
    character_DrawBoneTree(bone->firstChild);
    glPopMatrix();
  }
}

// How far the drawing of `bone`, its siblings and their children can reach
// from the point where `bone` starts (`from` away from the root), whatever
// the joint angles: along each chain the bones' lengths, and around each
// bone's centre its ellipsoid, up to half its length times its largest
// across-scale. NaN when a length is no number.
float character_Reach(const Bone* bone, float from) {
  float reach = 0.0f;
  for (; bone != nullptr; bone = bone->nextSibling) {
    const float step = (bone->length * bone->direction).Length();
    const float half = std::fabs(bone->length) / 2.0f;
    const float across = std::max({1.0f, std::fabs(bone->drawSize[0]), std::fabs(bone->drawSize[1])});
    const float own = from + step / 2.0f + half * across;
    const float children = character_Reach(bone->firstChild, from + step);
    if (std::isnan(own) || std::isnan(children)) return std::nanf("");
    reach = std::max({reach, own, children});
  }
  return reach;
}

// Whether a sphere of `radius` around the origin of the current model-view
// frame lies wholly outside the view volume (beyond one of its six planes),
// so that nothing drawn inside it can show. False when that cannot be told.
bool character_OutOfView(float radius) {
  double view[16] = {};
  double projection[16] = {};
  glGetDoublev(GL_MODELVIEW_MATRIX, view);
  glGetDoublev(GL_PROJECTION_MATRIX, projection);
  // Row r of projection x view (column-major, as OpenGL keeps them).
  double rows[4][4];
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      double sum = 0.0;
      for (int k = 0; k < 4; ++k) sum += projection[k * 4 + r] * view[c * 4 + k];
      rows[r][c] = sum;
    }
  }
  // The planes w + x, w - x, w + y, w - y, w + z, w - z in the model-view
  // frame; the origin's distance from each is its fourth term over the
  // length of its normal.
  for (int axis = 0; axis < 3; ++axis) {
    for (double sign : {1.0, -1.0}) {
      double plane[4];
      for (int c = 0; c < 4; ++c) plane[c] = rows[3][c] + sign * rows[axis][c];
      const double normal = std::sqrt(plane[0] * plane[0] + plane[1] * plane[1] + plane[2] * plane[2]);
      if (normal > 0.0 && plane[3] / normal < -static_cast<double>(radius)) return true;
    }
  }
  return false;
}

}  // namespace

std::map<std::string, Character*>& CharacterMap() {
  static auto* map = new std::map<std::string, Character*>;
  return *map;
}

bool GetBoneEllipsoidTurn(const Vector3& direction, float* degrees, Vector3* axis) {
  *degrees = 0.0f;
  *axis = Vector3(0.0f, 0.0f, 1.0f);
  const float length = direction.Length();
  if (!(length > 0.0f) || !std::isfinite(length)) return false;
  const Vector3 cross = CrossProduct(Vector3(0.0f, 0.0f, 1.0f), direction);
  const float crossLength = cross.Length();
  // Along z the cross product gives no axis to turn about (and a driver may
  // not cope with a zero one).
  if (crossLength <= 1e-6f * length) {
    if (direction.z > 0.0f) return false;
    *degrees = 180.0f;
    *axis = Vector3(1.0f, 0.0f, 0.0f);
    return true;
  }
  const double radians =
      std::atan2(static_cast<double>(crossLength), static_cast<double>(direction.z));
  *degrees = static_cast<float>(radians * 180.0 / 3.141592653589793);
  *axis = cross;
  return true;
}

Character::Character(std::string given, uint32_t flag_word)
    : Entity(given, flag_word),
      firstFrame(true),
      lastRootPosition(0.0f, 0.0f, 0.0f),
      mixer(nullptr),
      controller(nullptr),
      skeleton_(nullptr) {
  // The character's own name is unique among characters; its EntityMap key
  // may carry a counter when a plain entity holds the name already.
  name = MakeUniqueName(CharacterMap(), ToLowerName(std::move(given)));
  CharacterMap()[name] = this;

  // 90 radians, not degrees: the camera's tracking of characters is tuned to
  // this fixed turn.
  Quaternion turn;
  turn.SetAxisAngle(Vector3(0.0f, 1.0f, 0.0f), 90.0f);
  modelRotation.MulAssign(turn);
  turn.SetAxisAngle(Vector3(0.0f, 0.0f, 1.0f), 90.0f);
  modelRotation.MulAssign(turn);

  skeleton_ = new Skeleton("MartialArts.asf", 0.06f);
  mixer = new MotionMixer(skeleton_);

  if (g_boneListBase == -1 && character_HasGLContext()) character_BuildBoneLists(*skeleton_);
}

Character::~Character() {
  delete controller;
  controller = nullptr;
  delete mixer;
  mixer = nullptr;
  delete skeleton_;
  skeleton_ = nullptr;

  auto& characters = CharacterMap();
  auto found = characters.find(name);
  if (found != characters.end() && found->second == this) characters.erase(found);
  // The EntityMap key may differ from `name`; the base destructor looks up
  // `name` only.
  auto& entities = EntityMap();
  for (auto it = entities.begin(); it != entities.end(); ++it) {
    if (it->second == this) {
      entities.erase(it);
      break;
    }
  }
}

bool Character::Update() { return true; }

void Character::Animate() {
  if (controller != nullptr) controller->Update();
  mixer->Apply();

  const Vector3 root = skeleton_->rootPosition;
  Vector3 delta = root - lastRootPosition;
  lastRootPosition = root;
  if (firstFrame) {
    // The place given at creation stands for the first frame's root: only
    // its height is taken.
    delta.x = 0.0f;
    delta.z = 0.0f;
    firstFrame = false;
  }
  if (IsFinite(position + delta)) position += delta;

  const Bone* rootBone = skeleton_->GetRoot();
  orientation = Quaternion(rootBone->rx, rootBone->ry, rootBone->rz) * modelRotation;
}

void Character::Draw() {
  glPushMatrix();
  Animate();
  if (g_boneListBase == -1 && character_HasGLContext()) character_BuildBoneLists(*skeleton_);
  glTranslatef(position.x, position.y, position.z);
  // A character wholly outside the view sends nothing to OpenGL: in a scene
  // of thousands, most stand out of sight.
  if (character_OutOfView(character_Reach(skeleton_->GetRoot(), 0.0f))) {
    glPopMatrix();
    return;
  }
  // The bones are yellow: with lighting on, their colour reaches the lit
  // surface only through the colour material; without it every bone would
  // take the scene's grey-green material.
  glPushAttrib(GL_ENABLE_BIT | GL_LIGHTING_BIT);
  glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
  glEnable(GL_COLOR_MATERIAL);
  character_DrawBoneTree(skeleton_->GetRoot());
  glPopAttrib();
  glPopMatrix();
}

void Character::SetController(int type, Motion* const motions[3]) {
  delete controller;
  controller = motions != nullptr ? CreateGameplayController(type, mixer, motions) : nullptr;
}

void Character::ClearController() {
  delete controller;
  controller = nullptr;
}
