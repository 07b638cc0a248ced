// The unit, typed, enum, message and compound attribute function sets.
#include <maya/MFnCompoundAttribute.h>
#include <maya/MFnEnumAttribute.h>
#include <maya/MFnMessageAttribute.h>
#include <maya/MFnTypedAttribute.h>
#include <maya/MFnUnitAttribute.h>

#include "core/DataObjects.h"
#include "dg/AttributeImpl.h"
#include "mathtypes/StatusOut.h"

#include <algorithm>
#include <memory>

using zovhost::AttributeImpl;
using zovhost::AttributeKind;
using zovhost::attributeOf;
using zovhost::setStatus;

namespace {

std::shared_ptr<AttributeImpl> makeAttribute(AttributeKind kind, const MString& fullName, const MString& briefName) {
  auto attribute = std::make_shared<AttributeImpl>(kind);
  attribute->longName = fullName.str();
  attribute->shortName = briefName.str();
  return attribute;
}

template <typename FunctionSet>
void attach(FunctionSet& set, const MObject& attribute, MStatus* status) {
  const MStatus result = set.setObject(attribute);
  setStatus(status, result);
}

void ok(MStatus* status) { setStatus(status, MS::kSuccess); }

/// The least or (`greatest`) the greatest value among an enum attribute's
/// fields; kFailure without fields.
MStatus enumFieldBound(const MObject& object, bool greatest, short& value) {
  const auto attribute = attributeOf(object);
  if (!attribute || attribute->enumFields.empty()) return MS::kFailure;
  const auto [least, most] = std::minmax_element(attribute->enumFields.begin(), attribute->enumFields.end(),
                                                 [](const auto& a, const auto& b) { return a.second < b.second; });
  value = (greatest ? most : least)->second;
  return MS::kSuccess;
}

/// A unit default in internal units: ticks for time, centimetres, radians.
double internalUnitValue(MFnUnitAttribute::Type type, double value) {
  return type == MFnUnitAttribute::kTime ? value * MTime::ticksPerUnit(MTime::uiUnit()) : value;
}

}  // namespace

// ---------------------------------------------------------------------------
// MFnUnitAttribute

MObject MFnUnitAttribute::create(const MString& fullName, const MString& briefName, Type unitType, double defaultValue,
                                 MStatus* status) {
  if (unitType != kAngle && unitType != kDistance && unitType != kTime) {
    setStatus(status, MS::kInvalidParameter);
    return MObject();
  }
  auto attribute = makeAttribute(AttributeKind::Unit, fullName, briefName);
  attribute->unitType = unitType;
  attribute->defaultNumber = internalUnitValue(unitType, defaultValue);
  ok(status);
  m_object = MObject(attribute);
  return m_object;
}

MObject MFnUnitAttribute::create(const MString& fullName, const MString& briefName, const MTime& defaultValue,
                                 MStatus* status) {
  return create(fullName, briefName, kTime, defaultValue.as(MTime::uiUnit()), status);
}

MObject MFnUnitAttribute::create(const MString& fullName, const MString& briefName, const MDistance& defaultValue,
                                 MStatus* status) {
  return create(fullName, briefName, kDistance, defaultValue.asCentimeters(), status);
}

MObject MFnUnitAttribute::create(const MString& fullName, const MString& briefName, const MAngle& defaultValue,
                                 MStatus* status) {
  return create(fullName, briefName, kAngle, defaultValue.asRadians(), status);
}

MFnUnitAttribute::Type MFnUnitAttribute::unitType(MStatus* status) const {
  const auto attribute = attributeOf(m_object);
  setStatus(status, attribute ? MS::kSuccess : MS::kFailure);
  return attribute ? attribute->unitType : kInvalid;
}

MStatus MFnUnitAttribute::setDefault(double value) {
  const auto attribute = attributeOf(m_object);
  if (!attribute) return MS::kFailure;
  attribute->defaultNumber = internalUnitValue(attribute->unitType, value);
  return MS::kSuccess;
}

MStatus MFnUnitAttribute::setDefault(const MTime& value) { return setDefault(value.as(MTime::uiUnit())); }
MStatus MFnUnitAttribute::setDefault(const MDistance& value) { return setDefault(value.asCentimeters()); }
MStatus MFnUnitAttribute::setDefault(const MAngle& value) { return setDefault(value.asRadians()); }

MStatus MFnUnitAttribute::setMin(double value) {
  const auto attribute = attributeOf(m_object);
  if (!attribute) return MS::kFailure;
  attribute->hasMin = true;
  attribute->minValue = internalUnitValue(attribute->unitType, value);
  return MS::kSuccess;
}

MStatus MFnUnitAttribute::setMax(double value) {
  const auto attribute = attributeOf(m_object);
  if (!attribute) return MS::kFailure;
  attribute->hasMax = true;
  attribute->maxValue = internalUnitValue(attribute->unitType, value);
  return MS::kSuccess;
}

// ---------------------------------------------------------------------------
// MFnTypedAttribute

