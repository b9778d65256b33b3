#include "world/entity.h"

#include <gtest/gtest.h>

namespace {

TEST(EntityNames, TakenNamesGetTheCounterAppendedToTheLowerCasedBase) {
  Entity a("Root", 2);
  Entity b("root", 2);
  Entity c("ROOT", 2);
  EXPECT_EQ(a.GetName(), "root");
  EXPECT_EQ(b.GetName(), "root1");
  EXPECT_EQ(c.GetName(), "root2");

  // The counter goes on past a candidate held by an unrelated entity.
  Entity x("x", 0);
  Entity x1("x1", 0);
  Entity another_x("X", 0);
  EXPECT_EQ(another_x.GetName(), "x2");
  EXPECT_EQ(EntityMap().at("x2"), &another_x);
}

TEST(EntityNames, DestructorRemovesOnlyItsOwnEntry) {
  auto* e = new Entity("temp", 0);
  delete e;
  EXPECT_EQ(EntityMap().count("temp"), 0u);

  // An entry that another entity took over stays.
  auto* first = new Entity("dup", 0);
  Entity keeper("keeper", 0);
  EntityMap()["dup"] = &keeper;
  delete first;
  EXPECT_EQ(EntityMap().at("dup"), &keeper);
  EntityMap().erase("dup");
}

TEST(EntityMotion, MoveLocalFollowsTheOwnAxesAndTurnUsesWorldUp) {
  Entity e("mover", 2);
  // Own axes are the rows of the row-major rotation. Ry(90) has the rows
  // (c 0 s), (0 1 0), (-s 0 c) with c = 0, s = 1, so a move of 2 along the own
  // z axis goes along (-1, 0, 0).
  e.Turn(Vector3(0.0f, 90.0f, 0.0f));
  e.MoveLocal(Vector3(0.0f, 0.0f, 2.0f));
  EXPECT_NEAR(e.position.x, -2.0f, 1e-5f);
  EXPECT_NEAR(e.position.y, 0.0f, 1e-6f);
  EXPECT_NEAR(e.position.z, 0.0f, 1e-5f);

  // `matrix` is the transposed (column-major) rotation of the orientation.
  Matrix4 r;
  e.orientation.GetMatrix(&r);
  for (int row = 0; row < 4; ++row) {
    for (int col = 0; col < 4; ++col) {
      EXPECT_FLOAT_EQ(e.matrix.m[col * 4 + row], r.m[row * 4 + col]);
    }
  }

  // Reset clears place and orientation but keeps the matrix.
  const Matrix4 before = e.matrix;
  e.Reset();
  EXPECT_EQ(e.position.x, 0.0f);
  EXPECT_EQ(e.orientation.w, 1.0f);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(e.matrix.m[i], before.m[i]);
}

TEST(EntityMotion, ZeroMoveStillRenormalisesAndRebuildsTheMatrix) {
  Entity e("still", 2);
  e.orientation = Quaternion(0.0f, 0.0f, 0.0f, 2.0f);
  e.position = Vector3(1.0f, 2.0f, 3.0f);
  e.MoveLocal(Vector3());
  EXPECT_EQ(e.position.x, 1.0f);
  EXPECT_EQ(e.position.z, 3.0f);
  EXPECT_FLOAT_EQ(e.orientation.w, 1.0f);
  EXPECT_FLOAT_EQ(e.matrix.m[0], 1.0f);
}

}  // namespace
