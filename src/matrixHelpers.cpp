#include "src/matrixHelpers.h"

namespace {
constexpr unsigned int kTranslationRow = 3;
}

MMatrix multiplyTransforms(const MMatrix& a, const MMatrix& b) {
  MMatrix linear = b;
  for (unsigned int c = 0; c < 3; ++c) linear(kTranslationRow, c) = 0.0;
  MMatrix product = linear * a;
  const MVector moved = transformPoint(MVector(b(kTranslationRow, 0), b(kTranslationRow, 1), b(kTranslationRow, 2)), a);
  for (unsigned int c = 0; c < 3; ++c) product(kTranslationRow, c) = moved[c];
  return product;
}

MVector transformPoint(const MVector& p, const MMatrix& m) {
  MVector result;
  for (unsigned int c = 0; c < 3; ++c)
    result[c] = p.x * m(0, c) + p.y * m(1, c) + p.z * m(2, c) + m(kTranslationRow, c);
  return result;
}
