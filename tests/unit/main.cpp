#include <gtest/gtest.h>

#include "support/support.h"

int main(int argc, char **argv) {
  testing::InitGoogleTest(&argc, argv);
  support::isolateEnvironment();
  return RUN_ALL_TESTS();
}
