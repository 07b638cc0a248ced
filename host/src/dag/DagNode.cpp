#include "dag/DagNode.h"

#include <maya/MFnMatrixData.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnTypedAttribute.h>

#include "core/DataObjects.h"
#include "dag/TransformNode.h"
#include "dg/Graph.h"
#include "dg/NodeTypeRegistry.h"
#include "mathtypes/StatusOut.h"

#include <algorithm>

using zovhost::setStatus;

namespace zovhost {

MObject DagNode::visibility;
MObject DagNode::intermediateObject;
MObject DagNode::matrix;
MObject DagNode::inverseMatrix;
MObject DagNode::worldMatrix;
MObject DagNode::worldInverseMatrix;
MObject DagNode::parentMatrix;
MObject DagNode::parentInverseMatrix;

namespace {

/// The DAG node's attributes in order, and what each affects.
struct DagNodeBase {
  std::vector<std::shared_ptr<AttributeImpl>> attributes;
  std::vector<std::pair<const AttributeImpl*, const AttributeImpl*>> affects;
};

DagNodeBase& base() {
  static DagNodeBase instance;
  return instance;
}

MObject matrixAttribute(const char* longName, const char* shortName, bool perInstance) {
  MFnTypedAttribute typed;
  const MObject attribute = typed.create(longName, shortName, MFnData::kMatrix);
  typed.setWritable(false);
  typed.setStorable(false);
  if (perInstance) {
    typed.setArray(true);
    attributeOf(attribute)->worldSpace = true;
  }
  return attribute;
}

bool isInstanceMatrix(const MPlug& plug) {
  return plug == DagNode::worldMatrix || plug == DagNode::worldInverseMatrix || plug == DagNode::parentMatrix ||
         plug == DagNode::parentInverseMatrix;
}

/// The world matrix of the parent on one of a node's paths (the identity at the top).
MMatrix parentWorldMatrix(const NodeImpl& node, unsigned int instance) {
  const Dag& dag = sceneGraph().dag();
  const std::vector<DagNodePath> paths = dag.paths(node);
  if (instance >= paths.size() || paths[instance].size() < 2) return MMatrix();
  DagNodePath above = paths[instance];
  above.pop_back();
  const int parentInstance = dag.instanceNumber(above);
  return DagNode::worldMatrixOf(above.back()->shared_from_this(), static_cast<unsigned int>(parentInstance));
}

bool inheritsTransform(const std::shared_ptr<NodeImpl>& node) {
  return !node->hasFn(MFn::kTransform) || MPlug(MObject(node), TransformNode::inheritsTransform).asBool();
}

/// Makes the elements of a world-space array match the node's instances; an
/// element beyond them stays while something is connected to it.
void syncInstanceElements(NodeImpl& node, const AttributeImpl& attribute, unsigned int count) {
  Slot* array = node.slot(attribute, {-1}, false);
  if (!array) return;
  for (unsigned int i = 0; i < count; ++i) node.slot(attribute, {static_cast<int>(i)}, true);
  const auto self = node.shared_from_this();
  for (auto it = array->elements.begin(); it != array->elements.end();) {
    const MPlug element(self, const_cast<AttributeImpl&>(attribute).shared_from_this(), {static_cast<int>(it->first)});
    if (it->first >= count && !element.isConnected())
      it = array->elements.erase(it);
    else
      ++it;
  }
}

}  // namespace

void DagNode::createAttributes() {
  DagNodeBase& b = base();
  if (!b.attributes.empty()) return;
  MFnNumericAttribute numeric;
  visibility = numeric.create("visibility", "v", MFnNumericData::kBoolean, 1.0);
  numeric.setKeyable(true);
  intermediateObject = numeric.create("intermediateObject", "io", MFnNumericData::kBoolean, 0.0);
  matrix = matrixAttribute("matrix", "m", false);
  inverseMatrix = matrixAttribute("inverseMatrix", "im", false);
  worldMatrix = matrixAttribute("worldMatrix", "wm", true);
  worldInverseMatrix = matrixAttribute("worldInverseMatrix", "wim", true);
  parentMatrix = matrixAttribute("parentMatrix", "pm", true);
  parentInverseMatrix = matrixAttribute("parentInverseMatrix", "pim", true);
  for (const MObject* attribute : {&visibility, &intermediateObject, &matrix, &inverseMatrix, &worldMatrix,
                                   &worldInverseMatrix, &parentMatrix, &parentInverseMatrix}) {
    const auto impl = attributeOf(*attribute);
    impl->added = true;
    b.attributes.push_back(impl);
  }
  for (const MObject* affected : {&worldMatrix, &worldInverseMatrix, &parentInverseMatrix})
    b.affects.emplace_back(attributeOf(parentMatrix).get(), attributeOf(*affected).get());
}

void DagNode::inherit(NodeType& type) {
  createAttributes();
  const DagNodeBase& b = base();
  type.attributes.insert(type.attributes.begin(), b.attributes.begin(), b.attributes.end());
  for (const auto& [from, to] : b.affects) {
    auto& affected = type.affects[from];
    if (std::find(affected.begin(), affected.end(), to) == affected.end()) affected.push_back(to);
    if (std::find(type.outputs.begin(), type.outputs.end(), to) == type.outputs.end()) type.outputs.push_back(to);
  }
  if (!type.matchesTypeName("dagNode")) {
    const auto afterDependNode = std::find(type.typeNames.begin(), type.typeNames.end(), "dependNode");
    type.typeNames.insert(afterDependNode == type.typeNames.end() ? type.typeNames.begin() : afterDependNode + 1,
                          "dagNode");
  }
  type.hostCompute = &DagNode::compute;
  type.hierarchyChanged = &dagHierarchyChanged;
  type.hierarchyDependents = &dagHierarchyDependents;
}

MMatrix DagNode::localMatrix(const std::shared_ptr<NodeImpl>& node) {
  return node->hasFn(MFn::kTransform) ? TransformNode::transformation(node).asMatrix() : MMatrix();
}

MMatrix DagNode::worldMatrixOf(const std::shared_ptr<NodeImpl>& node, unsigned int instance) {
  return matrixValue(MPlug(node, attributeOf(worldMatrix), {static_cast<int>(instance)}));
}

MStatus DagNode::compute(const MPlug& plug, MDataBlock& block) {
  const std::shared_ptr<NodeImpl>& node = plug.nodeImpl();
  MMatrix value;
  if (plug == matrix) {
    value = localMatrix(node);
  } else if (plug == inverseMatrix) {
    value = localMatrix(node).inverse();
  } else if (isInstanceMatrix(plug)) {
    // The array as a whole holds nothing of its own; each element is computed when read.
    if (!plug.isElement()) return MS::kUnknownParameter;
    const MMatrix parent = parentWorldMatrix(*node, plug.logicalIndex());
    if (plug == parentMatrix || plug == parentInverseMatrix) {
      value = plug == parentMatrix ? parent : parent.inverse();
    } else {
      const MMatrix own = matrixValue(MPlug(MObject(node), matrix));
      const MMatrix world = inheritsTransform(node) ? own * parent : own;
      value = plug == worldMatrix ? world : world.inverse();
    }
  } else {
    return MS::kUnknownParameter;
  }
  block.outputValue(plug).set(value);
  block.setClean(plug);
  return MS::kSuccess;
}

bool isShapeNode(const NodeImpl& node) { return node.isDag() && !node.hasFn(MFn::kTransform); }

std::shared_ptr<NodeImpl> createDagNode(const std::shared_ptr<NodeType>& type, const std::shared_ptr<NodeImpl>& parent,
                                        const std::string& name, std::shared_ptr<NodeImpl>* madeParent,
                                        MStatus* status) {
  const auto fail = [status](MStatus code) {
    setStatus(status, code);
    return nullptr;
  };
  if (!type || !fnListHas(type->fnTypes, MFn::kDagNode)) return fail(MS::kInvalidParameter);
  if (!name.empty() && !Graph::isValidName(name)) return fail(MS::kInvalidParameter);
  if (parent && (!parent->inGraph || !parent->hasFn(MFn::kTransform))) return fail(MS::kInvalidParameter);
  Graph& graph = sceneGraph();
  MStatus result;
  const std::shared_ptr<NodeImpl> node = graph.instantiate(type, &result);
  if (!node) return fail(result);
  node->name = name;
  std::shared_ptr<NodeImpl> above = parent;
  if (!above && isShapeNode(*node)) {
    above = graph.instantiate(nodeTypeRegistry().find("transform"), &result);
    if (!above) return fail(result);
    above->name = graph.uniqueName(type->parentDefaultName + "1");
    if (!(result = graph.add(above))) return fail(result);
  }
  result = graph.add(node, above);
  if (!result) {
    if (above && above != parent) graph.remove(above, nullptr, true);
    return fail(result);
  }
  if (madeParent) *madeParent = above != parent ? above : nullptr;
  setStatus(status, MS::kSuccess);
  return node;
}

MDagPath dagPathNamed(const std::string& name) {
  const auto node = sceneGraph().find(name);
  if (!node || !node->isDag()) return MDagPath();
  const bool absolute = !name.empty() && name[0] == '|';
  const std::string wanted = absolute ? name : "|" + name;
  for (const DagNodePath& path : sceneGraph().dag().paths(*node)) {
    const std::string full = Dag::fullPathName(path);
    if (full.size() >= wanted.size() && full.compare(full.size() - wanted.size(), wanted.size(), wanted) == 0 &&
        (!absolute || full == wanted)) {
      std::vector<std::shared_ptr<NodeImpl>> nodes;
      for (NodeImpl* member : path) nodes.push_back(member->shared_from_this());
      return MDagPath(std::move(nodes));
    }
  }
  return MDagPath();
}

void dagHierarchyChanged(Graph& graph, NodeImpl& node) {
  for (NodeImpl* member : graph.dag().subtree(node)) {
    const auto count = static_cast<unsigned int>(graph.dag().paths(*member).size());
    for (const auto& attribute : member->type->attributes)
      if (attribute->worldSpace) syncInstanceElements(*member, *attribute, count);
    graph.dirty(MPlug(member->shared_from_this(), attributeOf(DagNode::parentMatrix), {-1}));
  }
}

void dagHierarchyDependents(const MPlug& changed, std::vector<MPlug>& dependents) {
  if (changed != DagNode::worldMatrix) return;
  for (NodeImpl* child : changed.nodeImpl()->dagChildren)
    dependents.emplace_back(child->shared_from_this(), attributeOf(DagNode::parentMatrix), std::vector<int>{-1});
}

MMatrix matrixValue(const MPlug& plug) {
  const auto data = std::dynamic_pointer_cast<MatrixData>(plug.asMObject().object());
  return data ? data->matrix : MMatrix();
}

}  // namespace zovhost
