#include "direct_step.h"

#include <algorithm>
#include <utility>

#include "device_arithmetic.h"
#include "fluid_state.h"

namespace {

constexpr int blockThreads = 32;

// The grid's sizes. The default grid's are constants, so that the loops the benchmarks measure
// the launched step against split a cell index with shifts, as the kernels do; other grids
// take them at run time.
struct DefaultGrid {
  static constexpr int n = kDefaultGridInterior;
  static constexpr int side = n + 2;
  static constexpr int cells = side * side;
};

struct AnyGrid {
  int n;
  int side;
  int cells;
};

template <typename Grid>
struct PlainLoops {
  Grid g;

  int at(int i, int j) const { return i + g.side * j; }
  bool onEdge(int i, int j) const { return i == 0 || i == g.n + 1 || j == 0 || j == g.n + 1; }
  bool onEdge(int t) const { return onEdge(t % g.side, t / g.side); }
  bool solid(int t, const int* mask) const { return onEdge(t) || mask[t] != 0; }

  static float mean(float a, float b) {
    return static_cast<float>(0.5 * (static_cast<double>(a) + b));
  }

  void fillCopy(float* x, int t) const {
    const int n = g.n;
    const int i = t % g.side, j = t / g.side;
    if (!onEdge(i, j)) return;
    if (i == 0) x[t] = x[at(1, j)];
    if (i == n + 1) x[t] = x[at(n, j)];
    if (j == 0) x[t] = x[at(i, 1)];
    if (j == n + 1) x[t] = x[at(i, n)];
    if (i == 0 && j == 0) x[t] = mean(x[at(1, 0)], x[at(0, 1)]);
    if (i == 0 && j == n + 1) x[t] = mean(x[at(1, n + 1)], x[at(0, n)]);
    if (i == n + 1 && j == 0) x[t] = mean(x[at(n, 0)], x[at(n + 1, 1)]);
    if (i == n + 1 && j == n + 1) x[t] = mean(x[at(n, n + 1)], x[at(n + 1, n)]);
  }

  void fill(int b, float* x, int t) const {
    if (b == 0) {
      fillCopy(x, t);
    } else if (onEdge(t)) {
      x[t] = 0.0f;
    }
  }

  // Sign flip of a value that points at an obstacle: `minus`/`plus` are the neighbours' offsets.
  static bool reflects(float value, int t, int step, const int* mask) {
    return (value < 0.0f && mask[t - step] != 0) || (value > 0.0f && mask[t + step] != 0);
  }
  static constexpr int alongI = 1;
  int alongJ() const { return g.side; }

  void addSource(float* x, const float* s, float dt) const {
    for (int t = 0; t < g.cells; ++t) x[t] = static_cast<float>(x[t] + static_cast<double>(s[t]) * dt);
  }

  // Without a barrier each thread runs all its passes before the next thread starts. A cell's
  // class is fixed for the launch, as the kernels also know.
  void diffuse(int b, float* x, const float* x0, float rate, float dt, const int* mask) const {
    const int n = g.n, side = g.side;
    const float a = static_cast<float>(static_cast<double>(dt) * rate * n * n);
    const float divisor = static_cast<float>(a * 4.0 + 1.0);
    for (int t = 0; t < g.cells; ++t) {
      const bool edge = onEdge(t);
      const bool cleared = solid(t, mask);
      for (int pass = 0; pass < 20; ++pass) {
        if (cleared) {
          x[t] = 0.0f;
        } else {
          const double sum = ((static_cast<double>(x[t - 1]) + x[t + 1]) + x[t - side]) + x[t + side];
          x[t] = deviceDivide(static_cast<float>(x0[t] + a * sum), divisor);
        }
        if (edge) fill(b, x, t);
      }
    }
  }

  float clampedDeparture(int cell, float velocity, float dt0) const {
    const int n = g.n;
    float position = static_cast<float>(cell - static_cast<double>(velocity) * dt0);
    if (position < 0.5) position = 0.5f;
    if (position > n + 0.5) position = static_cast<float>(n + 0.5);
    return position;
  }

  void advect(int b, float* d, const float* d0, const float* u, const float* v, float dt,
              const int* mask) const {
    const int side = g.side;
    const float dt0 = static_cast<float>(static_cast<double>(g.n) * dt);
    for (int t = 0; t < g.cells; ++t) {
      if (solid(t, mask)) {
        d[t] = 0.0f;
      } else {
        const float x = clampedDeparture(t % side, u[t], dt0);
        const float y = clampedDeparture(t / side, v[t], dt0);
        const int i0 = deviceFloatToInt(x), j0 = deviceFloatToInt(y);
        const float wi1 = static_cast<float>(static_cast<double>(x) - i0);
        const float wi0 = static_cast<float>(1.0 - wi1);
        const float wj1 = static_cast<float>(static_cast<double>(y) - j0);
        const float wj0 = static_cast<float>(1.0 - wj1);
        const float val = static_cast<float>(
            (static_cast<double>(d0[at(i0, j0)]) * wj0 + static_cast<double>(d0[at(i0, j0 + 1)]) * wj1) * wi0 +
            (static_cast<double>(d0[at(i0 + 1, j0)]) * wj0 + static_cast<double>(d0[at(i0 + 1, j0 + 1)]) * wj1) * wi1);
        const bool flip = (b == 1 && reflects(val, t, alongJ(), mask)) ||
                          (b == 2 && reflects(val, t, alongI, mask));
        d[t] = flip ? -val : val;
      }
      fill(b, d, t);
    }
  }

