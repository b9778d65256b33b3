#include "motion/skeleton.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

#include "core/log.h"
#include "core/quaternion.h"
#include "motion/text_file.h"

namespace {

// The two skeletons every part of the program shares, made on first use and
// never destroyed at exit: the default one, and the one joint positions are
// computed with (kept apart, since computing them poses it).
Skeleton* g_defaultSkeleton = nullptr;
Skeleton* g_jointPositionSkeleton = nullptr;

// The skeleton file whose absence was last told.
std::string& skeleton_ReportedMissing() {
  static std::string* reported = new std::string;
  return *reported;
}

// Longest line the format allows; longer lines are read whole but reported.
constexpr size_t kAsfMaxLineLength = 2047;

// Drawing sizes of the 31 slots: across-scale x, y of each bone's ellipsoid.
constexpr float kSkeletonDrawSizes[kJointCount][2] = {
    {1.0f, 1.0f},                                                                  // root
    {0.75f, 0.75f}, {0.35f, 0.35f}, {0.3f, 0.3f},   {0.25f, 0.25f}, {0.1f, 0.5f},  // left leg
    {0.75f, 0.75f}, {0.35f, 0.35f}, {0.3f, 0.3f},   {0.25f, 0.25f}, {0.1f, 0.5f},  // right leg
    {2.0f, 1.5f},   {2.5f, 1.5f},   {2.5f, 1.5f},                                  // spine
    {0.4f, 0.5f},   {0.4f, 0.5f},   {1.2f, 1.2f},                                  // neck, head
    {0.75f, 0.75f}, {0.55f, 0.55f}, {0.5f, 0.5f},   {0.5f, 0.5f},                  // left arm
    {0.2f, 0.2f},   {0.2f, 0.75f},  {0.25f, 0.25f},                                // left hand
    {0.75f, 0.75f}, {0.55f, 0.55f}, {0.5f, 0.5f},   {0.5f, 0.5f},                  // right arm
    {0.2f, 0.8f},   {0.2f, 0.75f},  {0.25f, 0.25f}};                               // right hand

// BoneNameTable as string views, measured once when compiling, so that a
// name lookup never measures the table's names again.
struct SkeletonNameViews {
  std::string_view name[kJointCount];
};
constexpr SkeletonNameViews skeleton_MakeNameViews() {
  SkeletonNameViews views{};
  for (int j = 0; j < kJointCount; ++j) views.name[j] = BoneNameTable[j];
  return views;
}
constexpr SkeletonNameViews kSkeletonNameViews = skeleton_MakeNameViews();

// An empty bone: id as given, no links, zero geometry and angles, no degrees
// of freedom, identity axis frame.
void skeleton_ClearBone(Bone* bone, int id) {
  bone->nextSibling = nullptr;
  bone->firstChild = nullptr;
  bone->id = id;
  bone->direction = Vector3();
  bone->length = 0.0f;
  for (float& a : bone->axis) a = 0.0f;
  for (float& s : bone->drawSize) s = 0.0f;
  bone->dofCount = 0;
  bone->dofRx = 0;
  bone->dofRy = 0;
  bone->dofRz = 0;
  MatrixIdentity(bone->axisMatrix);
  bone->rx = 0.0f;
  bone->ry = 0.0f;
  bone->rz = 0.0f;
}

// True when `target` is `from` or lies below or beside it (both links).
bool skeleton_Reaches(const Bone* from, const Bone* target) {
  if (from == nullptr) return false;
  if (from == target) return true;
  return skeleton_Reaches(from->firstChild, target) || skeleton_Reaches(from->nextSibling, target);
}

// True when some bone reachable from `bone` (itself, its children and its
// siblings) already hangs in the tree of `root`: attaching it would give a
// bone two places in the tree or make a cycle.
bool skeleton_TouchesTree(const Bone* root, const Bone* bone) {
  if (bone == nullptr) return false;
  if (skeleton_Reaches(root, bone)) return true;
  return skeleton_TouchesTree(root, bone->firstChild) ||
         skeleton_TouchesTree(root, bone->nextSibling);
}

// Words of a line cut at blanks only: runs of blanks separate once, leading
// blanks are dropped, a tab belongs to the word beside it.
std::vector<std::string_view> skeleton_SplitBlanks(std::string_view line) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && line[i] == ' ') ++i;
    if (i == line.size()) break;
    size_t j = i;
    while (j < line.size() && line[j] != ' ') ++j;
    words.push_back(line.substr(i, j - i));
    i = j;
  }
  return words;
}

