#include "dag/PlainShapes.h"

#include "dag/DagNode.h"
#include "dg/NodeTypeRegistry.h"

namespace zovhost {

namespace {

// The host's own type ids.
constexpr unsigned int kNurbsSurfaceTypeId = 0x4E535246;
constexpr unsigned int kRigidBodyTypeId = 0x52424459;

class SurfaceNode : public HostShape {
 public:
  static void* creator() { return new SurfaceNode; }
  static MStatus initialize() { return MS::kSuccess; }
  MBoundingBox objectBoundingBox() const override {
    return MBoundingBox(MPoint(-0.5, 0.0, -0.5), MPoint(0.5, 0.0, 0.5));
  }
};

class RigidBodyShape : public HostShape {
 public:
  static void* creator() { return new RigidBodyShape; }
  static MStatus initialize() { return MS::kSuccess; }
  MBoundingBox objectBoundingBox() const override { return MBoundingBox(); }
};

}  // namespace

void registerPlainShapeTypes(NodeTypeRegistry& registry) {
  auto surface = registry.registerBuiltin(
      "nurbsSurface", MTypeId(kNurbsSurfaceTypeId), &SurfaceNode::creator, &SurfaceNode::initialize, MFn::kNurbsSurface,
      {MFn::kNurbsSurface, MFn::kGeometric, MFn::kShape, MFn::kDagNode, MFn::kDependencyNode},
      {"dagNode", "shape", "geometryShape", "surfaceShape"});
  surface->defaultName = "surfaceShape";
  surface->parentDefaultName = "surface";
  auto rigid = registry.registerBuiltin(
      "rigidBody", MTypeId(kRigidBodyTypeId), &RigidBodyShape::creator, &RigidBodyShape::initialize, MFn::kRigidBody,
      {MFn::kRigidBody, MFn::kShape, MFn::kDagNode, MFn::kDependencyNode}, {"dagNode", "shape"});
  rigid->defaultName = "rigidBody";
  rigid->parentDefaultName = "rigidBodyTransform";
}

}  // namespace zovhost
