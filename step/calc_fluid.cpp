#include "calc_fluid.h"

#include <cstdio>
#include <cstdlib>
#include <type_traits>

#include "cuda_runtime.h"
#include "execution_model.h"
#include "fluid_state.h"
#include "launch_stubs.h"
#include "parallel_launch.h"

namespace {

static_assert(sizeof(std::int32_t) == sizeof(float));

[[noreturn]] void failStep(const char* message) {
  std::printf("%s", message);
  std::exit(1);
}

void check(cudaError_t status, const char* message) {
  if (status != cudaSuccess) failStep(message);
}

// The seven buffers, in the order they are allocated, uploaded, downloaded and freed.
enum Buffer { gpuU, gpuV, gpuUPrev, gpuVPrev, gpuDens, gpuDensPrev, gpuBoundary, kBufferCount };

// One buffer's way through the step, with the line printed when a stage of it fails.
struct BufferRoute {
  const char* mallocFailed;
  const char* uploadFailed;
  const char* downloadFailed;  // nullptr: never copied back
  const char* freeFailed;
};

const BufferRoute kRoutes[kBufferCount] = {
    {"In gpuCalcFluid: cudaMalloc for gpuU failed.\n",
     "In gpuCalcFluid: cudaMemcpy for gpuU failed.\n",
     "In gpuCalcFluid: cudaMemcpy back to host for u failed.\n",
     "In gpuCalcFluid: cudaFree gpuU failed.\n"},
    {"In gpuCalcFluid: cudaMalloc for gpuV failed.\n",
     "In gpuCalcFluid: cudaMemcpy for gpuV failed.\n",
     "In gpuCalcFluid: cudaMemcpy back to host for v failed.\n",
     "In gpuCalcFluid: cudaFree gpuV failed.\n"},
    {"In gpuCalcFluid: cudaMalloc for gpuUPrev failed.\n",
     "In gpuCalcFluid: cudaMemcpy for gpuUPrev failed.\n",
     "In gpuCalcFluid: cudaMemcpy back to host for u_prev failed.\n",
     "In gpuCalcFluid: cudaFree gpuUPrev failed.\n"},
    {"In gpuCalcFluid: cudaMalloc for gpuVPrev failed.\n",
     "In gpuCalcFluid: cudaMemcpy for gpuVPrev failed.\n",
     "In gpuCalcFluid: cudaMemcpy back to host for v_prev failed.\n",
     "In gpuCalcFluid: cudaFree gpuVPrev failed.\n"},
    {"In gpuCalcFluid: cudaMalloc for gpuDens failed.\n",
     "In gpuCalcFluid: cudaMemcpy for gpuDens failed.\n",
     "In gpuCalcFluid: cudaMemcpy back to host for dens failed.\n",
     "In gpuCalcFluid: cudaFree gpuDens failed.\n"},
    {"In gpuCalcFluid: cudaMalloc for gpuDensPrev failed.\n",
     "In gpuCalcFluid: cudaMemcpy for gpuDensPrev failed.\n",
     "In gpuCalcFluid: cudaMemcpy back to host for dens_prev failed.\n",
     "In gpuCalcFluid: cudaFree gpuDensPrev failed.\n"},
    {"In gpuCalcFluid: cudaMalloc for gpuBoundary failed.\n",
     "In gpuProject: cudaMemcpy for gpuBoundary failed.\n", nullptr,
     "In gpuProject: cudaFree gpuBoundary failed.\n"},
};

// The host fields in buffer order, and the bytes of each: (N+2)^2 cells of 4 bytes.
struct HostFields {
  void* fields[kBufferCount];
  std::size_t bytes;
};

HostFields hostFieldsOf(FluidState& s) {
  return {{s.u.data(), s.v.data(), s.u_prev.data(), s.v_prev.data(), s.dens.data(),
           s.dens_prev.data(), s.boundary.data()},
          s.u.size() * sizeof(float)};
}

void allocateAndUpload(const HostFields& host, void* (&buffers)[kBufferCount]) {
  for (int k = 0; k < kBufferCount; ++k) {
    check(cudaMalloc(&buffers[k], host.bytes), kRoutes[k].mallocFailed);
  }
  for (int k = 0; k < kBufferCount; ++k) {
    check(cudaMemcpy(buffers[k], host.fields[k], host.bytes, cudaMemcpyHostToDevice),
          kRoutes[k].uploadFailed);
  }
}

void downloadAndFree(const HostFields& host, void* const (&buffers)[kBufferCount]) {
  for (int k = 0; k < kBufferCount; ++k) {
    if (kRoutes[k].downloadFailed == nullptr) continue;
    check(cudaMemcpy(host.fields[k], buffers[k], host.bytes, cudaMemcpyDeviceToHost),
          kRoutes[k].downloadFailed);
  }
  for (int k = 0; k < kBufferCount; ++k) check(cudaFree(buffers[k]), kRoutes[k].freeFailed);
}

// Configures the next launch of the step and launches `launchStub` with `args`. A kernel
// whose configuration is refused is skipped; the step goes on without it.
//
// Every kernel of the step reads what other threads of its launch write only at the four
// neighbours of its cell: the in-place relaxations, the edge fill and the corner means. All
// else it reads lies in buffers that nobody writes during that launch. Saying so lets the
// runtime run a launch on several workers; should it refuse, the launch keeps its one thread.
template <typename... Params>
void launch(void (*launchStub)(Params...), std::type_identity_t<Params>... args) {
  const Size3 gridSize(blocksPerLaunch(fluid.N), 1, 1);
  const Size3 blockSize(threads_per_block, 1, 1);
  if (cudaConfigureCall(gridSize, blockSize, 0, nullptr) != cudaSuccess) return;
  if (fluid.N >= 0) {
    runtime_parallel::declareNeighbourLines(static_cast<std::uint32_t>(fluid.N) + 2);
  }
  launchStub(args...);
}

}  // namespace

