// Creating nodes through MFnDependencyNode: a DAG node goes under the world,
// a shape under a transform made for it.
#include <maya/MFnDependencyNode.h>

#include "dag/DagNode.h"
#include "dg/Graph.h"
#include "dg/NodeTypeRegistry.h"
#include "mathtypes/StatusOut.h"

using zovhost::NodeImpl;
using zovhost::nodeTypeRegistry;
using zovhost::sceneGraph;
using zovhost::setStatus;

namespace {

MObject createNode(const std::shared_ptr<zovhost::NodeType>& type, const MString& name, MStatus* status) {
  if (!type || type->kind == MPxNode::kManipContainer) {
    setStatus(status, MS::kInvalidParameter);
    return MObject();
  }
  if (zovhost::fnListHas(type->fnTypes, MFn::kDagNode))
    return MObject(zovhost::createDagNode(type, nullptr, name.str(), nullptr, status));
  MStatus result;
  const std::shared_ptr<NodeImpl> node = sceneGraph().instantiate(type, &result);
  if (!node) {
    setStatus(status, result);
    return MObject();
  }
  if (name.length() > 0) {
    if (!zovhost::Graph::isValidName(name.str())) {
      setStatus(status, MS::kInvalidParameter);
      return MObject();
    }
    node->name = name.str();
  }
  result = sceneGraph().add(node);
  setStatus(status, result);
  return result ? MObject(node) : MObject();
}

}  // namespace

MObject MFnDependencyNode::create(const MTypeId& typeId, MStatus* status) { return create(typeId, MString(), status); }

MObject MFnDependencyNode::create(const MTypeId& typeId, const MString& name, MStatus* status) {
  m_object = createNode(nodeTypeRegistry().find(typeId), name, status);
  return m_object;
}

MObject MFnDependencyNode::create(const MString& typeName, MStatus* status) {
  return create(typeName, MString(), status);
}

MObject MFnDependencyNode::create(const MString& typeName, const MString& name, MStatus* status) {
  m_object = createNode(nodeTypeRegistry().find(typeName.str()), name, status);
  return m_object;
}
