// Advection of the interior cells of a line in vector lanes, for the advection's fast form. The
// cells' updates read only buffers that nobody writes in the launch, so they may run at once.
#pragma once

// Cells (first, j) to (end - 1, j), all off the edge, of an n-grid: as advectCell leaves them.
void advectInteriorInLanes(int n, int b, float* d, const float* d0, const float* u,
                           const float* v, float dt0, const int* boundary, int j, int first,
                           int end);
