// The six per-cell solver kernels. Each runs once per thread of a launch of one thread per
// cell ((N+2)^2 / 32 blocks of 32) and updates the thread's own cell; they are launched
// through the runtime, never called directly.
// Arithmetic: every expression is evaluated in double precision and rounded to float only
// where it is stored.
#pragma once

#include "cuda_runtime.h"

// x += s * dt in every cell.
void gpuKernelAdd_Source(int N, float* x, float* s, float dt);

// 20 in-place relaxation passes of implicit diffusion; b == 0 selects the copy edge fill.
void gpuKernelDiffuse(int N, int b, float* x, float* x0, float rate, float dt, int* boundary);

// Semi-Lagrangian advection of d0 into d along (u, v); b selects edge fill and reflection.
void gpuKernelAdvect(int N, int b, float* d, float* d0, float* u, float* v, float dt,
                     int* boundary);

// Projection: divergence and cleared pressure; pressure relaxation; gradient subtraction.
// These wait at block barriers, so they are coroutines that the runtime runs phase by phase.
cudaDeviceThread gpuKernelProjectStep1(int N, float* u, float* v, float* p, float* div,
                                       int* boundary);
cudaDeviceThread gpuKernelProjectStep2(int N, float* p, float* div, int* boundary);
cudaDeviceThread gpuKernelProjectStep3(int N, float* u, float* v, float* p, int* boundary);
