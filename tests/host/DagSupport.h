#pragma once

#include <maya/MDagPath.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnMatrixData.h>
#include <maya/MGlobal.h>
#include <maya/MIntArray.h>
#include <maya/MMatrix.h>
#include <maya/MSelectionList.h>
#include <maya/MStringArray.h>

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "support/HostLookups.h"
#include "support/reference/EigenReference.h"

/// Helpers of the DAG, transform and mesh tests: names to nodes and paths,
/// command lines, and reference matrices in the host's row-vector convention.
namespace dagtest {

/// An int array of the values.
inline MIntArray ints(std::initializer_list<int> values) {
  MIntArray result;
  for (int value : values) result.append(value);
  return result;
}

inline MObject node(const std::string& name) { return zovtest::nodeNamed(name); }

inline MDagPath path(const std::string& name) { return zovtest::pathNamed(name); }

inline MPlug plug(const std::string& nodeName, const std::string& attribute) {
  return MFnDependencyNode(node(nodeName)).findPlug(attribute.c_str());
}

/// Runs a line that must succeed and answers its strings.
inline std::vector<std::string> run(const std::string& line) {
  MStringArray result;
  EXPECT_TRUE(MGlobal::executeCommand(line.c_str(), result)) << line;
  std::vector<std::string> strings;
  for (unsigned int i = 0; i < result.length(); ++i) strings.push_back(result[i].asChar());
  return strings;
}

/// Whether a line fails.
inline bool lineFails(const std::string& line) { return !MGlobal::executeCommand(line.c_str()); }

/// Runs a line as a user would, on the undo queue, so that "undo" takes it
/// back; it must succeed.
inline void runUndoable(const std::string& line) {
  EXPECT_TRUE(MGlobal::executeCommand(line.c_str(), false, true)) << line;
}

inline std::vector<double> runNumbers(const std::string& line) {
  MDoubleArray result;
  EXPECT_TRUE(MGlobal::executeCommand(line.c_str(), result)) << line;
  std::vector<double> numbers;
  for (unsigned int i = 0; i < result.length(); ++i) numbers.push_back(result[i]);
  return numbers;
}

inline MMatrix matrixOf(const MPlug& matrixPlug) { return MFnMatrixData(matrixPlug.asMObject()).matrix(); }

using Matrix4 = zovref::Mat4;
using Vector3 = zovref::Vec3;

inline Matrix4 toRef(const MMatrix& m) {
  Matrix4 e;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) e(r, c) = m(static_cast<unsigned int>(r), static_cast<unsigned int>(c));
  return e;
}

inline double maxDifference(const MMatrix& m, const Matrix4& e) { return zovref::maxAbs(toRef(m) - e); }

/// A translation for row vectors (the translation in the last row).
inline Matrix4 translation(const Vector3& t) {
  Matrix4 m = Matrix4::identity();
  for (int c = 0; c < 3; ++c) m(3, c) = t[c];
  return m;
}

/// A rotation about an axis for row vectors: the transpose of the column-vector rotation.
inline Matrix4 rotation(const Vector3& axis, double angle) {
  const zovref::Mat3 r = zovref::transpose(zovref::axisAngleMatrix(angle, zovref::normalized(axis)));
  Matrix4 m = Matrix4::identity();
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) m(i, j) = r(i, j);
  return m;
}

/// Scale and shear together for row vectors: the scales on the diagonal, the
/// shears xy, xz and yz below it, each row multiplied by its scale.
inline Matrix4 scaleShear(const Vector3& scale, const Vector3& shear) {
  Matrix4 m = Matrix4::identity();
  m(0, 0) = scale.x();
  m(1, 0) = scale.y() * shear.x();
  m(1, 1) = scale.y();
  m(2, 0) = scale.z() * shear.y();
  m(2, 1) = scale.z() * shear.z();
  m(2, 2) = scale.z();
  return m;
}

/// Rotations about x, y and z applied in a rotate order (0 xyz, 1 yzx, 2 zxy,
/// 3 xzy, 4 yxz, 5 zyx: the first letter's axis turns first).
inline Matrix4 eulerRotation(const Vector3& angles, int order) {
  static const int kAxes[6][3] = {{0, 1, 2}, {1, 2, 0}, {2, 0, 1}, {0, 2, 1}, {1, 0, 2}, {2, 1, 0}};
  Matrix4 m = Matrix4::identity();
  for (int axis : kAxes[order]) m = m * rotation(Vector3::unit(axis), angles[axis]);
  return m;
}

}  // namespace dagtest
