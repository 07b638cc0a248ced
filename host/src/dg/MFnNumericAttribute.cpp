#include <maya/MFnNumericAttribute.h>

#include "core/DataObjects.h"
#include "dg/AttributeImpl.h"
#include "mathtypes/StatusOut.h"

#include <memory>

using zovhost::AttributeImpl;
using zovhost::AttributeKind;
using zovhost::attributeOf;
using zovhost::setStatus;

namespace {

std::shared_ptr<AttributeImpl> makeNumeric(const MString& fullName, const MString& briefName,
                                           MFnNumericData::Type kind) {
  auto attribute = std::make_shared<AttributeImpl>(AttributeKind::Numeric);
  attribute->longName = fullName.str();
  attribute->shortName = briefName.str();
  attribute->numericType = kind;
  return attribute;
}

/// A multi-component numeric attribute whose children take the given name suffixes.
MObject makeCompound(const MString& fullName, const MString& briefName, MFnNumericData::Type kind,
                     const char* const* suffixes, double defaultValue, MStatus* status) {
  const unsigned int count = zovhost::numericComponentCount(kind);
  if (count == 0) {
    setStatus(status, MS::kInvalidParameter);
    return MObject();
  }
  auto attribute = makeNumeric(fullName, briefName, kind);
  if (count > 1) {
    for (unsigned int i = 0; i < count; ++i) {
      auto child = makeNumeric(fullName + suffixes[i], briefName + suffixes[i], zovhost::numericComponentKind(kind));
      child->defaultNumber = child->normalise(defaultValue);
      attribute->children.push_back(child);
    }
    zovhost::adoptChildren(*attribute);
  } else {
    attribute->defaultNumber = attribute->normalise(defaultValue);
  }
  setStatus(status, MS::kSuccess);
  return MObject(attribute);
}

const char* const kIndexSuffixes[] = {"0", "1", "2", "3"};
const char* const kPointSuffixes[] = {"X", "Y", "Z"};
const char* const kColorSuffixes[] = {"R", "G", "B"};

}  // namespace

MObject MFnNumericAttribute::create(const MString& fullName, const MString& briefName, MFnNumericData::Type kind,
                                    double defaultValue, MStatus* status) {
  m_object = makeCompound(fullName, briefName, kind, kIndexSuffixes, defaultValue, status);
  return m_object;
}

MObject MFnNumericAttribute::createPoint(const MString& fullName, const MString& briefName, MStatus* status) {
  m_object = makeCompound(fullName, briefName, MFnNumericData::k3Float, kPointSuffixes, 0.0, status);
  return m_object;
}

MObject MFnNumericAttribute::createColor(const MString& fullName, const MString& briefName, MStatus* status) {
  m_object = makeCompound(fullName, briefName, MFnNumericData::k3Float, kColorSuffixes, 0.0, status);
  return m_object;
}

MObject MFnNumericAttribute::create(const MString& fullName, const MString& briefName, const MObject& child1,
                                    const MObject& child2, const MObject& child3, MStatus* status) {
  std::vector<std::shared_ptr<AttributeImpl>> children;
  for (const MObject* object : {&child1, &child2, &child3}) {
    if (object->isNull()) continue;
    const auto child = attributeOf(*object);
    // Distance and angle children make compounds such as a transform's translate and rotate.
    const bool numberKind = child && (child->kind == AttributeKind::Numeric || child->kind == AttributeKind::Unit);
    if (!numberKind || child->isCompound() || child->parent || child->added) {
      setStatus(status, MS::kInvalidParameter);
      return MObject();
    }
    children.push_back(child);
  }
  if (children.size() < 2) {
    setStatus(status, MS::kInvalidParameter);
    return MObject();
  }
  const MFnNumericData::Type componentKind =
      children.front()->kind == AttributeKind::Unit ? MFnNumericData::kDouble : children.front()->numericType;
  const bool isFloat = componentKind == MFnNumericData::kFloat;
  const bool isDouble = componentKind == MFnNumericData::kDouble;
  MFnNumericData::Type kind = MFnNumericData::kInvalid;
  if (children.size() == 2)
    kind = isFloat ? MFnNumericData::k2Float : isDouble ? MFnNumericData::k2Double : MFnNumericData::k2Int;
  else
    kind = isFloat ? MFnNumericData::k3Float : isDouble ? MFnNumericData::k3Double : MFnNumericData::k3Int;
  auto attribute = makeNumeric(fullName, briefName, kind);
  attribute->children = children;
  zovhost::adoptChildren(*attribute);
  setStatus(status, MS::kSuccess);
  m_object = MObject(attribute);
  return m_object;
}

MFnNumericData::Type MFnNumericAttribute::unitType(MStatus* status) const {
  const auto attribute = attributeOf(m_object);
  setStatus(status, attribute ? MS::kSuccess : MS::kFailure);
  return attribute ? attribute->numericType : MFnNumericData::kInvalid;
}

