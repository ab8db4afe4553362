// Registration of the six kernels with the runtime as one module, before main runs, and its
// release at exit.
#pragma once

extern void** gpuModuleHandle;

void gpuRegisterKernels();
void gpuUnregisterKernels();