// The number at the start of a word, as a stream would read it (one leading
// '+' allowed, trailing characters ignored). False for no number, one out of
// float range, or a non-finite value.
bool skeleton_ParseFloat(std::string_view word, float* out) {
  if (word.size() > 1 && word[0] == '+' && word[1] != '-' && word[1] != '+') word.remove_prefix(1);
  float value = 0.0f;
  const std::from_chars_result result =
      std::from_chars(word.data(), word.data() + word.size(), value, std::chars_format::general);
  if (result.ec != std::errc() || !std::isfinite(value)) return false;
  *out = value;
  return true;
}

// Reads `count` numbers from the rest of a line into out[0..count-1], in
// order, stopping at the first missing or bad one (out keeps the rest).
// Returns false when fewer than `count` were read.
bool skeleton_ReadFloats(std::string_view rest, int count, float* out) {
  for (int k = 0; k < count; ++k) {
    std::string_view word;
    if (!NextWord(&rest, &word) || !skeleton_ParseFloat(word, &out[k])) return false;
  }
  return true;
}

// Lines of an ASF text with their numbers; each over-long line is reported
// once as it is read.
class AsfLines {
 public:
  AsfLines(const std::string& file, std::string_view text) : file_(file), reader_(text) {}

  // The next line and its first word (empty when it has none); false at the
  // end of the text.
  bool Next() {
    if (!reader_.Next(&line_)) return false;
    if (line_.size() > kAsfMaxLineLength) {
      LogPrintf("ReadASF: %s line %d: line of %zu characters, longer than %zu; read whole",
                file_.c_str(), number(), line_.size(), kAsfMaxLineLength);
    }
    rest_ = line_;
    if (!NextWord(&rest_, &key_)) key_ = std::string_view();
    return true;
  }

  std::string_view line() const { return line_; }
  // The words after the key.
  std::string_view rest() const { return rest_; }
  std::string_view key() const { return key_; }
  int number() const { return reader_.lineNumber(); }

 private:
  const std::string& file_;
  LineReader reader_;
  std::string_view line_;
  std::string_view rest_;
  std::string_view key_;
};

// A word of the file for a log line, cut to at most 64 characters.
std::string skeleton_LogWord(std::string_view word) { return std::string(word.substr(0, 64)); }

// One step of forward kinematics down a chain: frame := (frame *
// transpose(axisMatrix)) * R(rx, ry, rz), then the bone's rest vector turned
// by the frame is added to *position.
void skeleton_ChainStep(const Bone& bone, Matrix4d frame, Vector3* position) {
  Matrix4d step;
  MatrixTranspose(bone.axisMatrix, step);
  MatrixMultiply(frame, step, frame);
  Skeleton::EulerToMatrix(bone.rx, bone.ry, bone.rz, step);
  MatrixMultiply(frame, step, frame);
  const Vector3 offset = bone.length * bone.direction;
  Vec3f moved;
  MatrixTransformPoint(frame, offset.x, offset.y, offset.z, moved);
  *position = *position + Vector3(moved[0], moved[1], moved[2]);
}

}  // namespace

