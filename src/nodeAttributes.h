#pragma once

#include <maya/MFnData.h>
#include <maya/MFnNumericData.h>
#include <maya/MFnUnitAttribute.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>

#include <initializer_list>
#include <limits>
#include <vector>

// The attribute makers of the module's node types. A node type's initialize
// makes its attributes in one table (one row per attribute, in creation
// order) and hands the table to addAttributes, which keeps each attribute in
// its static handle and adds it to the type:
//
//   return addAttributes({
//       {size, numericAttribute("size", "sz", MFnNumericData::kDouble, 1.0, kNotKeyable)},
//       {ca_size, hiddenTwin("ca_size", "caz"), {&size}},
//   });
//
// A row may name the attributes its attribute is computed from (the twin
// above from `size`); addAttributes declares those dependencies once every
// attribute is added.

/// The flags a maker sets on the attribute it makes; a flag not named keeps
/// what the host gives a new attribute of that kind.
struct AttributeFlags {
  /// The state of one flag.
  enum State : signed char { kDefault = -1, kOff = 0, kOn = 1 };

  State keyableState = kDefault;
  State hiddenState = kDefault;
  State storableState = kDefault;
  State connectableState = kDefault;
  State arrayState = kDefault;

  constexpr AttributeFlags keyable(bool on) const { return with(&AttributeFlags::keyableState, on); }
  constexpr AttributeFlags hidden(bool on) const { return with(&AttributeFlags::hiddenState, on); }
  constexpr AttributeFlags storable(bool on) const { return with(&AttributeFlags::storableState, on); }
  constexpr AttributeFlags connectable(bool on) const { return with(&AttributeFlags::connectableState, on); }
  constexpr AttributeFlags array(bool on) const { return with(&AttributeFlags::arrayState, on); }

 private:
  constexpr AttributeFlags with(State AttributeFlags::*flag, bool on) const {
    AttributeFlags copy = *this;
    copy.*flag = on ? kOn : kOff;
    return copy;
  }
};

/// Settings the user may not key.
constexpr AttributeFlags kNotKeyable = AttributeFlags().keyable(false);
/// Values the node keeps for itself: not keyable, hidden, not connectable;
/// stored with the scene.
constexpr AttributeFlags kHiddenSetting = AttributeFlags().keyable(false).hidden(true).connectable(false);
/// Values that live only while the scene is open: as kHiddenSetting, and not
/// stored.
constexpr AttributeFlags kHiddenState = kHiddenSetting.storable(false);

/// The greatest finite double: the upper limit of a setting bounded below only.
constexpr double kNoUpperLimit = std::numeric_limits<double>::max();
/// The least positive and the greatest single-precision value, widened: the
/// limits of a setting the engine keeps as a positive float.
constexpr double kLeastPositiveFloat = static_cast<double>(std::numeric_limits<float>::min());
constexpr double kGreatestFloat = static_cast<double>(std::numeric_limits<float>::max());

/// A numeric attribute of one kind (a single number or a 2- or 3-component
/// compound, each component starting at `initial`).
MObject numericAttribute(const char* longName, const char* shortName, MFnNumericData::Type type, double initial,
                         AttributeFlags flags = {});
/// A double in [0, 1], not keyable.
MObject fractionAttribute(const char* longName, const char* shortName, double initial);
/// A number of one kind (or each component of a three-component compound)
/// held between hard limits.
MObject boundedAttribute(const char* longName, const char* shortName, MFnNumericData::Type type, double initial,
                         double minimum, double maximum, AttributeFlags flags = {});
/// Three floats with children named longName + "X", "Y", "Z", starting at
/// `initial`.
MObject pointAttribute(const char* longName, const char* shortName, AttributeFlags flags = {},
                       const float initial[3] = nullptr);
/// A hidden twin: a boolean output whose compute pushes one group of settings
/// into the engine; not keyable, hidden, not storable, not connectable.
MObject hiddenTwin(const char* longName, const char* shortName);
/// A message attribute: a link between nodes that carries no value.
MObject messageAttribute(const char* longName, const char* shortName, AttributeFlags flags = {});
/// A time, distance or angle, `initial` in internal units.
MObject unitAttribute(const char* longName, const char* shortName, MFnUnitAttribute::Type type, double initial,
                      AttributeFlags flags = {});
/// A string starting as `initial`.
MObject stringAttribute(const char* longName, const char* shortName, const char* initial, AttributeFlags flags = {});
/// Data of another kind (a mesh, say), without a default.
MObject dataAttribute(const char* longName, const char* shortName, MFnData::Type type, AttributeFlags flags = {});

/// One field of an enum attribute.
struct EnumField {
  const char* name;
  short value;
};

/// An enum attribute with its fields, starting at `initial`.
MObject enumAttribute(const char* longName, const char* shortName, short initial,
                      std::initializer_list<EnumField> fields, AttributeFlags flags = {});

/// One row of a node type's attribute table: the static handle the
/// attribute is kept in, the attribute made for it, the attributes it is
/// computed from (none for a setting) and the line printed when it cannot be
/// added.
struct NodeAttribute {
  NodeAttribute(MObject& handle, MObject attribute, const char* failure = nullptr)
      : handle(handle), attribute(attribute), failure(failure) {}
  NodeAttribute(MObject& handle, MObject attribute, std::initializer_list<const MObject*> inputs,
                const char* failure = nullptr)
      : handle(handle), attribute(attribute), failure(failure), inputs(inputs) {}

  MObject& handle;
  MObject attribute;
  /// Printed with the host's status when the attribute cannot be added; null
  /// prints nothing.
  const char* failure = nullptr;
  /// A change to any of these dirties the attribute (declared in this order).
  std::vector<const MObject*> inputs;
};

/// Keeps each attribute in its handle and adds it to the node type being
/// initialised, in the table's order; the first failure ends it, printing
/// its row's failure line, and is answered. Once all are added, declares
/// each row's inputs as affecting its attribute, row by row; the first
/// declaration the host refuses ends it and is answered.
MStatus addAttributes(std::initializer_list<NodeAttribute> table);
