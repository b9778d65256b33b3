#include "world/entity.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(EntityNames, TakenNamesGetACounterAndTheDestructorRemovesOnlyItsOwnEntry) {
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
  EXPECT_EQ(EntityMap().at("x2"), &another_x);

  delete new Entity("temp", 0);
  EXPECT_EQ(EntityMap().count("temp"), 0u);
  // An entry that another entity took over stays.
  auto* first = new Entity("dup", 0);
  EntityMap()["dup"] = &x;
  delete first;
  EXPECT_EQ(EntityMap().at("dup"), &x);
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
  // `matrix` is the transposed (column-major) rotation: here m[2] = -s.
  EXPECT_NEAR(e.matrix.m[2], -1.0f, 1e-6f);
  EXPECT_NEAR(e.matrix.m[8], 1.0f, 1e-6f);

  // The y turn is about world up even when the entity is tilted: it keeps
  // the height of every own axis.
  Entity tilted("tilted", 0);
  tilted.Turn(Vector3(30.0f, 0.0f, 0.0f));
  const float xHeight = tilted.orientation.GetXAxis().y, zHeight = tilted.orientation.GetZAxis().y;
  tilted.Turn(Vector3(0.0f, 50.0f, 0.0f));
  EXPECT_NEAR(tilted.orientation.GetXAxis().y, xHeight, 1e-5f);
  EXPECT_NEAR(tilted.orientation.GetZAxis().y, zHeight, 1e-5f);
  EXPECT_GT(std::fabs(zHeight), 0.4f);  // tilted indeed

  // Reset clears place and orientation but keeps the matrix.
  e.Reset();
  EXPECT_EQ(e.position.x, 0.0f);
  EXPECT_EQ(e.orientation.w, 1.0f);
  EXPECT_NEAR(e.matrix.m[2], -1.0f, 1e-6f);

  // A zero move still renormalises and rebuilds the matrix.
  e.orientation = Quaternion(0.0f, 0.0f, 0.0f, 2.0f);
  e.position = Vector3(1.0f, 2.0f, 3.0f);
  e.MoveLocal(Vector3());
  EXPECT_EQ(e.position.z, 3.0f);
  EXPECT_FLOAT_EQ(e.orientation.w, 1.0f);
  EXPECT_FLOAT_EQ(e.matrix.m[0], 1.0f);
  EXPECT_FLOAT_EQ(e.matrix.m[2], 0.0f);
}

}  // namespace