void gpuCalcFluid() {
  // Workers that slept since the last step wake while the buffers are set up.
  runtime_parallel::wakeWorkers();
  const HostFields host = hostFieldsOf(fluid);
  void* buffers[kBufferCount] = {};
  allocateAndUpload(host, buffers);

  // Each buffer by the field it holds when uploaded and again when downloaded.
  float* const u = static_cast<float*>(buffers[gpuU]);
  float* const v = static_cast<float*>(buffers[gpuV]);
  float* const u_prev = static_cast<float*>(buffers[gpuUPrev]);
  float* const v_prev = static_cast<float*>(buffers[gpuVPrev]);
  float* const dens = static_cast<float*>(buffers[gpuDens]);
  float* const dens_prev = static_cast<float*>(buffers[gpuDensPrev]);
  int* const boundary = static_cast<int*>(buffers[gpuBoundary]);
  const FluidState& s = fluid;

  // The fifteen launches in order. Between launches the method exchanges each field with its
  // previous one (dens, u and v twice a step); each launch names the buffer that then holds
  // what it reads or writes, so every buffer ends the step on its own field.

  // Density: add source, diffuse, advect along the velocity of the previous step.
  launch(gpuLaunchAdd_Source, s.N, dens, dens_prev, s.dt);
  launch(gpuLaunchDiffuse, s.N, 1, dens_prev, dens, s.diff, s.dt, boundary);
  launch(gpuLaunchAdvect, s.N, 1, dens, dens_prev, u, v, s.dt, boundary);

  // Velocity: add sources, diffuse, project, advect along itself, project again.
  launch(gpuLaunchAdd_Source, s.N, u, u_prev, s.dt);
  launch(gpuLaunchAdd_Source, s.N, v, v_prev, s.dt);
  launch(gpuLaunchDiffuse, s.N, 0, u_prev, u, s.visc, s.dt, boundary);
  launch(gpuLaunchDiffuse, s.N, 0, v_prev, v, s.visc, s.dt, boundary);
  // Pressure and divergence borrow the buffers the diffusion has just read from.
  launch(gpuLaunchProjectStep1, s.N, u_prev, v_prev, u, v, boundary);
  launch(gpuLaunchProjectStep2, s.N, u, v, boundary);
  launch(gpuLaunchProjectStep3, s.N, u_prev, v_prev, u, boundary);
  launch(gpuLaunchAdvect, s.N, 0, u, u_prev, u_prev, v_prev, s.dt, boundary);
  launch(gpuLaunchAdvect, s.N, 0, v, v_prev, u_prev, v_prev, s.dt, boundary);
  launch(gpuLaunchProjectStep1, s.N, u, v, u_prev, v_prev, boundary);
  launch(gpuLaunchProjectStep2, s.N, u_prev, v_prev, boundary);
  launch(gpuLaunchProjectStep3, s.N, u, v, u_prev, boundary);

  downloadAndFree(host, buffers);
}
