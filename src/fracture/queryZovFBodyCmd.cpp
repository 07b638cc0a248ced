#include "src/fracture/queryZovFBodyCmd.h"

#include <maya/MDagPath.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MStringArray.h>

#include <vector>

#include "src/commandArguments.h"
#include "src/commandSelection.h"
#include "src/fracture/clusterFractureNode.h"
#include "src/fracture/fractureBodyNode.h"
#include "src/nodeLinks.h"
#include "src/simulation/rigidBodyNode.h"

namespace {

constexpr CommandFlag kTransformNodesFlag{"-gtn", "-getTransformNodes"};
constexpr CommandFlag kIsAnimFlag{"-ani", "-isAnim"};
const char* const kNotFractureBody = "not fracture body selected";

void appendTransforms(const std::vector<rigidBodyNode*>& pieces, MStringArray& names) {
  for (rigidBodyNode* piece : pieces) {
    MDagPath transform;
    if (parentTransformPath(piece->thisMObject(), transform) && transform.node().hasFn(MFn::kTransform))
      names.append(MFnDependencyNode(transform.node()).name());
  }
}

}  // namespace

MSyntax queryZovFBodyCmd::newSyntax() { return commandSyntax({kTransformNodesFlag, kIsAnimFlag}, kSelectedObjects); }

MStatus queryZovFBodyCmd::redoIt() {
  const MSelectionList selection = arguments.objects();
  if (!requireObjects(selection, kNotFractureBody)) return MS::kFailure;
  const bool isAnim = arguments.isSet(kIsAnimFlag);
  if (!isAnim && !arguments.isSet(kTransformNodesFlag)) return MS::kSuccess;
  const FractureBodyNode* fracture = firstSelectedNode<FractureBodyNode>(selection);
  if (fracture == nullptr) return failWithError(kNotFractureBody);
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
