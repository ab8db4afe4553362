// A program that links the step only through a static library still registers the kernels
// before main, although nothing refers to their registration.
#include <gtest/gtest.h>

#include "runtime_testing.h"
#include "step_in_archive.h"

namespace {

TEST(StepLinking, AStepThroughAStaticLibraryRunsItsFifteenLaunchesOnRegisteredKernels) {
  EXPECT_EQ(runtime_testing::registeredFunctions().size(), 6u);
  // A launch of an unregistered kernel fails before any observer sees it.
  int launches = 0;
  runtime_testing::setLaunchObserver([&](const runtime_testing::LaunchObservation&) {
    ++launches;
  });
  stepFromArchive();
  runtime_testing::setLaunchObserver({});
  EXPECT_EQ(launches, 15);
}

}  // namespace