Skeleton::Skeleton(const std::string& file, float scale)
    : rootPosition(), totalDof(6), root(&bones[0]) {
  for (int i = 0; i < kJointCount; ++i) skeleton_ClearBone(&bones[i], i);
  root->length = 0.05f;
  root->dofCount = 3;
  root->dofRx = 1;
  root->dofRy = 1;
  root->dofRz = 1;

  ReadASF(file, scale);
  RotateDirections();
  ComputeAxisRotations(root);
  SetDefaultDrawSizes(root);
}

void Skeleton::ReadASF(const std::string& file, float scale) {
  std::string text;
  if (!ReadTextFile(file, &text)) {
    // Every skeleton reads the same file: its absence is told once.
    std::string& reported = skeleton_ReportedMissing();
    if (reported != file) {
      LogPrintf("ReadASF: cannot open %s; the skeleton has no bones", file.c_str());
      reported = file;
    }
    return;
  }
  AsfLines lines(file, text);

  // Everything before ":bonedata" (version, units, root section) is not read.
  bool found = false;
  while (lines.Next()) {
    if (lines.key() == ":bonedata") {
      found = true;
      break;
    }
  }
  if (!found) {
    LogPrintf("ReadASF: %s line %d: the file ends before \":bonedata\"; no bones read",
              file.c_str(), lines.number());
    ResetPosture();
    return;
  }
  for (Bone& bone : bones) {
    bone.nextSibling = nullptr;
    bone.firstChild = nullptr;
  }
  lines.Next();  // the first block's "begin"

  bool complete = true;
  for (int i = 1; i < kJointCount && complete; ++i) {
    Bone& bone = bones[i];
    bone.dofCount = 0;
    bone.dofRx = 0;
    bone.dofRy = 0;
    bone.dofRz = 0;
    std::string_view name;
    float fileLength = 0.0f;
    bool haveLength = false;
    int blockDof = 0;
    bool ended = false;
    while (lines.Next()) {
      const std::string_view key = lines.key();
      if (key.empty()) {
        LogPrintf("ReadASF: %s line %d: empty line in bone block %d ignored", file.c_str(),
                  lines.number(), i);
      } else if (key == "end") {
        ended = true;
        break;
      } else if (key == "name") {
        std::string_view rest = lines.rest();
        if (!NextWord(&rest, &name)) name = std::string_view();
      } else if (key == "direction") {
        float v[3] = {0.0f, 0.0f, 0.0f};
        if (!skeleton_ReadFloats(lines.rest(), 3, v)) {
          LogPrintf("ReadASF: %s line %d: \"direction\" without three numbers; the rest is 0",
                    file.c_str(), lines.number());
        }
        bone.direction = Vector3(v[0], v[1], v[2]);
      } else if (key == "length") {
        if (skeleton_ReadFloats(lines.rest(), 1, &fileLength)) {
          haveLength = true;
        } else {
          LogPrintf("ReadASF: %s line %d: \"length\" without a number", file.c_str(),
                    lines.number());
        }
      } else if (key == "axis") {
        // The rotation-order word after the angles is not read: every axis
        // is applied as Rz Ry Rx.
        float v[3] = {0.0f, 0.0f, 0.0f};
        const bool allRead = skeleton_ReadFloats(lines.rest(), 3, v);
        for (int c = 0; c < 3; ++c) bone.axis[c] = v[c];
        if (!allRead) {
          LogPrintf("ReadASF: %s line %d: \"axis\" without three numbers; the rest is 0",
                    file.c_str(), lines.number());
        }
      } else if (key == "dof") {
        const std::vector<std::string_view> words = skeleton_SplitBlanks(lines.line());
        bone.dofCount = static_cast<int>(words.size()) - 1;
        for (size_t w = 1; w < words.size(); ++w) {
          if (words[w] == "rx") bone.dofRx = 1;
          if (words[w] == "ry") bone.dofRy = 1;
          if (words[w] == "rz") bone.dofRz = 1;
        }
        totalDof += bone.dofCount;
        blockDof += bone.dofCount;
      }
      // Any other key ("begin", "id", "limits" and their continuation lines)
      // is not read.
    }
    if (!ended) {
      // An unfinished block is not kept: its slot stays empty.
      LogPrintf(
          "ReadASF: %s line %d: the file ends inside bone block %d of 30; slots %d to 30 "
          "stay empty and the tree holds the root alone",
          file.c_str(), lines.number(), i, i);
      totalDof -= blockDof;
      skeleton_ClearBone(&bone, i);
      complete = false;
      break;
    }

    const int index = FindBoneIndex(name);
    if (index == kJointCount) {
      LogPrintf(
          "ReadASF: %s line %d: bone block %d has the unknown name \"%s\"; it stays in "
          "slot %d as %s",
          file.c_str(), lines.number(), i, skeleton_LogWord(name).c_str(), i, BoneNameTable[i]);
      bone.id = i;
    } else {
      if (index != i) {
        LogPrintf("ReadASF: %s line %d: bone block %d is named %s where %s was expected",
                  file.c_str(), lines.number(), i, BoneNameTable[index], BoneNameTable[i]);
      }
      bone.id = index;
    }
    if (!haveLength) {
      LogPrintf("ReadASF: %s line %d: bone block %d (%s) has no \"length\"; length 0", file.c_str(),
                lines.number(), i, BoneNameTable[i]);
    }
    bone.length = haveLength ? fileLength * scale : 0.0f;
    bone.nextSibling = nullptr;
    bone.firstChild = nullptr;
  }

  if (complete) {
    found = false;
    while (lines.Next()) {
      if (lines.key() == ":hierarchy") {
        found = true;
        break;
      }
    }
    if (!found) {
      LogPrintf(
          "ReadASF: %s line %d: the file ends before \":hierarchy\"; the tree holds the root "
          "alone",
          file.c_str(), lines.number());
    } else {
      lines.Next();  // "begin"
      bool ended = false;
      while (lines.Next()) {
        if (lines.key().empty()) {
          LogPrintf("ReadASF: %s line %d: empty line in the hierarchy ignored", file.c_str(),
                    lines.number());
          continue;
        }
        if (lines.key() == "end") {
          ended = true;
          break;
        }
        const std::vector<std::string_view> words = skeleton_SplitBlanks(lines.line());
        const std::string_view parentName = words.front();
        const int parentId = FindBoneIndex(parentName);
        if (words.size() > 1 && FindBone(root, parentId) == nullptr) {
          LogPrintf(
              "ReadASF: %s line %d: parent bone \"%s\" is not in the tree; its children "
              "are not attached",
              file.c_str(), lines.number(), skeleton_LogWord(parentName).c_str());
        }
        for (size_t w = 1; w < words.size(); ++w) {
          const int childIndex = FindBoneIndex(words[w]);
          if (childIndex == kJointCount) {
            LogPrintf("ReadASF: %s line %d: unknown bone \"%s\" in the hierarchy not attached",
                      file.c_str(), lines.number(), skeleton_LogWord(words[w]).c_str());
            continue;
          }
          Bone* child = &bones[childIndex];
          if (FindBone(root, parentId) != nullptr && skeleton_TouchesTree(root, child)) {
            LogPrintf("ReadASF: %s line %d: bone %s is already in the tree; not attached again",
                      file.c_str(), lines.number(), BoneNameTable[childIndex]);
            continue;
          }
          AddChild(parentId, child);
        }
      }
      if (!ended) {
        LogPrintf(
            "ReadASF: %s line %d: the file ends before the hierarchy's \"end\"; the tree "
            "keeps the lines read",
            file.c_str(), lines.number());
      }
      loaded = ended;
    }
  }
  ResetPosture();
}

