// Plug values: reading evaluates the plug first; writing stores the value and
// spreads dirtiness. Numbers are exchanged in the host's internal units
// (centimetres, radians), except time, which plugs give in the user-interface
// unit.
#include <maya/MFnNumericData.h>
#include <maya/MPlug.h>

#include "core/DataObjects.h"
#include "core/Numbers.h"
#include "dg/Graph.h"
#include "mathtypes/StatusOut.h"

#include <cmath>
#include <type_traits>

using zovhost::AttributeImpl;
using zovhost::AttributeKind;
using zovhost::sceneGraph;
using zovhost::setStatus;
using zovhost::Slot;

namespace {

double uiTicks() { return MTime::ticksPerUnit(MTime::uiUnit()); }

/// Evaluates the plug and gives its slot (defaults when it does not exist).
const Slot* readSlot(const MPlug& plug, Slot& defaults) {
  sceneGraph().evaluate(plug);
  const Slot* slot = plug.nodeImpl()->slot(*plug.attributeImpl(), plug.indices(), false);
  if (slot) return slot;
  defaults = plug.nodeImpl()->makeSlot(*plug.attributeImpl(), plug.isElement());
  return &defaults;
}

MStatus readNumber(const MPlug& plug, double& value) {
  if (plug.isNull()) return MS::kInvalidParameter;
  const AttributeImpl& attribute = *plug.attributeImpl();
  Slot defaults;
  const Slot* slot = readSlot(plug, defaults);
  if (!attribute.holdsNumber()) return MS::kFailure;
  value = attribute.isUnit(MFnUnitAttribute::kTime) ? slot->value.number / uiTicks() : slot->value.number;
  return MS::kSuccess;
}

MStatus writeNumber(MPlug& plug, double value) {
  if (plug.isNull()) return MS::kInvalidParameter;
  const AttributeImpl& attribute = *plug.attributeImpl();
  if (!attribute.holdsNumber()) return MS::kFailure;
  if (!attribute.acceptsNumber(value)) return MS::kInvalidParameter;
  const double stored = attribute.normalise(attribute.isUnit(MFnUnitAttribute::kTime) ? value * uiTicks() : value);
  return sceneGraph().store(plug, [stored](Slot& slot) { slot.value.number = stored; });
}

template <typename T>
MStatus readAs(const MPlug& plug, T& value) {
  double number = 0.0;
  const MStatus status = readNumber(plug, number);
  if (!status) return status;
  if constexpr (std::is_integral_v<T>)
    value = zovhost::toInteger<T>(number);
  else
    value = static_cast<T>(number);
  return status;
}

template <typename T>
T asValue(const MPlug& plug, MStatus* status) {
  T value{};
  const MStatus result = readAs(plug, value);
  setStatus(status, result);
  return value;
}

/// The plug's value through MPlug::getValue, with its status in status.
template <typename T>
T valueOf(const MPlug& plug, MStatus* status) {
  T value{};
  const MStatus result = plug.getValue(value);
  setStatus(status, result);
  return value;
}

}  // namespace

MStatus MPlug::getValue(bool& value) const {
  double number = 0.0;
  const MStatus status = readNumber(*this, number);
  if (status) value = number != 0.0;
  return status;
}

MStatus MPlug::getValue(char& value) const { return readAs(*this, value); }
MStatus MPlug::getValue(short& value) const { return readAs(*this, value); }
MStatus MPlug::getValue(int& value) const { return readAs(*this, value); }
MStatus MPlug::getValue(float& value) const { return readAs(*this, value); }
MStatus MPlug::getValue(double& value) const { return readNumber(*this, value); }

MStatus MPlug::getValue(MString& value) const {
  if (isNull()) return MS::kInvalidParameter;
  Slot defaults;
  const Slot* slot = readSlot(*this, defaults);
  if (!m_attribute->holdsString()) return MS::kFailure;
  value = slot->value.text;
  return MS::kSuccess;
}

MStatus MPlug::getValue(MObject& value) const {
  if (isNull()) return MS::kInvalidParameter;
  Slot defaults;
  const Slot* slot = readSlot(*this, defaults);
  value = MObject();
  if (m_attribute->holdsData()) {
    value = slot->value.data;
  } else if (m_attribute->holdsString()) {
    value = MObject(std::make_shared<zovhost::StringData>(slot->value.text));
  } else if (m_attribute->kind == AttributeKind::Numeric && m_attribute->isCompound() && !isArray()) {
    auto data = std::make_shared<zovhost::NumericData>(m_attribute->numericType,
                                                       static_cast<unsigned int>(slot->children.size()));
    for (size_t i = 0; i < slot->children.size(); ++i) data->values[i] = slot->children[i].value.number;
    value = MObject(data);
  }
  // Reading any other plug as an object only evaluates it.
  return MS::kSuccess;
}

