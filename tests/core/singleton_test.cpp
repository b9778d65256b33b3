#include "core/singleton.h"

#include <gtest/gtest.h>

namespace {

class Reader : public Singleton {};

TEST(Singleton, InstanceIsTheNewestLivingObject) {
  EXPECT_EQ(Singleton::Instance(), nullptr);
  auto* first = new Reader;
  auto* second = new Reader;
  EXPECT_EQ(Singleton::Instance(), second);
  delete first;  // an older object dying keeps the newer one
  EXPECT_EQ(Singleton::Instance(), second);
  delete second;
  EXPECT_EQ(Singleton::Instance(), nullptr);
}

}  // namespace