int Skeleton::FindBoneIndex(std::string_view name) {
  for (int i = 0; i < kJointCount; ++i) {
    if (name == kSkeletonNameViews.name[i]) return i;
  }
  return kJointCount;
}

Bone* Skeleton::FindBone(Bone* start, int id) {
  if (start == nullptr) return nullptr;
  if (start->id == id) return start;
  if (Bone* found = FindBone(start->firstChild, id)) return found;
  return FindBone(start->nextSibling, id);
}

bool Skeleton::AddChild(int parentId, Bone* child) {
  Bone* parent = FindBone(root, parentId);
  if (parent == nullptr) {
    std::fputs("inbord bone is undefined\n", stdout);
    std::fflush(stdout);
    LogPrintf("AddChild: inbord bone is undefined (no bone of the tree has id %d)", parentId);
    return false;
  }
  if (child == nullptr || skeleton_TouchesTree(root, child)) {
    LogPrintf("AddChild: bone %d is null or already linked into the tree; not attached",
              child == nullptr ? -1 : child->id);
    return false;
  }
  if (parent->firstChild == nullptr) {
    parent->firstChild = child;
  } else {
    Bone* last = parent->firstChild;
    while (last->nextSibling != nullptr) last = last->nextSibling;
    last->nextSibling = child;
  }
  return true;
}