MObject MFnNumericAttribute::child(unsigned int index, MStatus* status) const {
  const auto attribute = attributeOf(m_object);
  const bool valid = attribute && index < attribute->children.size();
  setStatus(status, valid ? MS::kSuccess : MS::kFailure);
  return valid ? MObject(attribute->children[index]) : MObject();
}

namespace {

MStatus setDefaults(const MObject& object, std::initializer_list<double> values) {
  const auto attribute = attributeOf(object);
  if (!attribute) return MS::kFailure;
  if (attribute->children.empty()) {
    if (values.size() != 1) return MS::kInvalidParameter;
    attribute->defaultNumber = attribute->normalise(*values.begin());
    return MS::kSuccess;
  }
  if (values.size() != attribute->children.size()) return MS::kInvalidParameter;
  size_t i = 0;
  for (double value : values) {
    AttributeImpl& child = *attribute->children[i++];
    child.defaultNumber = child.normalise(value);
  }
  return MS::kSuccess;
}

MStatus setLimit(const MObject& object, std::initializer_list<double> values, bool minimum) {
  const auto attribute = attributeOf(object);
  if (!attribute) return MS::kFailure;
  std::vector<AttributeImpl*> targets;
  if (attribute->children.empty())
    targets.push_back(attribute.get());
  else
    for (const auto& child : attribute->children) targets.push_back(child.get());
  if (values.size() != targets.size()) return MS::kInvalidParameter;
  size_t i = 0;
  for (double value : values) {
    AttributeImpl& target = *targets[i++];
    (minimum ? target.hasMin : target.hasMax) = true;
    (minimum ? target.minValue : target.maxValue) = value;
  }
  return MS::kSuccess;
}

}  // namespace

MStatus MFnNumericAttribute::setDefault(bool value) { return setDefaults(m_object, {value ? 1.0 : 0.0}); }
MStatus MFnNumericAttribute::setDefault(int value) { return setDefaults(m_object, {double(value)}); }
MStatus MFnNumericAttribute::setDefault(float value) { return setDefaults(m_object, {double(value)}); }
MStatus MFnNumericAttribute::setDefault(double value) { return setDefaults(m_object, {value}); }
MStatus MFnNumericAttribute::setDefault(int a, int b) { return setDefaults(m_object, {double(a), double(b)}); }
MStatus MFnNumericAttribute::setDefault(float a, float b) { return setDefaults(m_object, {double(a), double(b)}); }
MStatus MFnNumericAttribute::setDefault(double a, double b) { return setDefaults(m_object, {a, b}); }
MStatus MFnNumericAttribute::setDefault(int a, int b, int c) {
  return setDefaults(m_object, {double(a), double(b), double(c)});
}
MStatus MFnNumericAttribute::setDefault(float a, float b, float c) {
  return setDefaults(m_object, {double(a), double(b), double(c)});
}
MStatus MFnNumericAttribute::setDefault(double a, double b, double c) { return setDefaults(m_object, {a, b, c}); }

MStatus MFnNumericAttribute::getDefault(double& value) const {
  const auto attribute = attributeOf(m_object);
  if (!attribute || !attribute->children.empty()) return MS::kFailure;
  value = attribute->defaultNumber;
  return MS::kSuccess;
}

MStatus MFnNumericAttribute::setMin(double value) { return setLimit(m_object, {value}, true); }
MStatus MFnNumericAttribute::setMax(double value) { return setLimit(m_object, {value}, false); }
MStatus MFnNumericAttribute::setMin(double a, double b, double c) { return setLimit(m_object, {a, b, c}, true); }
MStatus MFnNumericAttribute::setMax(double a, double b, double c) { return setLimit(m_object, {a, b, c}, false); }

bool MFnNumericAttribute::hasMin(MStatus* status) const {
  const auto attribute = attributeOf(m_object);
  setStatus(status, attribute ? MS::kSuccess : MS::kFailure);
  return attribute && attribute->hasMin;
}

bool MFnNumericAttribute::hasMax(MStatus* status) const {
  const auto attribute = attributeOf(m_object);
  setStatus(status, attribute ? MS::kSuccess : MS::kFailure);
  return attribute && attribute->hasMax;
}

MStatus MFnNumericAttribute::getMin(double& value) const {
  const auto attribute = attributeOf(m_object);
  if (!attribute || !attribute->hasMin) return MS::kFailure;
  value = attribute->minValue;
  return MS::kSuccess;
}

MStatus MFnNumericAttribute::getMax(double& value) const {
  const auto attribute = attributeOf(m_object);
  if (!attribute || !attribute->hasMax) return MS::kFailure;
  value = attribute->maxValue;
  return MS::kSuccess;
}

MStatus MFnNumericAttribute::setSoftMin(double) { return attributeOf(m_object) ? MS::kSuccess : MS::kFailure; }
MStatus MFnNumericAttribute::setSoftMax(double) { return attributeOf(m_object) ? MS::kSuccess : MS::kFailure; }
