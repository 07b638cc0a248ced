#include <maya/MDGContext.h>
#include <maya/MDataBlock.h>
#include <maya/MPlugArray.h>
#include <maya/MPxNode.h>

#include "dg/NodeImpl.h"
#include "dg/NodeTypeRegistry.h"
#include "mathtypes/StatusOut.h"

#include <algorithm>

using zovhost::AttributeImpl;
using zovhost::NodeType;
using zovhost::nodeTypeRegistry;
using zovhost::setStatus;

MDGContext MDGContext::fsNormal;
MObject MPxNode::state;

MPxNode::MPxNode() = default;
MPxNode::~MPxNode() = default;

void MPxNode::postConstructor() {}

MStatus MPxNode::compute(const MPlug&, MDataBlock&) { return MS::kUnknownParameter; }

MStatus MPxNode::setDependentsDirty(const MPlug&, MPlugArray&) { return MS::kSuccess; }

bool MPxNode::getInternalValueInContext(const MPlug&, MDataHandle&, MDGContext&) { return false; }

bool MPxNode::setInternalValueInContext(const MPlug&, const MDataHandle&, MDGContext&) { return false; }

MTypeId MPxNode::typeId() const { return m_node ? m_node->type->id : MTypeId(); }
MString MPxNode::typeName() const { return m_node ? MString(m_node->type->name) : MString(); }
MString MPxNode::name() const { return m_node ? MString(m_node->name) : MString(); }
// Null for a node already on its way out of memory (see NodeImpl::~NodeImpl).
MObject MPxNode::thisMObject() const { return m_node ? MObject(m_node->weak_from_this().lock()) : MObject(); }

void MPxNode::setExistWithoutInConnections(bool flag) { m_existWithoutIn = flag; }
bool MPxNode::existWithoutInConnections(MStatus* status) const {
  setStatus(status, MS::kSuccess);
  return m_existWithoutIn;
}
void MPxNode::setExistWithoutOutConnections(bool flag) { m_existWithoutOut = flag; }
bool MPxNode::existWithoutOutConnections(MStatus* status) const {
  setStatus(status, MS::kSuccess);
  return m_existWithoutOut;
}

namespace {

bool typeOwns(const NodeType& type, const AttributeImpl& attribute) {
  const AttributeImpl* root = attribute.root();
  return std::any_of(type.attributes.begin(), type.attributes.end(), [root](const auto& a) { return a.get() == root; });
}

bool nameTaken(const NodeType& type, const AttributeImpl& attribute) {
  for (const auto& existing : type.attributes)
    for (const std::string* name : {&attribute.longName, &attribute.shortName})
      if (existing->findDescendant(*name)) return true;
  return false;
}

void markAdded(AttributeImpl& attribute) {
  attribute.added = true;
  for (const auto& child : attribute.children) markAdded(*child);
}

}  // namespace

MStatus MPxNode::addAttribute(const MObject& attribute) {
  NodeType* type = nodeTypeRegistry().initializing();
  const auto impl = zovhost::attributeOf(attribute);
  if (!type || !impl) return MS::kFailure;
  // A child comes with its compound.
  if (impl->parent) return typeOwns(*type, *impl) ? MS::kSuccess : MS::kFailure;
  if (impl->added || nameTaken(*type, *impl)) return MS::kFailure;
  for (const auto& child : impl->children)
    if (nameTaken(*type, *child)) return MS::kFailure;
  markAdded(*impl);
  type->attributes.push_back(impl);
  return MS::kSuccess;
}

MStatus MPxNode::attributeAffects(const MObject& whenChanges, const MObject& isAffected) {
  NodeType* type = nodeTypeRegistry().initializing();
  const auto from = zovhost::attributeOf(whenChanges);
  const auto to = zovhost::attributeOf(isAffected);
  if (!type || !from || !to || !typeOwns(*type, *from) || !typeOwns(*type, *to)) return MS::kFailure;
  auto& affected = type->affects[from.get()];
  if (std::find(affected.begin(), affected.end(), to.get()) == affected.end()) affected.push_back(to.get());
  if (std::find(type->outputs.begin(), type->outputs.end(), to.get()) == type->outputs.end())
    type->outputs.push_back(to.get());
  return MS::kSuccess;
}
