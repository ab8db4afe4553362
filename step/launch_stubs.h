// Host launch stubs: each takes exactly its kernel's arguments, sets them up as the next
// launch's record and launches the kernel. The launch must have been configured just before.
#pragma once

void gpuLaunchAdd_Source(int N, float* x, float* s, float dt);
void gpuLaunchDiffuse(int N, int b, float* x, float* x0, float rate, float dt, int* boundary);
void gpuLaunchAdvect(int N, int b, float* d, float* d0, float* u, float* v, float dt,
                     int* boundary);
void gpuLaunchProjectStep1(int N, float* u, float* v, float* p, float* div, int* boundary);
void gpuLaunchProjectStep2(int N, float* p, float* div, int* boundary);
void gpuLaunchProjectStep3(int N, float* u, float* v, float* p, int* boundary);

// Entry thunks: called by the runtime once per kernel thread with the launch's record.
void gpuEntryAdd_Source(const void* record);
void gpuEntryDiffuse(const void* record);
void gpuEntryAdvect(const void* record);
void gpuEntryProjectStep1(const void* record);
void gpuEntryProjectStep2(const void* record);
void gpuEntryProjectStep3(const void* record);

// A launch stub as the runtime knows it: by its address.
template <typename Stub>
const void* stubIdentity(Stub* stub) {
  return reinterpret_cast<const void*>(stub);
}
