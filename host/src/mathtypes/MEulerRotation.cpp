#include <maya/MEulerRotation.h>
#include <maya/MQuaternion.h>

#include "mathtypes/MatrixParts.h"

#include <algorithm>
#include <cmath>

namespace {

// Below this cosine of the middle angle the first and last axes line up.
constexpr double kGimbalCosine = 1.0e-12;

struct AxisOrder {
  unsigned int first;
  unsigned int second;
  unsigned int third;
  /// +1 when the axes run cyclically (x y z, y z x, z x y), else -1.
  double parity;
};

AxisOrder axesOf(MEulerRotation::RotationOrder order) {
  switch (order) {
    case MEulerRotation::kYZX:
      return {1, 2, 0, 1.0};
    case MEulerRotation::kZXY:
      return {2, 0, 1, 1.0};
    case MEulerRotation::kXZY:
      return {0, 2, 1, -1.0};
    case MEulerRotation::kYXZ:
      return {1, 0, 2, -1.0};
    case MEulerRotation::kZYX:
      return {2, 1, 0, -1.0};
    default:
      return {0, 1, 2, 1.0};
  }
}

/// The rotation about one axis (row-vector convention).
MMatrix axisRotation(unsigned int axis, double angle) {
  const double c = std::cos(angle);
  const double s = std::sin(angle);
  const unsigned int a = (axis + 1) % 3;
  const unsigned int b = (axis + 2) % 3;
  MMatrix m;
  m[a][a] = c;
  m[a][b] = s;
  m[b][a] = -s;
  m[b][b] = c;
  return m;
}

}  // namespace

const MEulerRotation MEulerRotation::identity;

MMatrix MEulerRotation::asMatrix() const {
  const AxisOrder axes = axesOf(order);
  return axisRotation(axes.first, (*this)[axes.first]) * axisRotation(axes.second, (*this)[axes.second]) *
         axisRotation(axes.third, (*this)[axes.third]);
}

MQuaternion MEulerRotation::asQuaternion() const {
  MQuaternion result;
  return result = asMatrix();
}

MEulerRotation& MEulerRotation::setValue(double newX, double newY, double newZ, RotationOrder newOrder) {
  x = newX;
  y = newY;
  z = newZ;
  order = newOrder;
  return *this;
}

MEulerRotation MEulerRotation::reorder(RotationOrder newOrder) const { return decompose(asMatrix(), newOrder); }

MEulerRotation MEulerRotation::operator+(const MEulerRotation& other) const {
  return MEulerRotation(x + other.x, y + other.y, z + other.z, order);
}

MEulerRotation MEulerRotation::operator-(const MEulerRotation& other) const {
  return MEulerRotation(x - other.x, y - other.y, z - other.z, order);
}

bool MEulerRotation::operator==(const MEulerRotation& other) const {
  return x == other.x && y == other.y && z == other.z && order == other.order;
}

bool MEulerRotation::isEquivalent(const MEulerRotation& other, double tolerance) const {
  const MMatrix a = asMatrix(), b = other.asMatrix();
  for (unsigned int i = 0; i < 3; ++i)
    for (unsigned int j = 0; j < 3; ++j)
      if (!(std::fabs(a[i][j] - b[i][j]) <= tolerance)) return false;
  return true;
}

MEulerRotation MEulerRotation::decompose(const MMatrix& matrix, RotationOrder order) {
  const MMatrix m = zovhost::rotationPart(matrix);
  const AxisOrder axes = axesOf(order);
  const unsigned int a = axes.first;
  const unsigned int b = axes.second;
  const unsigned int c = axes.third;
  const double e = axes.parity;
  // With C the column-vector form (the transpose), C = Rc * Rb * Ra; C[i][j] is m[j][i].
  const auto C = [&m](unsigned int i, unsigned int j) { return m[j][i]; };
  double angles[3] = {0.0, 0.0, 0.0};
  angles[b] = std::asin(std::clamp(-e * C(c, a), -1.0, 1.0));
  if (std::cos(angles[b]) > kGimbalCosine) {
    angles[a] = std::atan2(e * C(c, b), C(c, c));
    angles[c] = std::atan2(e * C(b, a), C(a, a));
  } else {
    // The first and last axes coincide: the whole turn about them goes to the first.
    angles[a] = std::atan2(-e * C(b, c), C(b, b));
    angles[c] = 0.0;
  }
  return MEulerRotation(angles[0], angles[1], angles[2], order);
}
