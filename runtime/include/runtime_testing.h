// What tests may ask of the runtime layer beyond the runtime interface itself: make a chosen
// call fail, look at the registration and allocation tables, and watch launches go by.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cuda_runtime.h"

namespace runtime_testing {

enum class RuntimeCall {
  SetDevice,
  Malloc,
  Free,
  Memcpy,
  ConfigureCall,
  SetupArgument,
  Launch,
  RegisterFatBinary,
  RegisterFunction,
  UnregisterFatBinary,
  // Host memory for a kernel thread's frame, asked for only when no recycled frame fits.
  ThreadFrame,
};

// Makes the nth call of `call` from now on (1 = the next one) fail with `status`, doing
// nothing else; `repeat` consecutive calls fail from there. Faults stay armed until they
// have fired or clearFaults() runs.
void injectFault(RuntimeCall call, int nth, cudaError_t status, int repeat = 1);
void clearFaults();

struct RegisteredFunction {
  void** module;
  const void* hostFunction;
  cudaEntryThunk deviceFunction;
  std::string deviceName;
  int threadLimit;
  dim3* threadIndex;
  dim3* blockIndex;
  dim3* blockSize;
  dim3* gridSize;
  int* warpSize;
};
// Live registrations, in the order they were made.
std::vector<RegisteredFunction> registeredFunctions();

struct DeviceAllocation {
  std::uintptr_t address;
  std::size_t size;
};
// Live device allocations, in the order they were made.
std::vector<DeviceAllocation> liveAllocations();

struct LaunchObservation {
  const void* hostFunction;
  std::string deviceName;
  dim3 gridSize;
  dim3 blockSize;
  std::vector<unsigned char> record;  // the bytes set up for this launch
};
// Called for every launch that is about to run; pass an empty function to stop watching.
void setLaunchObserver(std::function<void(const LaunchObservation&)> observer);

// Where launches shared among worker threads spend time not running blocks, summed since the
// start, and what waking sleeping workers costs.
struct WorkerWaits {
  std::uint64_t launches;      // launches shared among threads
  std::uint64_t tileWaitNs;    // threads waiting for a tile to become ready
  std::uint64_t finishWaitNs;  // the launching thread waiting for the others' last tiles
  std::uint64_t wakeUps;       // woken workers that then took part in a launch
  std::uint64_t wakeUpNs;      // from offering a launch to such a worker taking part in it
};
WorkerWaits workerWaits();

// How many host threads ran blocks of the last launch shared among threads.
unsigned threadsThatRanTheLastSharedLaunch();

// Cuts every launch with neighbour lines into rows of `lines` lines, however little work they
// hold, so that small test launches are shared too; 0 goes back to rows sized by the work.
void setTileLines(std::uint32_t lines);

}  // namespace runtime_testing
