// The kernels' fast forms as the runtime calls them: each checks that a launch is one it was
// written for and unpacks the same argument record as the kernel's entry thunk.
#pragma once

#include <cstdint>

#include "fast_forms.h"

bool gpuFastAcceptsAdd_Source(const void* record, dim3 grid, dim3 block, std::uint32_t lines);
bool gpuFastAcceptsDiffuse(const void* record, dim3 grid, dim3 block, std::uint32_t lines);
bool gpuFastAcceptsAdvect(const void* record, dim3 grid, dim3 block, std::uint32_t lines);
bool gpuFastAcceptsProjectStep1(const void* record, dim3 grid, dim3 block, std::uint32_t lines);
bool gpuFastAcceptsProjectStep2(const void* record, dim3 grid, dim3 block, std::uint32_t lines);
bool gpuFastAcceptsProjectStep3(const void* record, dim3 grid, dim3 block, std::uint32_t lines);

void gpuFastAdd_Source(const void* record, const runtime_fast::BlockRect& blocks);
void gpuFastDiffuse(const void* record, const runtime_fast::BlockRect& blocks);
void gpuFastAdvect(const void* record, const runtime_fast::BlockRect& blocks);
void gpuFastProjectStep1(const void* record, const runtime_fast::BlockRect& blocks);
void gpuFastProjectStep2(const void* record, const runtime_fast::BlockRect& blocks);
void gpuFastProjectStep3(const void* record, const runtime_fast::BlockRect& blocks);
