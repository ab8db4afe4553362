#include "fast_form_thunks.h"

#include "argument_slots.h"
#include "fast_kernels.h"

namespace {

// Reads the fast form's parameters from the launch record, as the entry thunks do.
template <typename... Params>
void callFastWithRecord(void (*form)(const BlockRect&, Params...), const void* record,
                        const BlockRect& blocks) {
  [&]<std::size_t... k>(std::index_sequence<k...>) {
    form(blocks, fromSlot<Params>(record, k)...);
  }(std::index_sequence_for<Params...>{});
}

template <typename T>
const void* slotPointer(const void* record, std::size_t slot) {
  return fromSlot<const T*>(record, slot);
}

// A fast form also relies on what the step guarantees of its buffers: the ones a kernel writes
// are not the ones it only reads. Launches that break this run thread by thread.
bool fieldsApart(int n, const void* record, std::initializer_list<std::size_t> written,
                 std::initializer_list<std::size_t> read) {
  for (std::size_t w : written) {
    for (std::size_t r : read) {
      if (w != r &&
          !disjointFields(n, slotPointer<float>(record, w), slotPointer<float>(record, r))) {
        return false;
      }
    }
  }
  return true;
}

bool geometryFor(const void* record, dim3 grid, dim3 block, std::uint32_t lines) {
  return fastFormGeometry(fromSlot<int>(record, 0), grid, block, lines);
}

}  // namespace

// Slots: N 0 | x 1, s 2 | ...; written buffers first, then everything they must stay apart from.
bool gpuFastAcceptsAdd_Source(const void* record, dim3 grid, dim3 block, std::uint32_t lines) {
  return geometryFor(record, grid, block, lines);
}
bool gpuFastAcceptsDiffuse(const void* record, dim3 grid, dim3 block, std::uint32_t lines) {
  return geometryFor(record, grid, block, lines) &&
         fieldsApart(fromSlot<int>(record, 0), record, {2}, {3, 6});
}
bool gpuFastAcceptsAdvect(const void* record, dim3 grid, dim3 block, std::uint32_t lines) {
  return geometryFor(record, grid, block, lines) &&
         fieldsApart(fromSlot<int>(record, 0), record, {2}, {3, 4, 5, 7});
}
bool gpuFastAcceptsProjectStep1(const void* record, dim3 grid, dim3 block, std::uint32_t lines) {
  return geometryFor(record, grid, block, lines) &&
         fieldsApart(fromSlot<int>(record, 0), record, {3, 4}, {1, 2, 3, 4, 5});
}
bool gpuFastAcceptsProjectStep2(const void* record, dim3 grid, dim3 block, std::uint32_t lines) {
  return geometryFor(record, grid, block, lines) &&
         fieldsApart(fromSlot<int>(record, 0), record, {1}, {2, 3});
}
bool gpuFastAcceptsProjectStep3(const void* record, dim3 grid, dim3 block, std::uint32_t lines) {
  return geometryFor(record, grid, block, lines) &&
         fieldsApart(fromSlot<int>(record, 0), record, {1, 2}, {1, 2, 3, 4});
}

void gpuFastAdd_Source(const void* record, const BlockRect& blocks) {
  callFastWithRecord(&addSourceFast, record, blocks);
}
void gpuFastDiffuse(const void* record, const BlockRect& blocks) {
  callFastWithRecord(&diffuseFast, record, blocks);
}
void gpuFastAdvect(const void* record, const BlockRect& blocks) {
  callFastWithRecord(&advectFast, record, blocks);
}
void gpuFastProjectStep1(const void* record, const BlockRect& blocks) {
  callFastWithRecord(&projectStep1Fast, record, blocks);
}
void gpuFastProjectStep2(const void* record, const BlockRect& blocks) {
  callFastWithRecord(&projectStep2Fast, record, blocks);
}
void gpuFastProjectStep3(const void* record, const BlockRect& blocks) {
  callFastWithRecord(&projectStep3Fast, record, blocks);
}
