// The opt-in guard against a blown-up state: long use can drive the fields to Inf and then NaN,
// after which every cell stays NaN until 'r'. With the guard on, the frame step resets them.
#pragma once

#include <cstdio>

void set_field_guard(bool on);
bool field_guard_on();

// Whether every entry of u, v, u_prev, v_prev, dens and dens_prev is finite.
bool fields_finite();

// If a field holds a non-finite value, resets the fields as 'r' does, says so in one line on
// `err` and returns true.
bool guard_fields(std::FILE* err = stderr);
