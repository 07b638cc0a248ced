#pragma once

#include <maya/MAngle.h>
#include <maya/MDistance.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MTime.h>

#include <memory>
#include <vector>

class MDGContext;
class MIntArray;
class MPlugArray;

namespace zovhost {
class AttributeImpl;
class NodeImpl;
}  // namespace zovhost

/// A plug: one attribute of one node, narrowed to an array element or a
/// compound's child where the attribute is one. Reading a plug whose value is
/// dirty evaluates it first (pulling through its incoming connection, or
/// running the node's compute); setting a plug stores the value and makes
/// everything that depends on it dirty.
class MPlug {
 public:
  MPlug() = default;
  MPlug(const MObject& node, const MObject& attribute);

  bool isNull(MStatus* status = nullptr) const;
  MObject node(MStatus* status = nullptr) const;
  MObject attribute(MStatus* status = nullptr) const;
  /// "node.attribute", with long attribute names and element indices.
  MString name(MStatus* status = nullptr) const;
  /// The attribute path without the node name (short names unless useLongNames).
  MString partialName(bool includeNodeName = false, bool includeNonMandatoryIndices = false,
                      bool includeInstancedIndices = false, bool useAlias = false, bool useFullAttributePath = false,
                      bool useLongNames = false, MStatus* status = nullptr) const;
  MString info(MStatus* status = nullptr) const { return name(status); }

  bool isArray(MStatus* status = nullptr) const;
  bool isElement(MStatus* status = nullptr) const;
  bool isCompound(MStatus* status = nullptr) const;
  bool isChild(MStatus* status = nullptr) const;
  bool isDynamic(MStatus* status = nullptr) const;
  bool isKeyable(MStatus* status = nullptr) const;
  /// True when the plug has a connection in either direction.
  bool isConnected(MStatus* status = nullptr) const;
  bool isDestination(MStatus* status = nullptr) const;
  bool isSource(MStatus* status = nullptr) const;

  /// Array plugs: the number of existing elements (set or connected).
  unsigned int numElements(MStatus* status = nullptr) const;
  unsigned int evaluateNumElements(MStatus* status = nullptr) const { return numElements(status); }
  unsigned int numConnectedElements(MStatus* status = nullptr) const;
  unsigned int numChildren(MStatus* status = nullptr) const;
  unsigned int numConnectedChildren(MStatus* status = nullptr) const;
  /// The element with a logical index, whether or not it exists yet.
  MPlug elementByLogicalIndex(unsigned int logicalIndex, MStatus* status = nullptr) const;
  /// The existing element at a position in logical-index order.
  MPlug elementByPhysicalIndex(unsigned int physicalIndex, MStatus* status = nullptr) const;
  unsigned int logicalIndex(MStatus* status = nullptr) const;
  int getExistingArrayAttributeIndices(MIntArray& indices, MStatus* status = nullptr) const;
  MPlug child(unsigned int index, MStatus* status = nullptr) const;
  MPlug child(const MObject& attribute, MStatus* status = nullptr) const;
  MPlug parent(MStatus* status = nullptr) const;
  /// The array plug of an element.
  MPlug array(MStatus* status = nullptr) const;

  /// The plugs connected to this one: its source (asDst) and its destinations
  /// in the order the connections were made (asSrc).
  bool connectedTo(MPlugArray& plugs, bool asDst, bool asSrc, MStatus* status = nullptr) const;
  MPlug source(MStatus* status = nullptr) const;
  bool destinations(MPlugArray& plugs, MStatus* status = nullptr) const;

  bool isLocked(MStatus* status = nullptr) const;
  /// A locked plug refuses new values and connections.
  MStatus setLocked(bool locked);

  MStatus getValue(bool& value) const;
  MStatus getValue(char& value) const;
  MStatus getValue(short& value) const;
  MStatus getValue(int& value) const;
  MStatus getValue(float& value) const;
  MStatus getValue(double& value) const;
  MStatus getValue(MString& value) const;
  MStatus getValue(MObject& value) const;
  MStatus getValue(MTime& value) const;
  MStatus getValue(MDistance& value) const;
  MStatus getValue(MAngle& value) const;
  MStatus setValue(bool value);
  MStatus setValue(char value);
  MStatus setValue(short value);
  MStatus setValue(int value);
  MStatus setValue(float value);
  MStatus setValue(double value);
  MStatus setValue(const MString& value);
  MStatus setValue(const char* value) { return setValue(MString(value)); }
  MStatus setValue(const MObject& value);
  MStatus setValue(const MTime& value);
  MStatus setValue(const MDistance& value);
  MStatus setValue(const MAngle& value);

  /// Values at a context's time (the current value in the normal context).
  MStatus getValue(int& value, MDGContext& context) const;
  MStatus getValue(double& value, MDGContext& context) const;
  MStatus getValue(MObject& value, MDGContext& context) const;
  int asInt(MDGContext& context, MStatus* status = nullptr) const;
  double asDouble(MDGContext& context, MStatus* status = nullptr) const;

  bool asBool(MStatus* status = nullptr) const;
  char asChar(MStatus* status = nullptr) const;
  short asShort(MStatus* status = nullptr) const;
  int asInt(MStatus* status = nullptr) const;
  float asFloat(MStatus* status = nullptr) const;
  double asDouble(MStatus* status = nullptr) const;
  MString asString(MStatus* status = nullptr) const;
  MObject asMObject(MStatus* status = nullptr) const;
  MTime asMTime(MStatus* status = nullptr) const;
  MDistance asMDistance(MStatus* status = nullptr) const;
  MAngle asMAngle(MStatus* status = nullptr) const;
  MStatus setBool(bool value) { return setValue(value); }
  MStatus setShort(short value) { return setValue(value); }
  MStatus setInt(int value) { return setValue(value); }
  MStatus setFloat(float value) { return setValue(value); }
  MStatus setDouble(double value) { return setValue(value); }
  MStatus setString(const MString& value) { return setValue(value); }
  MStatus setMObject(const MObject& value) { return setValue(value); }
  MStatus setMTime(const MTime& value) { return setValue(value); }

  /// Same node, attribute and element indices.
  bool operator==(const MPlug& other) const;
  bool operator!=(const MPlug& other) const { return !(*this == other); }
  /// True when the plug is of this attribute (any element or instance).
  bool operator==(const MObject& attribute) const;
  bool operator!=(const MObject& attribute) const { return !(*this == attribute); }

  // Host side: not part of the plug-in API.
  MPlug(std::shared_ptr<zovhost::NodeImpl> node, std::shared_ptr<zovhost::AttributeImpl> attribute,
        std::vector<int> indices);
  const std::shared_ptr<zovhost::NodeImpl>& nodeImpl() const { return m_node; }
  const std::shared_ptr<zovhost::AttributeImpl>& attributeImpl() const { return m_attribute; }
  /// One logical index per array attribute on the way from the root attribute
  /// to this one; -1 where no element is chosen.
  const std::vector<int>& indices() const { return m_indices; }

 private:
  std::shared_ptr<zovhost::NodeImpl> m_node;
  std::shared_ptr<zovhost::AttributeImpl> m_attribute;
  std::vector<int> m_indices;
};
