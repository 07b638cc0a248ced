// The scene's force fields on the solver's bodies: the bodies are sampled
// (position, velocity, mass), each field is asked for its forces on all of
// them at once, and the forces go into the bodies' external force
// accumulators.
#include <maya/MFnField.h>
#include <maya/MItDag.h>

#include <cmath>
#include <vector>

#include "engine/bodies/PrivateHardBody.h"
#include "engine/fracture/FractureBody.h"
#include "src/hostEngineConversions.h"
#include "src/nodeLinks.h"
#include "src/simulation/frameParticipant.h"
#include "src/simulation/rigidBodyNode.h"
#include "src/simulation/solverNode.h"

namespace {

/// Whether a body can be pushed: static or waiting bodies, and bodies whose
/// inverse mass is 0 (infinitely heavy), take no force; their samples would
/// be infinite.
bool takesFieldForce(const HardBody& body) {
  return !body.isStatic() && body.getInvMass() > 0.0 && std::isfinite(body.getInvMass());
}

void appendSample(const HardBody& body, MVectorArray& positions, MVectorArray& velocities, MDoubleArray& masses) {
  positions.append(toHost(body.getDyn().position));
  velocities.append(toHost(body.getDyn().linearVelocity));
  masses.append(body.getMass());
}

/// Runs `sample` on every field of the scene, depth first.
template <typename Sample>
void forEachField(Sample sample) {
  for (MItDag it(MItDag::kDepthFirst, MFn::kField); !it.isDone(); it.next()) {
    MFnField field(it.currentItem());
    sample(field);
  }
}

}  // namespace

void zovSolverNode::applyFields(const MPlugArray& bodies, const MPlugArray& fractures, int, float dt) {
  std::vector<HardBody*> gathered;
  MVectorArray positions, velocities, forces;
  MDoubleArray masses;
  for (rigidBodyNode* rigid : userNodesOf<rigidBodyNode>(bodies)) {
    HardBody* body = rigid->engineBody(false);
    if (rigid->isFracturePieceNode() || body == nullptr || !rigid->affectsForceFields() || !takesFieldForce(*body))
      continue;
    body->clearExternalForces();
    appendSample(*body, positions, velocities, masses);
    gathered.push_back(body);
  }
  forEachField([&](MFnField& field) {
    if (!field.getForceAtPoint(positions, velocities, masses, forces, static_cast<double>(dt))) return;
    for (size_t k = 0; k < gathered.size() && k < forces.length(); ++k)
      gathered[k]->applyExternalForce(toEngine(forces[static_cast<unsigned int>(k)]));
  });

  // Each fracture body on its own: the body as one while whole, its loose
  // pieces and fragments once split.
  for (FrameParticipant* fracture : frameParticipantsOf(fractures)) {
    FractureBody* body = fracture->getFractureBody();
    if (body == nullptr || !fracture->affectsForceFields()) continue;
    body->clearExternalForces();
    positions.clear();
    velocities.clear();
    masses.clear();
    forces.clear();
    collectFieldSamples(*body, positions, velocities, masses);
    forces.setLength(masses.length());
    forEachField([&](MFnField& field) {
      if (!field.getForceAtPoint(positions, velocities, masses, forces, static_cast<double>(dt))) return;
      unsigned int index = 0;
      applyFieldForces(*body, forces, index);
    });
  }
}

void zovSolverNode::collectFieldSamples(FractureBody& body, MVectorArray& positions, MVectorArray& velocities,
                                        MDoubleArray& masses) {
  if (body.isActive() && takesFieldForce(body)) appendSample(body, positions, velocities, masses);
  for (auto* node = body.getPieces().getFirst(); node != nullptr; node = node->next)
    if (takesFieldForce(*node->value)) appendSample(*node->value, positions, velocities, masses);
  for (auto* node = body.getChildBodies().getFirst(); node != nullptr; node = node->next)
    if (node->value->getType() == kFractureBody)
      collectFieldSamples(*static_cast<FractureBody*>(node->value), positions, velocities, masses);
}

void zovSolverNode::applyFieldForces(FractureBody& body, const MVectorArray& forces, unsigned int& index) {
  const auto force = [&forces](unsigned int k) { return toEngine(forces[k]); };
  if (body.isActive() && takesFieldForce(body) && index < forces.length()) body.addExternalForce(force(index++));
  for (auto* node = body.getPieces().getFirst(); node != nullptr; node = node->next)
    if (takesFieldForce(*node->value) && index < forces.length()) node->value->applyExternalForce(force(index++));
  for (auto* node = body.getChildBodies().getFirst(); node != nullptr; node = node->next)
    if (node->value->getType() == kFractureBody)
      applyFieldForces(*static_cast<FractureBody*>(node->value), forces, index);
}
