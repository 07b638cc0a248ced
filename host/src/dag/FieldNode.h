#pragma once

#include <maya/MDoubleArray.h>
#include <maya/MVector.h>
#include <maya/MVectorArray.h>

#include "dag/TransformNode.h"

#include <memory>

namespace zovhost {

class NodeImpl;
class NodeTypeRegistry;

/// The host's dynamics fields ("uniformField", function-set type kUniform,
/// and "gravityField", kGravity; both also kField): transforms whose
/// attributes give a magnitude ("magnitude"), a direction ("direction",
/// with "directionX" ...) and an optional reach ("maxDistance", used when
/// "useMaxDistance" is on). Each type has attributes of its own, found by
/// name.
class FieldNode : public TransformNode {
 public:
  static void* creator() { return new FieldNode; }
  static MStatus initializeUniform();
  static MStatus initializeGravity();

  /// The forces on samples (world points, velocities, masses), one per
  /// point: magnitude along the unit direction, times the mass for a
  /// gravity field; zero beyond the reach when it is used, and for a zero
  /// direction.
  static void forces(const std::shared_ptr<NodeImpl>& field, const MVectorArray& points, const MDoubleArray& masses,
                     MVectorArray& result);
};

/// Registers "uniformField" and "gravityField" with the host's own types
/// (after "transform").
void registerFieldNodeTypes(NodeTypeRegistry& registry);

}  // namespace zovhost