MObject MFnTypedAttribute::create(const MString& fullName, const MString& briefName, MFnData::Type dataType,
                                  const MObject& defaultData, MStatus* status) {
  auto attribute = makeAttribute(AttributeKind::Typed, fullName, briefName);
  attribute->dataType = dataType;
  m_object = MObject(attribute);
  const MStatus result = defaultData.isNull() ? MStatus(MS::kSuccess) : setDefault(defaultData);
  setStatus(status, result);
  return m_object;
}

MFnData::Type MFnTypedAttribute::attrType(MStatus* status) const {
  const auto attribute = attributeOf(m_object);
  setStatus(status, attribute ? MS::kSuccess : MS::kFailure);
  return attribute ? attribute->dataType : MFnData::kInvalid;
}

MStatus MFnTypedAttribute::setDefault(const MObject& defaultData) {
  const auto attribute = attributeOf(m_object);
  if (!attribute) return MS::kFailure;
  if (attribute->dataType == MFnData::kString) {
    const auto text = std::dynamic_pointer_cast<zovhost::StringData>(defaultData.object());
    if (!text) return MS::kInvalidParameter;
    attribute->defaultString = text->text;
    return MS::kSuccess;
  }
  attribute->defaultData = defaultData;
  return MS::kSuccess;
}

// ---------------------------------------------------------------------------
// MFnEnumAttribute

MObject MFnEnumAttribute::create(const MString& fullName, const MString& briefName, short defaultValue,
                                 MStatus* status) {
  auto attribute = makeAttribute(AttributeKind::Enum, fullName, briefName);
  attribute->defaultNumber = defaultValue;
  ok(status);
  m_object = MObject(attribute);
  return m_object;
}

MStatus MFnEnumAttribute::addField(const MString& fieldName, short value) {
  const auto attribute = attributeOf(m_object);
  if (!attribute || fieldName.length() == 0) return MS::kFailure;
  for (const auto& [name, existing] : attribute->enumFields)
    if (name == fieldName.str() || existing == value) return MS::kInvalidParameter;
  attribute->enumFields.emplace_back(fieldName.str(), value);
  return MS::kSuccess;
}

MString MFnEnumAttribute::fieldName(short value, MStatus* status) const {
  const auto attribute = attributeOf(m_object);
  if (attribute)
    for (const auto& [name, existing] : attribute->enumFields)
      if (existing == value) {
        ok(status);
        return MString(name);
      }
  setStatus(status, MS::kInvalidParameter);
  return MString();
}

short MFnEnumAttribute::fieldIndex(const MString& fieldName, MStatus* status) const {
  const auto attribute = attributeOf(m_object);
  if (attribute)
    for (const auto& [name, value] : attribute->enumFields)
      if (name == fieldName.str()) {
        ok(status);
        return value;
      }
  setStatus(status, MS::kInvalidParameter);
  return 0;
}

MStatus MFnEnumAttribute::setDefault(short value) {
  const auto attribute = attributeOf(m_object);
  if (!attribute) return MS::kFailure;
  attribute->defaultNumber = value;
  return MS::kSuccess;
}

MStatus MFnEnumAttribute::setDefault(const MString& fieldName) {
  MStatus status;
  const short value = fieldIndex(fieldName, &status);
  return status ? setDefault(value) : status;
}

MStatus MFnEnumAttribute::getMin(short& value) const { return enumFieldBound(m_object, false, value); }

MStatus MFnEnumAttribute::getMax(short& value) const { return enumFieldBound(m_object, true, value); }

// ---------------------------------------------------------------------------
// MFnMessageAttribute

MObject MFnMessageAttribute::create(const MString& fullName, const MString& briefName, MStatus* status) {
  ok(status);
  m_object = MObject(makeAttribute(AttributeKind::Message, fullName, briefName));
  return m_object;
}

// ---------------------------------------------------------------------------
// MFnCompoundAttribute

MObject MFnCompoundAttribute::create(const MString& fullName, const MString& briefName, MStatus* status) {
  ok(status);
  m_object = MObject(makeAttribute(AttributeKind::Compound, fullName, briefName));
  return m_object;
}

MStatus MFnCompoundAttribute::addChild(const MObject& child) {
  const auto compound = attributeOf(m_object);
  const auto attribute = attributeOf(child);
  if (!compound || !attribute || compound->added || attribute->added || attribute->parent) return MS::kFailure;
  compound->children.push_back(attribute);
  zovhost::adoptChildren(*compound);
  return MS::kSuccess;
}

unsigned int MFnCompoundAttribute::numChildren(MStatus* status) const {
  const auto compound = attributeOf(m_object);
  setStatus(status, compound ? MS::kSuccess : MS::kFailure);
  return compound ? static_cast<unsigned int>(compound->children.size()) : 0;
}

MObject MFnCompoundAttribute::child(unsigned int index, MStatus* status) const {
  const auto compound = attributeOf(m_object);
  const bool valid = compound && index < compound->children.size();
  setStatus(status, valid ? MS::kSuccess : MS::kFailure);
  return valid ? MObject(compound->children[index]) : MObject();
}
