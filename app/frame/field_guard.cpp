#include "field_guard.h"

#include <cmath>
#include <initializer_list>
#include <vector>

#include "fluid_state.h"
#include "program_messages.h"

namespace {
bool guard_on = false;
}  // namespace

void set_field_guard(bool on) { guard_on = on; }
bool field_guard_on() { return guard_on; }

bool fields_finite() {
  for (const std::vector<float>* field : {&fluid.u, &fluid.v, &fluid.u_prev, &fluid.v_prev,
                                          &fluid.dens, &fluid.dens_prev}) {
    for (const float value : *field) {
      if (!std::isfinite(value)) return false;
    }
  }
  return true;
}

bool guard_fields(std::FILE* err) {
  if (fields_finite()) return false;
  reset_fields();
  print_message(err, "the step left a non-finite value in the fields; they were reset");
  return true;
}
