#pragma once

// The twelve Euler angle orders of MgcMatrix3 and reference rotations built
// from textbook axis rotations, for the rotation tests.

#include <cmath>
#include <string>

#include "math/MgcMatrix3.h"
#include "support/reference/EigenReference.h"

namespace zovtest {

using FromEuler = void (Mgc::MgcMatrix3::*)(double, double, double);
using ToEuler = bool (Mgc::MgcMatrix3::*)(double&, double&, double&) const;

struct EulerOrder {
  std::string name;
  int axes[3];     // 0, 1, 2 for x, y, z: m = R_axes[0](a0) R_axes[1](a1) R_axes[2](a2)
  FromEuler from;  // null for the orders that have no builder
  ToEuler to;
  bool proper;  // first and last axis the same: middle angle in [0, pi]
};

inline const EulerOrder kEulerOrders[] = {
    {"XYZ", {0, 1, 2}, &Mgc::MgcMatrix3::FromEulerAnglesXYZ, &Mgc::MgcMatrix3::ToEulerAnglesXYZ, false},
    {"XZY", {0, 2, 1}, &Mgc::MgcMatrix3::FromEulerAnglesXZY, &Mgc::MgcMatrix3::ToEulerAnglesXZY, false},
    {"YXZ", {1, 0, 2}, &Mgc::MgcMatrix3::FromEulerAnglesYXZ, &Mgc::MgcMatrix3::ToEulerAnglesYXZ, false},
    {"YZX", {1, 2, 0}, &Mgc::MgcMatrix3::FromEulerAnglesYZX, &Mgc::MgcMatrix3::ToEulerAnglesYZX, false},
    {"ZXY", {2, 0, 1}, &Mgc::MgcMatrix3::FromEulerAnglesZXY, &Mgc::MgcMatrix3::ToEulerAnglesZXY, false},
    {"ZYX", {2, 1, 0}, &Mgc::MgcMatrix3::FromEulerAnglesZYX, &Mgc::MgcMatrix3::ToEulerAnglesZYX, false},
    {"XYX", {0, 1, 0}, nullptr, &Mgc::MgcMatrix3::ToEulerAnglesXYX, true},
    {"XZX", {0, 2, 0}, nullptr, &Mgc::MgcMatrix3::ToEulerAnglesXZX, true},
    {"YXY", {1, 0, 1}, nullptr, &Mgc::MgcMatrix3::ToEulerAnglesYXY, true},
    {"YZY", {1, 2, 1}, nullptr, &Mgc::MgcMatrix3::ToEulerAnglesYZY, true},
    {"ZXZ", {2, 0, 2}, nullptr, &Mgc::MgcMatrix3::ToEulerAnglesZXZ, true},
    {"ZYZ", {2, 1, 2}, nullptr, &Mgc::MgcMatrix3::ToEulerAnglesZYZ, true},
};

// The textbook rotation about coordinate axis 0, 1 or 2; its unit row and
// column are exact, so that gimbal-lock entries come out as exactly +-1.
inline zovref::Mat3 elementaryRotation(int axis, double angle) {
  const int j = (axis + 1) % 3;
  const int k = (axis + 2) % 3;
  zovref::Mat3 m;
  m(axis, axis) = 1.0;
  m(j, j) = std::cos(angle);
  m(k, k) = std::cos(angle);
  m(j, k) = -std::sin(angle);
  m(k, j) = std::sin(angle);
  return m;
}

// The reference rotation of an order.
inline zovref::Mat3 eulerReference(const EulerOrder& order, double a0, double a1, double a2) {
  return elementaryRotation(order.axes[0], a0) * elementaryRotation(order.axes[1], a1) *
         elementaryRotation(order.axes[2], a2);
}

// The entry that holds the middle angle's sine or cosine.
inline double middleEntry(const EulerOrder& order, const zovref::Mat3& m) {
  // cos(a1) on the diagonal for a proper order, +-sin(a1) at (first, last)
  // for the others.
  const int first = order.axes[0];
  return order.proper ? m(first, first) : m(first, order.axes[2]);
}

}  // namespace zovtest
