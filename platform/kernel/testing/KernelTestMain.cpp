#include <gtest/gtest.h>

#include "KernelTest.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  kernel::testing::failTestsOnViolations();
  return RUN_ALL_TESTS();
}