void Skeleton::ComputeRelativeRotation(const Bone* parent, Bone* child) {
  if (parent == nullptr || child == nullptr) return;
  // inverse(R(parent axis)) = Rx(-ax) Ry(-ay) Rz(-az).
  Matrix4d inverse;
  Matrix4d step;
  MatrixRotationX(inverse, -parent->axis[0]);
  MatrixRotationY(step, -parent->axis[1]);
  MatrixMultiply(inverse, step, inverse);
  MatrixRotationZ(step, -parent->axis[2]);
  MatrixMultiply(inverse, step, inverse);

  Matrix4d own;
  EulerToMatrix(child->axis[0], child->axis[1], child->axis[2], own);
  Matrix4d relative;
  MatrixMultiply(inverse, own, relative);
  MatrixTranspose(relative, child->axisMatrix);
}

void Skeleton::ComputeAxisRotations(Bone* bones) {
  Matrix4d rootFrame;
  EulerToMatrix(bones[0].axis[0], bones[0].axis[1], bones[0].axis[2], rootFrame);
  MatrixTranspose(rootFrame, bones[0].axisMatrix);
  for (int i = 1; i < kJointCount; ++i) ComputeRelativeRotation(&bones[i], bones[i].firstChild);
  // Children that are not first children in the fixed tree, by fixed slots.
  ComputeRelativeRotation(&bones[0], &bones[1]);
  ComputeRelativeRotation(&bones[0], &bones[6]);
  ComputeRelativeRotation(&bones[0], &bones[11]);
  ComputeRelativeRotation(&bones[13], &bones[17]);
  ComputeRelativeRotation(&bones[13], &bones[24]);
  ComputeRelativeRotation(&bones[20], &bones[23]);
  ComputeRelativeRotation(&bones[27], &bones[30]);
}

void Skeleton::RotateDirections() {
  for (int i = 1; i < kJointCount; ++i) {
    Bone& bone = bones[i];
    Vec3f p = {bone.direction.x, bone.direction.y, bone.direction.z};
    RotatePointXYZ(p, -bone.axis[0], -bone.axis[1], -bone.axis[2]);
    bone.direction = Vector3(p[0], p[1], p[2]);
  }
}

void Skeleton::SetDefaultDrawSizes(Bone* bones) {
  for (int i = 0; i < kJointCount; ++i) {
    bones[i].drawSize[0] = kSkeletonDrawSizes[i][0];
    bones[i].drawSize[1] = kSkeletonDrawSizes[i][1];
  }
}

void Skeleton::ResetPosture() {
  rootPosition = Vector3(0.0f, 0.0f, 0.0f);
  for (Bone& bone : bones) {
    bone.rx = 0.0f;
    bone.ry = 0.0f;
    bone.rz = 0.0f;
  }
}

