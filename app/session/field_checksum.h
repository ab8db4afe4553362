// A fingerprint of the simulation's fields, to tell two runs apart or show them equal: 64-bit
// FNV-1a over the bytes of u, v, u_prev, v_prev, dens, dens_prev and boundary, as stored.
#pragma once

#include <cstdint>
#include <cstdio>

std::uint64_t field_checksum();

// Prints "checksum " and the checksum as 16 lowercase hex digits when the process exits, on
// standard error; not after a failed session.
void print_checksum_at_exit();
