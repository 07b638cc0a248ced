#pragma once

#include "platform/CRandom.h"
#include "support/reference/EigenReference.h"

/// Random problems drawn from the C library's generator, which the tests
/// seed: each entry uniform in [-1, 1].
namespace lsqrtest {

inline double uniform() { return 2.0 * zov::platform::crtRand() / static_cast<double>(zov::platform::kRandMax) - 1.0; }

/// Filled row by row.
inline zovref::MatX randomMatrix(int rows, int columns) {
  zovref::MatX m(rows, columns);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) m(r, c) = uniform();
  return m;
}

/// Filled column by column: the same entries as randomMatrix in another order.
inline zovref::MatX randomMatrixByColumns(int rows, int columns) {
  zovref::MatX m(rows, columns);
  for (int c = 0; c < columns; ++c)
    for (int r = 0; r < rows; ++r) m(r, c) = uniform();
  return m;
}

inline zovref::VecX randomVector(int n) {
  zovref::VecX v(n);
  for (int i = 0; i < n; ++i) v(i) = uniform();
  return v;
}

}  // namespace lsqrtest
