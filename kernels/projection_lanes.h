// The first and third projection steps' updates of the cells of a line in vector lanes, for
// their fast forms. Before its barrier each thread reads only buffers that nobody writes in the
// launch, besides its own cells, so the cells of a line may run at once.
#pragma once

// Cells (first, j) to (end - 1, j) of an interior line of an n-grid, as divergenceUpdate and
// gradientUpdate leave them; the edge fill after the barrier is the caller's.
void divergenceInLanes(int n, float h, const float* u, const float* v, float* p, float* div,
                       const int* boundary, int j, int first, int end);
void gradientInLanes(int n, float h, float* u, float* v, const float* p, const int* boundary,
                     int j, int first, int end);
