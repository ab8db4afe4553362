#include "field_checksum.h"

#include <cinttypes>
#include <cstdlib>
#include <vector>

#include "fluid_state.h"
#include "session_failure.h"

namespace {

constexpr std::uint64_t kOffsetBasis = 0xcbf29ce484222325;
constexpr std::uint64_t kPrime = 0x100000001b3;

// The field's bytes as stored, (N+2)^2 cells of 4 bytes.
template <typename Cell>
std::uint64_t fold(std::uint64_t hash, const std::vector<Cell>& field) {
  const auto* byte = reinterpret_cast<const unsigned char*>(field.data());
  const std::size_t bytes = field.size() * sizeof(Cell);
  for (std::size_t k = 0; k < bytes; ++k) hash = (hash ^ byte[k]) * kPrime;
  return hash;
}

void print_checksum() {
  if (session_failed()) return;
  std::fprintf(stderr, "checksum %016" PRIx64 "\n", field_checksum());
}

}  // namespace

std::uint64_t field_checksum() {
  std::uint64_t hash = kOffsetBasis;
  hash = fold(hash, fluid.u);
  hash = fold(hash, fluid.v);
  hash = fold(hash, fluid.u_prev);
  hash = fold(hash, fluid.v_prev);
  hash = fold(hash, fluid.dens);
  hash = fold(hash, fluid.dens_prev);
  return fold(hash, fluid.boundary);
}

void print_checksum_at_exit() { std::atexit(print_checksum); }
