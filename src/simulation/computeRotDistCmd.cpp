#include "src/simulation/computeRotDistCmd.h"

#include <maya/MEulerRotation.h>

#include "src/commandArguments.h"

namespace {

/// The first rotation's x, y, z, then the second's.
constexpr CommandFlag kRotationFlags[] = {{"-rx", "-rotX", MSyntax::kDouble},   {"-ry", "-rotY", MSyntax::kDouble},
                                          {"-rz", "-rotZ", MSyntax::kDouble},   {"-rx2", "-rotX2", MSyntax::kDouble},
                                          {"-ry2", "-rotY2", MSyntax::kDouble}, {"-rz2", "-rotZ2", MSyntax::kDouble}};
constexpr CommandFlag kToleranceFlag{"-tol", "-tolerance", MSyntax::kDouble};

}  // namespace

MSyntax ComputeRotDistCmd::newSyntax() {
  const CommandFlag* const r = kRotationFlags;
  return commandSyntax({r[0], r[1], r[2], r[3], r[4], r[5], kToleranceFlag});
}

// Unread values would count as 0 and could answer true for rotations that
// differ: a failed parse is the answer, before this runs.
MStatus ComputeRotDistCmd::redoIt() {
  double values[6] = {};
  for (int k = 0; k < 6; ++k) arguments.read(kRotationFlags[k], values[k]);
  double tolerance = 0.0;
  // A negative tolerance would call no two rotations the same.
  if (!arguments.readInRange(kToleranceFlag, {0.0, kNoUpperBound}, tolerance)) return MS::kFailure;
  const MEulerRotation first(values[0], values[1], values[2], MEulerRotation::kXYZ);
  const MEulerRotation second(values[3], values[4], values[5], MEulerRotation::kXYZ);
  setResult(first.isEquivalent(second, tolerance));
  return MS::kSuccess;
}
