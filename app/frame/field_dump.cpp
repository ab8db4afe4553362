#include "field_dump.h"

#include "fluid_state.h"

void print_field(int n, const float* field, std::FILE* out) {
  for (int i = n + 1; i >= 0; --i) {
    for (int j = 0; j <= n + 1; ++j) {
      std::fprintf(out, "%f ", static_cast<double>(field[i + (n + 2) * j]));
    }
    std::fputs("\n", out);
  }
}

void print_dump(std::FILE* out) {
  std::fputs("\n\nDensity Field\n", out);
  print_field(fluid.N, fluid.dens.data(), out);
  std::fputs("\n\nu Field\n", out);
  print_field(fluid.N, fluid.u.data(), out);
  std::fputs("\n\nv Field\n", out);
  print_field(fluid.N, fluid.v.data(), out);
  std::fprintf(out, "\n\nTotal Density: %f\n", static_cast<double>(fluid.total_density));
}
