#include "dg/AttributeImpl.h"

#include "core/DataObjects.h"
#include "core/Numbers.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zovhost {

namespace {

/// The greatest single-precision value, widened.
constexpr double kFloatMax = static_cast<double>(std::numeric_limits<float>::max());

}  // namespace

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
      // Computed values past single precision are held at its ends, where
      // the conversion would be undefined.
      return static_cast<double>(static_cast<float>(std::clamp(value, -kFloatMax, kFloatMax)));
    default:
      return value;
  }
}

bool AttributeImpl::acceptsNumber(double value) const {
  if (!std::isfinite(value)) return false;
  if (kind == AttributeKind::Numeric && numericType == MFnNumericData::kFloat && std::fabs(value) > kFloatMax)
    return false;
  if (kind != AttributeKind::Enum || enumFields.empty()) return true;
  for (const auto& field : enumFields)
    if (value == static_cast<double>(field.second)) return true;
  return false;
}

std::pair<double, double> AttributeImpl::range() const {
  double low = -std::numeric_limits<double>::max();
  double high = std::numeric_limits<double>::max();
  const auto within = [&](auto lowest, auto highest) {
    low = static_cast<double>(lowest);
    high = static_cast<double>(highest);
  };
  if (kind == AttributeKind::Enum) within(std::numeric_limits<short>::lowest(), std::numeric_limits<short>::max());
  if (kind == AttributeKind::Numeric) switch (numericType) {
      case MFnNumericData::kByte:
        within(std::numeric_limits<unsigned char>::lowest(), std::numeric_limits<unsigned char>::max());
        break;
      case MFnNumericData::kChar:
        within(std::numeric_limits<char>::lowest(), std::numeric_limits<char>::max());
        break;
      case MFnNumericData::kShort:
        within(std::numeric_limits<short>::lowest(), std::numeric_limits<short>::max());
        break;
      case MFnNumericData::kLong:
        within(std::numeric_limits<int>::lowest(), std::numeric_limits<int>::max());
        break;
      case MFnNumericData::kInt64:
      case MFnNumericData::kAddr:
        within(std::numeric_limits<long long>::lowest(), std::numeric_limits<long long>::max());
        break;
      case MFnNumericData::kFloat:
        within(-kFloatMax, kFloatMax);
        break;
      default:
        break;
    }
  if (hasMin) low = std::max(low, minValue);
  if (hasMax) high = std::min(high, maxValue);
  return {low, high};
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
