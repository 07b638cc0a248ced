#pragma once

#include <maya/MObject.h>
#include <maya/MPxNode.h>

namespace zovhost {

class NodeTypeRegistry;
struct PrimitiveKind;

/// The nodes that make the host's primitive meshes: "polyCube", "polyPlane",
/// "polyCylinder" and "polySphere". Their size (centimetres), subdivision and
/// axis attributes make a mesh on "output", which feeds a mesh shape's
/// inMesh, so that changing them changes the shape.
class PolyPrimitiveNode : public MPxNode {
 public:
  explicit PolyPrimitiveNode(const PrimitiveKind& kind) : m_kind(kind) {}
  MStatus compute(const MPlug& plug, MDataBlock& block) override;

 private:
  const PrimitiveKind& m_kind;
};

/// Registers the four primitive node types with the host's own types.
void registerPolyPrimitiveNodeTypes(NodeTypeRegistry& registry);

}  // namespace zovhost
