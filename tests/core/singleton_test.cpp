#include "core/singleton.h"

#include <gtest/gtest.h>

namespace {

class Reader : public Singleton {};

TEST(Singleton, InstanceFollowsTheLifetimeOfTheDerivedObject) {
  EXPECT_EQ(Singleton::Instance(), nullptr);
  {
    Reader reader;
    EXPECT_EQ(Singleton::Instance(), &reader);
  }
  EXPECT_EQ(Singleton::Instance(), nullptr);
}

TEST(Singleton, DestroyingAnOlderObjectKeepsTheNewerOne) {
  auto* first = new Reader;
  auto* second = new Reader;
  EXPECT_EQ(Singleton::Instance(), second);
  delete first;
  EXPECT_EQ(Singleton::Instance(), second);
  delete second;
  EXPECT_EQ(Singleton::Instance(), nullptr);
}

}  // namespace
