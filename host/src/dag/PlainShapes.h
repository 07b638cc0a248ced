#pragma once

namespace zovhost {

class NodeTypeRegistry;

/// Registers the host's shapes that hold nothing the plug-ins read:
///   "nurbsSurface" (function-set type kNurbsSurface, a geometry shape): a
///     NURBS surface, here a unit square in its own x-z plane;
///   "rigidBody" (kRigidBody): the host's own rigid body, a shape under the
///     transform it simulates.
void registerPlainShapeTypes(NodeTypeRegistry& registry);

}  // namespace zovhost