  // The projection kernels cross block barriers: each block runs its update for all 32 threads,
  // then its edge fill for all 32.
  void projectStep1(const float* u, const float* v, float* p, float* div, const int* mask) const {
    const int side = g.side;
    const float h = static_cast<float>(1.0 / g.n);
    for (int first = 0; first < g.cells; first += blockThreads) {
      for (int t = first; t < first + blockThreads; ++t) {
        if (solid(t, mask)) {
          div[t] = 0.0f;
        } else {
          const float dval = static_cast<float>(
              (h * -0.5) * (static_cast<double>(u[t + 1]) - u[t - 1] + v[t + side] - v[t - side]));
          div[t] = reflects(dval, t, alongI, mask) ? -dval : dval;
        }
        p[t] = 0.0f;
      }
      for (int t = first; t < first + blockThreads; ++t) {
        fillCopy(div, t);
        fillCopy(p, t);
      }
    }
  }

  // Between two barriers a thread runs the edge fill of one pass and then the update of the
  // next, before the following thread starts its fill.
  void projectStep2(float* p, const float* div, const int* mask) const {
    const int side = g.side;
    bool cleared[blockThreads];
    const auto relax = [&](int t) {
      if (cleared[t % blockThreads]) {
        p[t] = 0.0f;
        return;
      }
      const float sum = static_cast<float>(static_cast<double>(div[t]) + p[t - 1] + p[t + 1] +
                                           p[t - side] + p[t + side]);
      const float pval = deviceDivide(sum, 4.0f);
      p[t] = reflects(pval, t, alongJ(), mask) ? -pval : pval;
    };
    for (int first = 0; first < g.cells; first += blockThreads) {
      for (int t = first; t < first + blockThreads; ++t) cleared[t - first] = solid(t, mask);
      for (int t = first; t < first + blockThreads; ++t) relax(t);
      for (int pass = 1; pass < 20; ++pass) {
        for (int t = first; t < first + blockThreads; ++t) {
          fillCopy(p, t);
          relax(t);
        }
      }
      for (int t = first; t < first + blockThreads; ++t) fillCopy(p, t);
    }
  }

  void projectStep3(float* u, float* v, const float* p, const int* mask) const {
    const int side = g.side;
    const float h = static_cast<float>(1.0 / g.n);
    for (int first = 0; first < g.cells; first += blockThreads) {
      for (int t = first; t < first + blockThreads; ++t) {
        if (solid(t, mask)) {
          u[t] = 0.0f;
          v[t] = 0.0f;
          continue;
        }
        const float gi = deviceDivide(static_cast<float>((static_cast<double>(p[t + 1]) - p[t - 1]) * 0.5), h);
        u[t] = static_cast<float>(reflects(gi, t, alongJ(), mask) ? static_cast<double>(u[t]) + gi
                                                                   : static_cast<double>(u[t]) - gi);
        const float gj = deviceDivide(static_cast<float>((static_cast<double>(p[t + side]) - p[t - side]) * 0.5), h);
        v[t] = static_cast<float>(reflects(gj, t, alongI, mask) ? static_cast<double>(v[t]) + gj
                                                                   : static_cast<double>(v[t]) - gj);
      }
      for (int t = first; t < first + blockThreads; ++t) {
        fillCopy(u, t);
        fillCopy(v, t);
      }
    }
  }

  void step(FluidState& s) const {
    float* dens = s.dens.data();
    float* dens_prev = s.dens_prev.data();
    float* u = s.u.data();
    float* u_prev = s.u_prev.data();
    float* v = s.v.data();
    float* v_prev = s.v_prev.data();
    const int* mask = s.boundary.data();

    addSource(dens, dens_prev, s.dt);
    diffuse(1, dens_prev, dens, s.diff, s.dt, mask);
    advect(1, dens, dens_prev, u, v, s.dt, mask);

    addSource(u, u_prev, s.dt);
    addSource(v, v_prev, s.dt);
    diffuse(0, u_prev, u, s.visc, s.dt, mask);
    diffuse(0, v_prev, v, s.visc, s.dt, mask);
    projectStep1(u_prev, v_prev, u, v, mask);
    projectStep2(u, v, mask);
    projectStep3(u_prev, v_prev, u, mask);
    advect(0, u, u_prev, u_prev, v_prev, s.dt, mask);
    advect(0, v, v_prev, u_prev, v_prev, s.dt, mask);
    projectStep1(u, v, u_prev, v_prev, mask);
    projectStep2(u_prev, v_prev, mask);
    projectStep3(u, v, u_prev, mask);
  }
};

}  // namespace

void directCalcFluid(FluidState& s) {
  if (s.N == kDefaultGridInterior) {
    PlainLoops<DefaultGrid>{}.step(s);
  } else {
    PlainLoops<AnyGrid>{{s.N, s.N + 2, (s.N + 2) * (s.N + 2)}}.step(s);
  }
}
