#include "launch_stubs.h"

#include "argument_slots.h"
#include "kernels.h"

void gpuLaunchAdd_Source(int N, float* x, float* s, float dt) {
  setUpArgumentsAndLaunch(stubIdentity(&gpuLaunchAdd_Source), N, x, s, dt);
}

void gpuLaunchDiffuse(int N, int b, float* x, float* x0, float rate, float dt, int* boundary) {
  setUpArgumentsAndLaunch(stubIdentity(&gpuLaunchDiffuse), N, b, x, x0, rate, dt, boundary);
}

void gpuLaunchAdvect(int N, int b, float* d, float* d0, float* u, float* v, float dt,
                     int* boundary) {
  setUpArgumentsAndLaunch(stubIdentity(&gpuLaunchAdvect), N, b, d, d0, u, v, dt, boundary);
}

void gpuLaunchProjectStep1(int N, float* u, float* v, float* p, float* div, int* boundary) {
  setUpArgumentsAndLaunch(stubIdentity(&gpuLaunchProjectStep1), N, u, v, p, div, boundary);
}

void gpuLaunchProjectStep2(int N, float* p, float* div, int* boundary) {
  setUpArgumentsAndLaunch(stubIdentity(&gpuLaunchProjectStep2), N, p, div, boundary);
}

void gpuLaunchProjectStep3(int N, float* u, float* v, float* p, int* boundary) {
  setUpArgumentsAndLaunch(stubIdentity(&gpuLaunchProjectStep3), N, u, v, p, boundary);
}

void gpuEntryAdd_Source(const void* record) { callWithRecord(&gpuKernelAdd_Source, record); }
void gpuEntryDiffuse(const void* record) { callWithRecord(&gpuKernelDiffuse, record); }
void gpuEntryAdvect(const void* record) { callWithRecord(&gpuKernelAdvect, record); }
void gpuEntryProjectStep1(const void* record) { callWithRecord(&gpuKernelProjectStep1, record); }
void gpuEntryProjectStep2(const void* record) { callWithRecord(&gpuKernelProjectStep2, record); }
void gpuEntryProjectStep3(const void* record) { callWithRecord(&gpuKernelProjectStep3, record); }
