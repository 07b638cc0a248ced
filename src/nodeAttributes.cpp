#include "src/nodeAttributes.h"

#include <maya/MFnAttribute.h>
#include <maya/MFnEnumAttribute.h>
#include <maya/MFnMessageAttribute.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnStringData.h>
#include <maya/MFnTypedAttribute.h>
#include <maya/MPxNode.h>

namespace {

void apply(MFnAttribute& attribute, const AttributeFlags& flags) {
  if (flags.keyableState != AttributeFlags::kDefault) attribute.setKeyable(flags.keyableState == AttributeFlags::kOn);
  if (flags.hiddenState != AttributeFlags::kDefault) attribute.setHidden(flags.hiddenState == AttributeFlags::kOn);
  if (flags.storableState != AttributeFlags::kDefault)
    attribute.setStorable(flags.storableState == AttributeFlags::kOn);
  if (flags.connectableState != AttributeFlags::kDefault)
    attribute.setConnectable(flags.connectableState == AttributeFlags::kOn);
  if (flags.arrayState != AttributeFlags::kDefault) attribute.setArray(flags.arrayState == AttributeFlags::kOn);
}

/// A new attribute of the function set `Fn` with a value type and an
/// initial value.
template <class Fn, class Type>
MObject typedValueAttribute(const char* longName, const char* shortName, Type type, double initial,
                            AttributeFlags flags) {
  Fn fn;
  const MObject attribute = fn.create(longName, shortName, type, initial);
  apply(fn, flags);
  return attribute;
}

}  // namespace

MObject numericAttribute(const char* longName, const char* shortName, MFnNumericData::Type type, double initial,
                         AttributeFlags flags) {
  return typedValueAttribute<MFnNumericAttribute>(longName, shortName, type, initial, flags);
}

MObject fractionAttribute(const char* longName, const char* shortName, double initial) {
  MFnNumericAttribute fn;
  const MObject attribute = fn.create(longName, shortName, MFnNumericData::kDouble, initial);
  apply(fn, kNotKeyable);
  fn.setMin(0.0);
  fn.setMax(1.0);
  return attribute;
}

MObject boundedAttribute(const char* longName, const char* shortName, MFnNumericData::Type type, double initial,
                         double minimum, double maximum, AttributeFlags flags) {
  MFnNumericAttribute fn;
  const MObject attribute = fn.create(longName, shortName, type, initial);
  apply(fn, flags);
  // A three-component compound holds each component between the limits.
  const bool triple = type == MFnNumericData::k3Float || type == MFnNumericData::k3Double;
  if (triple) {
    fn.setMin(minimum, minimum, minimum);
    fn.setMax(maximum, maximum, maximum);
  } else {
    fn.setMin(minimum);
    fn.setMax(maximum);
  }
  return attribute;
}

MObject pointAttribute(const char* longName, const char* shortName, AttributeFlags flags, const float initial[3]) {
  MFnNumericAttribute fn;
  const MObject attribute = fn.createPoint(longName, shortName);
  if (initial != nullptr) fn.setDefault(initial[0], initial[1], initial[2]);
  apply(fn, flags);
  return attribute;
}

MObject hiddenTwin(const char* longName, const char* shortName) {
  return numericAttribute(longName, shortName, MFnNumericData::kBoolean, 0.0, kHiddenState);
}

MObject messageAttribute(const char* longName, const char* shortName, AttributeFlags flags) {
  MFnMessageAttribute fn;
  const MObject attribute = fn.create(longName, shortName);
  apply(fn, flags);
  return attribute;
}

MObject unitAttribute(const char* longName, const char* shortName, MFnUnitAttribute::Type type, double initial,
                      AttributeFlags flags) {
  return typedValueAttribute<MFnUnitAttribute>(longName, shortName, type, initial, flags);
}

MObject stringAttribute(const char* longName, const char* shortName, const char* initial, AttributeFlags flags) {
  MFnTypedAttribute fn;
  MFnStringData text;
  const MObject attribute = fn.create(longName, shortName, MFnData::kString, text.create(initial));
  apply(fn, flags);
  return attribute;
}

MObject dataAttribute(const char* longName, const char* shortName, MFnData::Type type, AttributeFlags flags) {
  MFnTypedAttribute fn;
  const MObject attribute = fn.create(longName, shortName, type);
  apply(fn, flags);
  return attribute;
}

MObject enumAttribute(const char* longName, const char* shortName, short initial,
                      std::initializer_list<EnumField> fields, AttributeFlags flags) {
  MFnEnumAttribute fn;
  const MObject attribute = fn.create(longName, shortName, initial);
  for (const EnumField& field : fields) fn.addField(field.name, field.value);
  apply(fn, flags);
  return attribute;
}

MStatus addAttributes(std::initializer_list<NodeAttribute> table) {
  for (const NodeAttribute& row : table) row.handle = row.attribute;
  for (const NodeAttribute& row : table) {
    const MStatus status = MPxNode::addAttribute(row.handle);
    if (!status) {
      if (row.failure != nullptr) status.perror(row.failure);
      return status;
    }
  }
  for (const NodeAttribute& row : table)
    for (const MObject* input : row.inputs)
      if (const MStatus status = MPxNode::attributeAffects(*input, row.handle); !status) return status;
  return MS::kSuccess;
}