void Skeleton::SetPosture(const Posture& posture) {
  rootPosition = posture.root;
  for (int j = 0; j < kJointCount; ++j) {
    Vector3 angles;
    posture.rotation[j].GetEuler(&angles);
    Bone& bone = bones[j];
    if (bone.dofRx) bone.rx = angles.x;
    if (bone.dofRy) bone.ry = angles.y;
    if (bone.dofRz) bone.rz = angles.z;
  }
}

void Skeleton::GetJointPosition(int joint, Vector3* out) const {
  Vector3 position = rootPosition;
  Matrix4d frame;
  MatrixIdentity(frame);
  int chain[kMaxChainLength];
  int length = 0;
  FindChainToBone(joint, chain, &length);
  for (int k = 0; k < length; ++k) skeleton_ChainStep(bones[chain[k]], frame, &position);
  *out = position;
}

void Skeleton::GetJointPositions(Vector3 out[kJointCount]) const {
  // Each joint continues from its chain parent's frame and position, which
  // are exactly the values GetJointPosition reaches on the way. Parents come
  // before children in index order.
  Matrix4d frames[kJointCount];
  for (int j = 0; j < kJointCount; ++j) {
    int chain[kMaxChainLength];
    int length = 0;
    FindChainToBone(j, chain, &length);
    if (length < 2) {
      MatrixIdentity(frames[j]);
      out[j] = rootPosition;
    } else {
      MatrixCopy(frames[chain[length - 2]], frames[j]);
      out[j] = out[chain[length - 2]];
    }
    skeleton_ChainStep(bones[j], frames[j], &out[j]);
  }
}

void Skeleton::FindChainToBone(int joint, int* chain, int* length) {
  *length = 0;
  for (int row = 0; row < kKinematicChainCount; ++row) {
    for (int column = 0; column < kMaxChainLength; ++column) {
      const int32_t cell = KinematicChainTable[row][column];
      if (cell == kKinematicChainEnd) break;
      if (cell == joint) {
        for (int k = 0; k <= column; ++k) chain[k] = KinematicChainTable[row][k];
        *length = column + 1;
        return;
      }
    }
  }
}

void Skeleton::EulerToMatrix(float rx, float ry, float rz, Matrix4d out) {
  MatrixFromEulerZYX(out, rz, ry, rx);
}

Skeleton& DefaultSkeleton() {
  if (g_defaultSkeleton == nullptr) g_defaultSkeleton = new Skeleton(kDefaultSkeletonFile, 0.06f);
  return *g_defaultSkeleton;
}

void ForgetDefaultSkeletons() {
  delete g_defaultSkeleton;
  g_defaultSkeleton = nullptr;
  delete g_jointPositionSkeleton;
  g_jointPositionSkeleton = nullptr;
  skeleton_ReportedMissing().clear();
}

void MarkerSet::ComputeFromPosture(const Posture& posture) {
  if (g_jointPositionSkeleton == nullptr) {
    g_jointPositionSkeleton = new Skeleton(kDefaultSkeletonFile, 0.06f);
  }
  Skeleton& skeleton = *g_jointPositionSkeleton;
  // The body frame: root at the origin and without rotation. A copy, so the
  // caller's posture stays as it was.
  Posture body = posture;
  body.root = Vector3(0.0f, 0.0f, 0.0f);
  body.rotation[0] = Quaternion(0.0f, 0.0f, 0.0f, 1.0f);
  skeleton.SetPosture(body);
  skeleton.GetJointPositions(positions);
}

void BlendPostures(float t, const Posture& a, const Posture& b, Posture* out) {
  out->root = Lerp(t, a.root, b.root);
  for (int j = 0; j < kJointCount; ++j) Slerp(t, a.rotation[j], b.rotation[j], &out->rotation[j]);
}
