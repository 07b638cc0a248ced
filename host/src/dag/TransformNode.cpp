#include "dag/TransformNode.h"

#include <maya/MFnEnumAttribute.h>
#include <maya/MFnMessageAttribute.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnUnitAttribute.h>
#include <maya/MPlug.h>

#include "dag/DagNode.h"
#include "dg/NodeImpl.h"
#include "dg/NodeTypeRegistry.h"

#include <algorithm>
#include <array>
#include <string>

namespace zovhost {

namespace {

// The host's own type id of the transform.
constexpr unsigned int kTransformTypeId = 0x5846524D;
constexpr unsigned int kComponents = 3;
const char* const kAxisSuffixes[kComponents] = {"X", "Y", "Z"};
const char* const kShortAxisSuffixes[kComponents] = {"x", "y", "z"};
const char* const kRotateOrderNames[] = {"xyz", "yzx", "zxy", "xzy", "yxz", "zyx"};

/// A compound of three unit attributes (distance or angle) named with X, Y, Z.
MObject unitTriple(const std::string& longName, const std::string& shortName, MFnUnitAttribute::Type unit,
                   bool keyable) {
  MFnUnitAttribute unitFn;
  MObject children[kComponents];
  for (unsigned int i = 0; i < kComponents; ++i) {
    children[i] =
        unitFn.create(MString(longName + kAxisSuffixes[i]), MString(shortName + kShortAxisSuffixes[i]), unit, 0.0);
    unitFn.setKeyable(keyable);
  }
  MFnNumericAttribute numeric;
  const MObject compound = numeric.create(MString(longName), MString(shortName), children[0], children[1], children[2]);
  numeric.setKeyable(keyable);
  return compound;
}

/// A compound of three doubles; the children's names end in childLong and childShort.
MObject doubleTriple(const std::string& longName, const std::string& shortName, const char* const childLong[3],
                     const char* const childShort[3], double initial, bool keyable) {
  MFnNumericAttribute numeric;
  MObject children[kComponents];
  for (unsigned int i = 0; i < kComponents; ++i) {
    children[i] = numeric.create(MString(longName + childLong[i]), MString(shortName + childShort[i]),
                                 MFnNumericData::kDouble, initial);
    numeric.setKeyable(keyable);
  }
  const MObject compound = numeric.create(MString(longName), MString(shortName), children[0], children[1], children[2]);
  numeric.setKeyable(keyable);
  return compound;
}

MPlug component(const std::shared_ptr<NodeImpl>& node, const MObject& attribute, unsigned int index) {
  return MPlug(MObject(node), attribute).child(index);
}

MVector readTriple(const std::shared_ptr<NodeImpl>& node, const MObject& attribute) {
  MVector value;
  for (unsigned int i = 0; i < kComponents; ++i) value[i] = component(node, attribute, i).asDouble();
  return value;
}

/// One plug and the value it is to take.
struct PlugWrite {
  MPlug plug;
  double value;
};

void collectTriple(const std::shared_ptr<NodeImpl>& node, const MObject& attribute, const MVector& value,
                   std::vector<PlugWrite>& writes) {
  for (unsigned int i = 0; i < kComponents; ++i) {
    const MPlug plug = component(node, attribute, i);
    if (plug.asDouble() != plug.attributeImpl()->normalise(value[i])) writes.push_back({plug, value[i]});
  }
}

}  // namespace

MObject TransformNode::translate;
MObject TransformNode::rotate;
MObject TransformNode::rotateOrder;
MObject TransformNode::scale;
MObject TransformNode::shear;
MObject TransformNode::rotatePivot;
MObject TransformNode::rotatePivotTranslate;
MObject TransformNode::scalePivot;
MObject TransformNode::scalePivotTranslate;
MObject TransformNode::rotateAxis;
MObject TransformNode::inheritsTransform;
MObject TransformNode::specifiedManipLocation;

MStatus TransformNode::initialize() {
  static const char* const shearLong[] = {"XY", "XZ", "YZ"};
  static const char* const shearShort[] = {"xy", "xz", "yz"};
  translate = unitTriple("translate", "t", MFnUnitAttribute::kDistance, true);
  rotate = unitTriple("rotate", "r", MFnUnitAttribute::kAngle, true);
  MFnEnumAttribute enumeration;
  rotateOrder = enumeration.create("rotateOrder", "ro", 0);
  for (short i = 0; i < 6; ++i) enumeration.addField(kRotateOrderNames[i], i);
  scale = doubleTriple("scale", "s", kAxisSuffixes, kShortAxisSuffixes, 1.0, true);
  shear = doubleTriple("shear", "sh", shearLong, shearShort, 0.0, false);
  rotatePivot = unitTriple("rotatePivot", "rp", MFnUnitAttribute::kDistance, false);
  rotatePivotTranslate = unitTriple("rotatePivotTranslate", "rpt", MFnUnitAttribute::kDistance, false);
  scalePivot = unitTriple("scalePivot", "sp", MFnUnitAttribute::kDistance, false);
  scalePivotTranslate = unitTriple("scalePivotTranslate", "spt", MFnUnitAttribute::kDistance, false);
  rotateAxis = unitTriple("rotateAxis", "ra", MFnUnitAttribute::kAngle, false);
  MFnNumericAttribute numeric;
  inheritsTransform = numeric.create("inheritsTransform", "it", MFnNumericData::kBoolean, 1.0);

  const MObject parts[] = {
      translate,           rotate,    rotateOrder, scale, shear, rotatePivot, rotatePivotTranslate, scalePivot,
      scalePivotTranslate, rotateAxis};
  for (const MObject& part : parts) addAttribute(part);
  addAttribute(inheritsTransform);
  specifiedManipLocation = MFnMessageAttribute().create("specifiedManipLocation", "sml");
  addAttribute(specifiedManipLocation);
  for (const MObject& part : parts)
    for (const MObject* affected :
         {&DagNode::matrix, &DagNode::inverseMatrix, &DagNode::worldMatrix, &DagNode::worldInverseMatrix})
      attributeAffects(part, *affected);
  attributeAffects(inheritsTransform, DagNode::worldMatrix);
  attributeAffects(inheritsTransform, DagNode::worldInverseMatrix);
  return MS::kSuccess;
}

void TransformNode::inheritInto(NodeType& type) {
  const std::shared_ptr<NodeType> base = nodeTypeRegistry().find("transform");
  if (!base || base.get() == &type) return;
  for (const auto& attribute : base->attributes)
    if (std::find(type.attributes.begin(), type.attributes.end(), attribute) == type.attributes.end())
      type.attributes.push_back(attribute);
  for (const auto& [from, targets] : base->affects) {
    auto& affected = type.affects[from];
    for (const AttributeImpl* to : targets)
      if (std::find(affected.begin(), affected.end(), to) == affected.end()) affected.push_back(to);
  }
  for (const AttributeImpl* output : base->outputs)
    if (std::find(type.outputs.begin(), type.outputs.end(), output) == type.outputs.end())
      type.outputs.push_back(output);
}

TransformNode* TransformNode::of(const std::shared_ptr<NodeImpl>& node) {
  return node ? dynamic_cast<TransformNode*>(node->user.get()) : nullptr;
}

MTransformationMatrix TransformNode::transformation(const std::shared_ptr<NodeImpl>& node) {
  MTransformationMatrix result;
  const MVector angles = readTriple(node, rotate);
  const auto order = static_cast<MEulerRotation::RotationOrder>(MPlug(MObject(node), rotateOrder).asInt());
  result.rotateTo(MEulerRotation(angles, order));
  const MVector axis = readTriple(node, rotateAxis);
  result.setRotationOrientation(MEulerRotation(axis).asQuaternion());
  double values[kComponents];
  readTriple(node, scale).get(values);
  result.setScale(values, MSpace::kTransform);
  readTriple(node, shear).get(values);
  result.setShear(values, MSpace::kTransform);
  result.setScalePivot(MPoint(readTriple(node, scalePivot)), MSpace::kTransform, false);
  result.setScalePivotTranslation(readTriple(node, scalePivotTranslate), MSpace::kTransform);
  result.setRotatePivot(MPoint(readTriple(node, rotatePivot)), MSpace::kTransform, false);
  result.setRotatePivotTranslation(readTriple(node, rotatePivotTranslate), MSpace::kTransform);
  result.setTranslation(readTriple(node, translate), MSpace::kTransform);
  return result;
}

MStatus TransformNode::setTransformation(const std::shared_ptr<NodeImpl>& node, const MTransformationMatrix& value) {
  if (!of(node)) return MS::kInvalidParameter;
  std::vector<PlugWrite> writes;
  collectTriple(node, translate, value.getTranslation(MSpace::kTransform), writes);
  const MEulerRotation euler = value.eulerRotation();
  collectTriple(node, rotate, euler.asVector(), writes);
  const MPlug orderPlug(MObject(node), rotateOrder);
  if (orderPlug.asInt() != static_cast<int>(euler.order)) writes.push_back({orderPlug, double(euler.order)});
  double values[kComponents];
  value.getScale(values, MSpace::kTransform);
  collectTriple(node, scale, MVector(values), writes);
  value.getShear(values, MSpace::kTransform);
  collectTriple(node, shear, MVector(values), writes);
  collectTriple(node, rotatePivot, MVector(value.rotatePivot(MSpace::kTransform)), writes);
  collectTriple(node, rotatePivotTranslate, value.rotatePivotTranslation(MSpace::kTransform), writes);
  collectTriple(node, scalePivot, MVector(value.scalePivot(MSpace::kTransform)), writes);
  collectTriple(node, scalePivotTranslate, value.scalePivotTranslation(MSpace::kTransform), writes);
  const MEulerRotation axis = MEulerRotation::decompose(value.rotationOrientation().asMatrix(), MEulerRotation::kXYZ);
  collectTriple(node, rotateAxis, axis.asVector(), writes);
  for (const PlugWrite& write : writes)
    if (write.plug.isLocked() || write.plug.isDestination()) return MS::kFailure;
  for (PlugWrite& write : writes) {
    const MStatus status = write.plug.setValue(write.value);
    if (!status) return status;
  }
  return MS::kSuccess;
}

void registerTransformNodeType(NodeTypeRegistry& registry) {
  registry.registerBuiltin("transform", MTypeId(kTransformTypeId), &TransformNode::creator, &TransformNode::initialize,
                           MFn::kTransform, {MFn::kTransform, MFn::kDagNode, MFn::kDependencyNode}, {"dagNode"});
}

}  // namespace zovhost
