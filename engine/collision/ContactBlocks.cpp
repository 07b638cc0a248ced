#include "engine/collision/ContactBlocks.h"

using Mgc::MgcVector3;

void ContactBlocks::reset(std::uint32_t n) {
  entries.resize(std::size_t{n} * n * kBlockEntries);
  built = n;
  restore();
}

MgcVector3 ContactBlocks::times(std::uint32_t i, std::uint32_t j, const MgcVector3& v) const {
  const double* b = block(i, j);
  MgcVector3 out;
  for (int r = 0; r < 3; ++r) {
    const double* row = b + 3 * r;
    out[r] = row[0] * v.x + row[1] * v.y + row[2] * v.z;
  }
  return out;
}

void ContactBlocks::keep(const std::uint8_t* marks) {
  std::uint32_t kept = 0;
  for (std::uint32_t i = 0; i < used; ++i) {
    if (marks[i] == 0) order[kept++] = order[i];
  }
  used = kept;
}

void ContactBlocks::restore() {
  order.resize(built);
  for (std::uint32_t i = 0; i < built; ++i) order[i] = i;
  used = built;
}

void ContactBlocks::expand(dmat* matrix) const {
  for (std::uint32_t i = 0; i < used; ++i) {
    for (std::uint32_t k = 0; k < 3; ++k) {
      double* row = matrix->data + std::size_t{3 * i + k} * matrix->stride;
      for (std::uint32_t j = 0; j < used; ++j) {
        const double* from = block(i, j) + 3 * k;
        for (std::uint32_t c = 0; c < 3; ++c) row[3 * j + c] = from[c];
      }
    }
  }
}

// The dense product forms a row's dot product in two running sums, one over
// the even columns and one over the odd columns, each in column order, and
// adds them at the end; column 3j + c is even when j + c is.
double ContactBlockProducts::rowTimes(std::uint32_t i, std::uint32_t k, const double* x) const {
  double even = 0.0;
  double odd = 0.0;
  const std::uint32_t n = blocks.count();
  for (std::uint32_t j = 0; j < n; ++j) {
    if (marks[j] != 0) continue;
    const double* row = blocks.block(i, j) + 3 * k;
    const double* xj = x + 3 * j;
    if ((j & 1U) == 0) {
      even += row[0] * xj[0];
      odd += row[1] * xj[1];
      even += row[2] * xj[2];
    } else {
      odd += row[0] * xj[0];
      even += row[1] * xj[1];
      odd += row[2] * xj[2];
    }
  }
  return even + odd;
}

void ContactBlockProducts::residual(dvec* u, const dvec* x) const {
  const std::uint32_t n = blocks.count();
  for (std::uint32_t i = 0; i < n; ++i) {
    if (marks[i] != 0) continue;
    for (std::uint32_t k = 0; k < 3; ++k) {
      double& ur = u->elements[3 * i + k];
      ur = -(-ur + rowTimes(i, k, x->elements));
    }
  }
}

// Each column's sum runs over the rows in order from the column's element,
// as the dense product's column pass does.
void ContactBlockProducts::adjoint(dvec* v, const dvec* u) const {
  const std::uint32_t n = blocks.count();
  for (std::uint32_t j = 0; j < n; ++j) {
    if (marks[j] != 0) continue;
    double* vj = v->elements + 3 * j;
    double sum[3] = {vj[0], vj[1], vj[2]};
    for (std::uint32_t i = 0; i < n; ++i) {
      if (marks[i] != 0) continue;
      const double* b = blocks.block(i, j);
      const double* ui = u->elements + 3 * i;
      for (std::uint32_t k = 0; k < 3; ++k) {
        const double* row = b + 3 * k;
        sum[0] += row[0] * ui[k];
        sum[1] += row[1] * ui[k];
        sum[2] += row[2] * ui[k];
      }
    }
    vj[0] = sum[0];
    vj[1] = sum[1];
    vj[2] = sum[2];
  }
}

double ContactBlockProducts::forward(dvec* u, const dvec* v, double alpha) const {
  const std::uint32_t n = blocks.count();
  for (std::uint32_t i = 0; i < n; ++i) {
    if (marks[i] != 0) continue;
    for (std::uint32_t k = 0; k < 3; ++k) {
      double& ur = u->elements[3 * i + k];
      ur = ur * -alpha + rowTimes(i, k, v->elements);
    }
  }
  return dvec_norm2(u);
}

double ContactBlockProducts::backward(dvec* v, const dvec* u, double beta) const {
  dvec_scale(v, -beta);
  adjoint(v, u);
  return dvec_norm2(v);
}
