#include "dg/AttributeImpl.h"

#include "core/DataObjects.h"
#include "core/Numbers.h"

#include <cmath>

namespace zovhost {

MFn::Type AttributeImpl::apiType() const {
  switch (kind) {
    case AttributeKind::Numeric:
      return MFn::kNumericAttribute;
    case AttributeKind::Unit:
      return MFn::kUnitAttribute;
    case AttributeKind::Typed:
      return MFn::kTypedAttribute;
    case AttributeKind::Enum:
      return MFn::kEnumAttribute;
    case AttributeKind::Message:
      return MFn::kMessageAttribute;
    case AttributeKind::Compound:
      return MFn::kCompoundAttribute;
  }
  return MFn::kAttribute;
}

bool AttributeImpl::hasFn(MFn::Type type) const {
  return type == apiType() || type == MFn::kAttribute || type == MFn::kBase;
}

bool AttributeImpl::holdsNumber() const {
  if (!children.empty()) return false;
  return kind == AttributeKind::Numeric || kind == AttributeKind::Unit || kind == AttributeKind::Enum;
}

std::vector<const AttributeImpl*> AttributeImpl::chain() const {
  std::vector<const AttributeImpl*> result;
  for (const AttributeImpl* a = this; a; a = a->parent) result.insert(result.begin(), a);
  return result;
}

const AttributeImpl* AttributeImpl::root() const {
  const AttributeImpl* a = this;
  while (a->parent) a = a->parent;
  return a;
}

unsigned int AttributeImpl::arrayDepth() const {
  unsigned int depth = 0;
  for (const AttributeImpl* a = this; a; a = a->parent)
    if (a->array) ++depth;
  return depth;
}

bool AttributeImpl::isAncestorOrSelfOf(const AttributeImpl& other) const {
  for (const AttributeImpl* a = &other; a; a = a->parent)
    if (a == this) return true;
  return false;
}

const AttributeImpl* AttributeImpl::findDescendant(const std::string& name) const {
  if (longName == name || shortName == name) return this;
  for (const auto& child : children)
    if (const AttributeImpl* found = child->findDescendant(name)) return found;
  return nullptr;
}

double AttributeImpl::normalise(double value) const {
  if (hasMin && value < minValue) value = minValue;
  if (hasMax && value > maxValue) value = maxValue;
  // Whole numbers are held within the range of their type.
  if (kind == AttributeKind::Enum) return toInteger<short>(value);
  if (kind != AttributeKind::Numeric) return value;
  switch (numericType) {
    case MFnNumericData::kBoolean:
      return value != 0.0 ? 1.0 : 0.0;
    case MFnNumericData::kByte:
      return toInteger<unsigned char>(value);
    case MFnNumericData::kChar:
      return toInteger<char>(value);
    case MFnNumericData::kShort:
      return toInteger<short>(value);
    case MFnNumericData::kLong:
      return toInteger<int>(value);
    case MFnNumericData::kInt64:
    case MFnNumericData::kAddr:
      return static_cast<double>(toInteger<long long>(value));
    case MFnNumericData::kFloat:
      return static_cast<double>(static_cast<float>(value));
    default:
      return value;
  }
}

bool AttributeImpl::acceptsNumber(double value) const {
  if (!std::isfinite(value)) return false;
  if (kind != AttributeKind::Enum || enumFields.empty()) return true;
  for (const auto& field : enumFields)
    if (value == static_cast<double>(field.second)) return true;
  return false;
}

void adoptChildren(AttributeImpl& compound) {
  for (unsigned int i = 0; i < compound.children.size(); ++i) {
    compound.children[i]->parent = &compound;
    compound.children[i]->childIndex = i;
  }
}

std::shared_ptr<AttributeImpl> attributeOf(const MObject& object) {
  return std::dynamic_pointer_cast<AttributeImpl>(object.object());
}

}  // namespace zovhost
