#include "src/simulation/computeRotDistCmd.h"
#include "src/userInput.h"

#include <maya/MArgDatabase.h>
#include <maya/MEulerRotation.h>

namespace {

struct RotationFlag {
  const char* shortName;
  const char* longName;
};
/// The first rotation's x, y, z, the second's, then the tolerance.
const RotationFlag kFlags[] = {{"-rx", "-rotX"},   {"-ry", "-rotY"},   {"-rz", "-rotZ"},      {"-rx2", "-rotX2"},
                               {"-ry2", "-rotY2"}, {"-rz2", "-rotZ2"}, {"-tol", "-tolerance"}};

}  // namespace

void* ComputeRotDistCmd::creator() { return new ComputeRotDistCmd; }

MSyntax ComputeRotDistCmd::newSyntax() {
  MSyntax syntax;
  for (const RotationFlag& flag : kFlags) syntax.addFlag(flag.shortName, flag.longName, MSyntax::kDouble);
  syntax.enableQuery(false);
  syntax.enableEdit(false);
  return syntax;
}

MStatus ComputeRotDistCmd::doIt(const MArgList& arguments) {
  MStatus status;
  const MArgDatabase parsed(syntax(), arguments, &status);
  // Unread values would count as 0 and could answer true for rotations
  // that differ: a failed parse is the answer.
  if (!status) return status;
  double values[7] = {};
  for (int k = 0; k < 6; ++k)
    if (parsed.isFlagSet(kFlags[k].shortName)) parsed.getFlagArgument(kFlags[k].shortName, 0, values[k]);
  // A negative tolerance would call no two rotations the same.
  if (!readFlagInRange(parsed, kFlags[6].shortName, {"dComputeRotDist", kFlags[6].longName, 0.0, kNoUpperBound},
                       values[6]))
    return MS::kFailure;
  const MEulerRotation first(values[0], values[1], values[2], MEulerRotation::kXYZ);
  const MEulerRotation second(values[3], values[4], values[5], MEulerRotation::kXYZ);
  setResult(first.isEquivalent(second, values[6]));
  return MS::kSuccess;
}
