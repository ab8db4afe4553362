// What the program tells a user while it runs: the hint at faster drawing under a software
// renderer, and the progress line of a long headless run.
#include <gtest/gtest.h>

#include <string>

#include "headless_progress.h"
#include "view_drawing.h"

namespace {

TEST(SoftwareRendererHint, OnlySoftwareRenderersDrawingCellByCellAreToldOfLayers) {
  const struct {
    const char* renderer;
    bool software;
  } renderers[] = {
      {"llvmpipe (LLVM 15.0.6, 256 bits)", true},
      {"softpipe", true},
      {"Mesa DRI swrast", true},
      {"Software Rasterizer", true},
      {"LLVMPIPE", true},
      {"NVIDIA GeForce RTX 3060/PCIe/SSE2", false},
      {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", false},
      {"AMD Radeon RX 6600 (radeonsi, navi23, LLVM 15.0.6, DRM 3.49)", false},
      {"", false},
  };
  for (const auto& [renderer, software] : renderers) {
    SCOPED_TRACE(renderer);
    EXPECT_EQ(layers_would_draw_faster(renderer, ViewDrawing::Cells), software);
    EXPECT_FALSE(layers_would_draw_faster(renderer, ViewDrawing::Layers));
  }
}

TEST(HeadlessProgress, TheLineGivesFramesDoneRateAndTimeLeft) {
  const struct {
    std::int64_t done, total;
    double seconds;
    const char* line;
  } cases[] = {
      {0, 5000, 0.0, "frame 0 of 5000"},
      {0, 5000, 0.3, "frame 0 of 5000"},
      {1200, 5000, 12.0, "frame 1200 of 5000, 100 frames/s, 38 s left"},
      {7, 400, 2.0, "frame 7 of 400, 3.5 frames/s, 1 min 53 s left"},
      {100, 100000, 10.0, "frame 100 of 100000, 10 frames/s, 2 h 46 min left"},
      {399, 400, 4.0, "frame 399 of 400, 100 frames/s, 1 s left"},
      {400, 400, 4.0, "frame 400 of 400, 100 frames/s, 0 s left"},
  };
  for (const auto& [done, total, seconds, line] : cases) {
    EXPECT_EQ(progress_text(done, total, seconds), std::string("velmar_stable_fluids: ") + line);
  }
}

}  // namespace
