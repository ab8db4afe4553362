// Obstacle reflection: a value of an interior cell whose sign points at an obstacle neighbour
// along one axis is flipped. Zero and NaN never are.
#pragma once

#include "cell_formulas.h"
#include "execution_model.h"

enum class Axis { I, J };

// `minus` and `plus` are the cells on either side of the thread's cell along the axis. Each
// mask entry is read only when the value's sign asks for it.
inline bool pointsAtObstacle(float value, int minus, int plus, const int* boundary) {
  return (value < 0.0f && boundary[minus] != 0) || (value > 0.0f && boundary[plus] != 0);
}

inline bool pointsAtObstacle(float value, int n, const ThreadCell& c, Axis axis,
                             const int* boundary) {
  const int minus = axis == Axis::I ? cellIndex(n, c.i - 1, c.j) : cellIndex(n, c.i, c.j - 1);
  const int plus = axis == Axis::I ? cellIndex(n, c.i + 1, c.j) : cellIndex(n, c.i, c.j + 1);
  return pointsAtObstacle(value, minus, plus, boundary);
}
