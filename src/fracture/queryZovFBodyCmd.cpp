#include "src/fracture/queryZovFBodyCmd.h"

#include <maya/MDagPath.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MStringArray.h>

#include <vector>

#include "src/fracture/clusterFractureNode.h"
#include "src/fracture/fractureBodyNode.h"
#include "src/nodeLinks.h"
#include "src/simulation/rigidBodyNode.h"

namespace {

const char* const kTransformNodesFlag = "-gtn";
const char* const kIsAnimFlag = "-ani";
const char* const kNotFractureBody = "not fracture body selected";

void appendTransforms(const std::vector<rigidBodyNode*>& pieces, MStringArray& names) {
  for (rigidBodyNode* piece : pieces) {
    MDagPath transform;
    if (parentTransformPath(piece->thisMObject(), transform) && transform.node().hasFn(MFn::kTransform))
      names.append(MFnDependencyNode(transform.node()).name());
  }
}

}  // namespace

void* queryZovFBodyCmd::creator() { return new queryZovFBodyCmd; }

MSyntax queryZovFBodyCmd::newSyntax() {
  MSyntax syntax;
  syntax.addFlag(kTransformNodesFlag, "-getTransformNodes");
  syntax.addFlag(kIsAnimFlag, "-isAnim");
  syntax.setObjectType(MSyntax::kSelectionList);
  syntax.useSelectionAsDefault(true);
  syntax.enableQuery(false);
  syntax.enableEdit(false);
  return syntax;
}

MStatus queryZovFBodyCmd::doIt(const MArgList& arguments) {
  MStatus status;
  auto parsed = std::make_unique<MArgDatabase>(syntax(), arguments, &status);
  if (!status) return status;
  parsedArguments = std::move(parsed);
  selection.clear();
  parsedArguments->getObjects(selection);
  if (selection.length() == 0) {
    MGlobal::displayError(kNotFractureBody);
    return MS::kFailure;
  }
  const bool isAnim = parsedArguments->isFlagSet(kIsAnimFlag);
  if (!isAnim && !parsedArguments->isFlagSet(kTransformNodesFlag)) return MS::kSuccess;
  MObject first;
  selection.getDependNode(0, first);
  const FractureBodyNode* fracture = userNodeOf<FractureBodyNode>(first);
  if (fracture == nullptr) {
    MGlobal::displayError(kNotFractureBody);
    return MS::kFailure;
  }
  if (isAnim) {
    setResult(fracture->hasAnimatedParentNode());
    return MS::kSuccess;
  }
  MStringArray names;
  appendTransforms(fracture->pieceNodes(), names);
  for (const clusterFractureNode* cluster : fracture->clusterNodes()) appendTransforms(cluster->pieceNodes(), names);
  setResult(names);
  return MS::kSuccess;
}
