#include "engine/solver/SystemZeroing.h"

#include "engine/solver/Lsqr.h"

namespace {

void zeroRow(dmat* matrix, std::uint32_t row) {
  if (row >= matrix->rows || matrix->columns == 0) return;
  dvec view = getMatrixRow(matrix, row);
  zeroVectorRange(&view, 0, view.length - 1);
}

}  // namespace

void zeroVectorRange(dvec* v, std::uint32_t from, std::uint32_t to) {
  if (from >= v->capacity || to >= v->capacity) return;
  for (std::uint32_t i = from; i <= to; ++i) v->elements[i] = 0.0;
}

void zeroMatrixColumns(dmat* matrix, std::uint32_t from, std::uint32_t to) {
  if (from >= matrix->stride || to >= matrix->stride) return;
  for (std::uint32_t r = 0; r < matrix->rows; ++r) {
    dvec view = getMatrixRow(matrix, r);
    for (std::uint32_t c = from; c <= to; ++c) view.elements[c] = 0.0;
  }
}

void zeroContactRows(dmat* matrix, std::uint32_t contact) {
  const std::uint32_t first = kContactRows * contact;
  for (std::uint32_t r = first; r < first + kContactRows; ++r) zeroRow(matrix, r);
  zeroMatrixColumns(matrix, first, first + kContactRows - 1);
}

void zeroRowAndColumn(dmat* matrix, std::uint32_t index) {
  zeroRow(matrix, index);
  zeroMatrixColumns(matrix, index, index);
}
