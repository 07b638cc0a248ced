#pragma once

#include <maya/MFnData.h>
#include <maya/MFnNumericData.h>
#include <maya/MFnUnitAttribute.h>
#include <maya/MObject.h>
#include <maya/MString.h>

#include "core/Object.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace zovhost {

enum class AttributeKind { Numeric, Unit, Typed, Enum, Message, Compound };

/// One attribute: its names, kind, default, limits and flags, and its
/// children when it is a compound. Attributes are created by the attribute
/// function sets and shared by every node of the type they are added to.
class AttributeImpl : public Object, public std::enable_shared_from_this<AttributeImpl> {
 public:
  explicit AttributeImpl(AttributeKind kind) : kind(kind) {}

  MFn::Type apiType() const override;
  bool hasFn(MFn::Type type) const override;

  AttributeKind kind;
  std::string longName;
  std::string shortName;
  MFnNumericData::Type numericType = MFnNumericData::kInvalid;
  MFnUnitAttribute::Type unitType = MFnUnitAttribute::kInvalid;
  MFnData::Type dataType = MFnData::kInvalid;
  std::vector<std::pair<std::string, short>> enumFields;

  /// Default of a leaf: numbers in internal units, strings, or a data object.
  double defaultNumber = 0.0;
  MString defaultString;
  MObject defaultData;
  bool hasMin = false;
  bool hasMax = false;
  double minValue = 0.0;
  double maxValue = 0.0;

  bool readable = true;
  bool writable = true;
  bool connectable = true;
  bool storable = true;
  bool cached = true;
  bool keyable = false;
  bool hidden = false;
  bool array = false;
  bool indexMatters = true;
  bool dynamic = false;
  /// An array with one element per instance of its DAG node, kept in step
  /// with the node's paths by the host (worldMatrix, worldMesh).
  bool worldSpace = false;
  /// Set once the attribute belongs to a node type or node; compounds are then closed.
  bool added = false;

  std::vector<std::shared_ptr<AttributeImpl>> children;
  /// The compound this attribute is a child of; owned by that compound's owner.
  AttributeImpl* parent = nullptr;
  unsigned int childIndex = 0;

  bool isCompound() const { return !children.empty() || kind == AttributeKind::Compound; }
  bool isMessage() const { return kind == AttributeKind::Message; }
  /// True for a unit attribute of this unit type.
  bool isUnit(MFnUnitAttribute::Type type) const { return kind == AttributeKind::Unit && unitType == type; }
  /// True when a leaf holds a number (numeric, unit, enum).
  bool holdsNumber() const;
  bool holdsString() const { return kind == AttributeKind::Typed && dataType == MFnData::kString; }
  bool holdsData() const { return kind == AttributeKind::Typed && dataType != MFnData::kString; }

  /// The attribute and its ancestors, root first.
  std::vector<const AttributeImpl*> chain() const;
  const AttributeImpl* root() const;
  /// The number of array attributes among this one and its ancestors.
  unsigned int arrayDepth() const;
  /// True when this attribute is other or one of other's ancestors.
  bool isAncestorOrSelfOf(const AttributeImpl& other) const;
  /// This attribute or a descendant with the given long or short name.
  const AttributeImpl* findDescendant(const std::string& name) const;

  /// A value as stored: rounded to the numeric kind and clamped to the limits.
  double normalise(double value) const;
  /// Whether a number may be set: finite, within single precision for a
  /// float, and for an enum with fields one of its values.
  bool acceptsNumber(double value) const;
  /// The least and greatest value a leaf holds: its limits within its
  /// type's range; a value outside is held at the nearer end.
  std::pair<double, double> range() const;
  /// The leaf's default value (in internal units).
  double defaultValue() const { return defaultNumber; }
};

/// Attaches children to a compound (parent links and child indices).
void adoptChildren(AttributeImpl& compound);

/// The attribute behind an MObject, or null when it is not an attribute.
std::shared_ptr<AttributeImpl> attributeOf(const MObject& object);

}  // namespace zovhost
