#include <maya/MDagModifier.h>

#include "commands/ModifierOperation.h"
#include "dag/DagNode.h"
#include "dg/Graph.h"
#include "dg/NodeTypeRegistry.h"
#include "mathtypes/StatusOut.h"

using zovhost::NodeImpl;
using zovhost::nodeTypeRegistry;
using zovhost::sceneGraph;
using zovhost::setStatus;

namespace {

MObject fail(MStatus* status, MStatus code) {
  setStatus(status, code);
  return MObject();
}

}  // namespace

MObject MDagModifier::createNode(const MTypeId& typeId, const MObject& parent, MStatus* status) {
  const auto type = nodeTypeRegistry().find(typeId);
  return type ? createNode(MString(type->name), parent, status) : fail(status, MS::kInvalidParameter);
}

MObject MDagModifier::createNode(const MString& typeName, const MObject& parent, MStatus* status) {
  const auto type = nodeTypeRegistry().find(typeName.str());
  if (!type || !zovhost::fnListHas(type->fnTypes, MFn::kDagNode)) return fail(status, MS::kInvalidParameter);
  std::shared_ptr<NodeImpl> above = zovhost::nodeOf(parent);
  if (!parent.isNull() && (!above || !above->hasFn(MFn::kTransform))) return fail(status, MS::kInvalidParameter);
  MStatus result;
  const std::shared_ptr<NodeImpl> node = sceneGraph().instantiate(type, &result);
  if (!node) return fail(status, result);
  std::shared_ptr<NodeImpl> made;
  if (!above && zovhost::isShapeNode(*node)) {
    made = sceneGraph().instantiate(nodeTypeRegistry().find("transform"), &result);
    if (!made) return fail(status, result);
    made->name = sceneGraph().uniqueName(type->parentDefaultName + "1");
    addOperation(std::make_unique<zovhost::CreateNodeOperation>(made));
    above = made;
  }
  addOperation(std::make_unique<zovhost::CreateNodeOperation>(node, above));
  setStatus(status, MS::kSuccess);
  return MObject(made ? made : node);
}

MStatus MDagModifier::reparentNode(const MObject& node, const MObject& newParent) {
  const auto impl = zovhost::nodeOf(node);
  const auto parent = zovhost::nodeOf(newParent);
  if (!impl || !impl->isDag() || (!newParent.isNull() && !parent)) return MS::kInvalidParameter;
  addOperation(std::make_unique<zovhost::SetParentsOperation>(impl, std::vector<zovhost::DagLink>{{parent}}));
  return MS::kSuccess;
}
