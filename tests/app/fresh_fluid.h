// Every front-end test starts from the state the program has before main runs, with the
// 512 x 512 window's cell size.
#pragma once

#include <gtest/gtest.h>

#include "fluid_state.h"

class FreshFluid : public ::testing::Test {
 protected:
  void SetUp() override {
    fluid = FluidState{};
    fluid.cell_size = 4.0f;
  }
};