MStatus MPlug::getValue(MTime& value) const {
  double number = 0.0;
  const MStatus status = readNumber(*this, number);
  if (status) value = MTime(number, MTime::uiUnit());
  return status;
}

MStatus MPlug::getValue(MDistance& value) const {
  double number = 0.0;
  const MStatus status = readNumber(*this, number);
  if (status) value = MDistance(number, MDistance::kCentimeters);
  return status;
}

MStatus MPlug::getValue(MAngle& value) const {
  double number = 0.0;
  const MStatus status = readNumber(*this, number);
  if (status) value = MAngle(number, MAngle::kRadians);
  return status;
}

MStatus MPlug::setValue(bool value) { return writeNumber(*this, value ? 1.0 : 0.0); }
MStatus MPlug::setValue(char value) { return writeNumber(*this, value); }
MStatus MPlug::setValue(short value) { return writeNumber(*this, value); }
MStatus MPlug::setValue(int value) { return writeNumber(*this, value); }
MStatus MPlug::setValue(float value) { return writeNumber(*this, value); }
MStatus MPlug::setValue(double value) { return writeNumber(*this, value); }

MStatus MPlug::setValue(const MString& value) {
  if (isNull()) return MS::kInvalidParameter;
  if (!m_attribute->holdsString()) return MS::kFailure;
  return sceneGraph().store(*this, [&value](Slot& slot) { slot.value.text = value; });
}

MStatus MPlug::setValue(const MObject& value) {
  if (isNull()) return MS::kInvalidParameter;
  if (m_attribute->holdsString()) {
    const auto text = std::dynamic_pointer_cast<zovhost::StringData>(value.object());
    if (!text) return MS::kInvalidParameter;
    return setValue(text->text);
  }
  if (m_attribute->holdsData()) {
    const MStatus status = sceneGraph().store(*this, [&value](Slot& slot) { slot.value.data = value; });
    if (status && m_node->type->dataStored) m_node->type->dataStored(*this);
    return status;
  }
  const auto numbers = std::dynamic_pointer_cast<zovhost::NumericData>(value.object());
  if (m_attribute->kind == AttributeKind::Numeric && m_attribute->isCompound() && numbers) {
    if (numbers->values.size() != m_attribute->children.size()) return MS::kInvalidParameter;
    for (size_t i = 0; i < numbers->values.size(); ++i)
      if (!m_attribute->children[i]->acceptsNumber(numbers->values[i])) return MS::kInvalidParameter;
    const AttributeImpl& attribute = *m_attribute;
    return sceneGraph().store(*this, [&](Slot& slot) {
      for (size_t i = 0; i < slot.children.size(); ++i)
        slot.children[i].value.number = attribute.children[i]->normalise(numbers->values[i]);
    });
  }
  return MS::kFailure;
}

MStatus MPlug::setValue(const MTime& value) {
  if (isNull()) return MS::kInvalidParameter;
  if (m_attribute->isUnit(MFnUnitAttribute::kTime)) return writeNumber(*this, value.as(MTime::uiUnit()));
  return writeNumber(*this, value.value());
}

MStatus MPlug::setValue(const MDistance& value) { return writeNumber(*this, value.asCentimeters()); }
MStatus MPlug::setValue(const MAngle& value) { return writeNumber(*this, value.asRadians()); }

bool MPlug::asBool(MStatus* status) const { return valueOf<bool>(*this, status); }

char MPlug::asChar(MStatus* status) const { return asValue<char>(*this, status); }
short MPlug::asShort(MStatus* status) const { return asValue<short>(*this, status); }
int MPlug::asInt(MStatus* status) const { return asValue<int>(*this, status); }
float MPlug::asFloat(MStatus* status) const { return asValue<float>(*this, status); }
double MPlug::asDouble(MStatus* status) const { return asValue<double>(*this, status); }

MString MPlug::asString(MStatus* status) const { return valueOf<MString>(*this, status); }

MObject MPlug::asMObject(MStatus* status) const { return valueOf<MObject>(*this, status); }

MTime MPlug::asMTime(MStatus* status) const { return valueOf<MTime>(*this, status); }

MDistance MPlug::asMDistance(MStatus* status) const { return valueOf<MDistance>(*this, status); }

MAngle MPlug::asMAngle(MStatus* status) const { return valueOf<MAngle>(*this, status); }
