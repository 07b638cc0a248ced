// The solver's frame loop: what the solver node does when its `rigidBodies`
// output is evaluated, and the bookkeeping of the bodies it steps.
#include <maya/MFnDependencyNode.h>

#include "engine/PublicWorld.h"
#include "src/rigidBodyNode.h"
#include "src/solverNode.h"

namespace {

/// Whether the body, or the fracture body it is a piece of, is static or
/// waits for its activation.
bool isWaiting(const HardBody& body) {
  if (body.isStatic()) return true;
  const HardBody* owner = body.getParent();
  return owner != nullptr && owner->isStatic();
}

}  // namespace

void zovSolverNode::stepFrame(const MPlug& plug, MDataBlock& block) {
  if (theWorld == nullptr) block.setClean(plug);
}

void zovSolverNode::sortBodies(const MPlugArray& bodies) {
  activeBodies.clear();
  idleBodies.clear();
  for (unsigned int i = 0; i < bodies.length(); ++i) {
    MFnDependencyNode fn(bodies[i].node());
    if (fn.typeId() != rigidBodyNode::id || fn.userNode() == nullptr) continue;
    auto* rigid = static_cast<rigidBodyNode*>(fn.userNode());
    if (!rigid->isLive()) continue;
    if (isWaiting(*rigid->engineBody(false)))
      idleBodies.push_back(rigid);
    else
      activeBodies.push_back(rigid);
  }
}
