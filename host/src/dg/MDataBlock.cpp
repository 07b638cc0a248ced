#include <maya/MDataBlock.h>

#include "core/DataObjects.h"
#include "core/Numbers.h"
#include "dg/Graph.h"
#include "mathtypes/StatusOut.h"

using zovhost::AttributeImpl;
using zovhost::sceneGraph;
using zovhost::setStatus;
using zovhost::Slot;

namespace {

/// The slot behind a handle, made when it does not exist yet.
Slot* slotOf(const MPlug& plug) {
  if (plug.isNull()) return nullptr;
  return plug.nodeImpl()->slot(*plug.attributeImpl(), plug.indices(), true);
}

}  // namespace

// ---------------------------------------------------------------------------
// MDataBlock

MPlug MDataBlock::plugOf(const MObject& attribute) const { return MPlug(MObject(m_node), attribute); }

MDataHandle MDataBlock::inputValue(const MPlug& plug, MStatus* status) {
  setStatus(status, plug.isNull() ? MS::kInvalidParameter : MS::kSuccess);
  sceneGraph().evaluate(plug);
  return MDataHandle(plug);
}

MDataHandle MDataBlock::inputValue(const MObject& attribute, MStatus* status) {
  return inputValue(plugOf(attribute), status);
}

MDataHandle MDataBlock::outputValue(const MPlug& plug, MStatus* status) {
  setStatus(status, plug.isNull() ? MS::kInvalidParameter : MS::kSuccess);
  return MDataHandle(plug);
}

MDataHandle MDataBlock::outputValue(const MObject& attribute, MStatus* status) {
  return outputValue(plugOf(attribute), status);
}

MStatus MDataBlock::setClean(const MPlug& plug) {
  Slot* slot = slotOf(plug);
  if (!slot) return MS::kInvalidParameter;
  zovhost::setSlotDirty(*slot, false);
  return MS::kSuccess;
}

MStatus MDataBlock::setClean(const MObject& attribute) { return setClean(plugOf(attribute)); }

bool MDataBlock::isClean(const MPlug& plug, MStatus* status) {
  const Slot* slot = plug.isNull() ? nullptr : plug.nodeImpl()->slot(*plug.attributeImpl(), plug.indices(), false);
  setStatus(status, plug.isNull() ? MS::kInvalidParameter : MS::kSuccess);
  return slot ? !slot->dirty : !plug.isNull();
}

bool MDataBlock::isClean(const MObject& attribute, MStatus* status) { return isClean(plugOf(attribute), status); }

// ---------------------------------------------------------------------------
// MDataHandle

bool MDataHandle::isNumeric() const { return !m_plug.isNull() && m_plug.attributeImpl()->holdsNumber(); }

double MDataHandle::number() const {
  const Slot* slot = slotOf(m_plug);
  if (!slot) return 0.0;
  return m_plug.attributeImpl()->isUnit(MFnUnitAttribute::kTime)
             ? slot->value.number / MTime::ticksPerUnit(MTime::uiUnit())
             : slot->value.number;
}

void MDataHandle::setNumber(double value) {
  Slot* slot = slotOf(m_plug);
  if (!slot || !m_plug.attributeImpl()->holdsNumber()) return;
  const AttributeImpl& attribute = *m_plug.attributeImpl();
  slot->value.number = attribute.normalise(
      attribute.isUnit(MFnUnitAttribute::kTime) ? value * MTime::ticksPerUnit(MTime::uiUnit()) : value);
}

double MDataHandle::componentNumber(unsigned int index) const {
  const Slot* slot = slotOf(m_plug);
  if (!slot || index >= slot->children.size()) return 0.0;
  return slot->children[index].value.number;
}

void MDataHandle::setComponents(const double* values, unsigned int count) {
  Slot* slot = slotOf(m_plug);
  if (!slot) return;
  const AttributeImpl& attribute = *m_plug.attributeImpl();
  for (unsigned int i = 0; i < count && i < slot->children.size(); ++i)
    slot->children[i].value.number = attribute.children[i]->normalise(values[i]);
}

bool MDataHandle::asBool() const { return number() != 0.0; }
char MDataHandle::asChar() const { return zovhost::toInteger<char>(number()); }
short MDataHandle::asShort() const { return zovhost::toInteger<short>(number()); }
int MDataHandle::asInt() const { return zovhost::toInteger<int>(number()); }
float MDataHandle::asFloat() const { return static_cast<float>(number()); }
double MDataHandle::asDouble() const { return number(); }

float2& MDataHandle::asFloat2() const { return reinterpret_cast<float2&>(floatComponents()); }

float3& MDataHandle::asFloat3() const { return floatComponents(); }

double2& MDataHandle::asDouble2() const { return reinterpret_cast<double2&>(doubleComponents()); }

double3& MDataHandle::asDouble3() const { return doubleComponents(); }

float3& MDataHandle::floatComponents() const {
  Slot* slot = slotOf(m_plug);
  float3& components = slot ? slot->floatComponents : m_floats;
  for (unsigned int i = 0; i < 3; ++i) components[i] = static_cast<float>(componentNumber(i));
  return components;
}

double3& MDataHandle::doubleComponents() const {
  Slot* slot = slotOf(m_plug);
  double3& components = slot ? slot->doubleComponents : m_doubles;
  for (unsigned int i = 0; i < 3; ++i) components[i] = componentNumber(i);
  return components;
}

MString MDataHandle::asString() const {
  const Slot* slot = slotOf(m_plug);
  return slot ? slot->value.text : MString();
}

MTime MDataHandle::asTime() const { return MTime(number(), MTime::uiUnit()); }
MDistance MDataHandle::asDistance() const { return MDistance(number(), MDistance::kCentimeters); }
MAngle MDataHandle::asAngle() const { return MAngle(number(), MAngle::kRadians); }

MObject MDataHandle::data() const {
  const Slot* slot = slotOf(m_plug);
  return slot ? slot->value.data : MObject();
}

const MMatrix& MDataHandle::asMatrix() const {
  // The matrix held by the node's data object, which outlives the handle.
  const auto matrix = std::dynamic_pointer_cast<zovhost::MatrixData>(data().object());
  return matrix ? matrix->matrix : MMatrix::identity;
}

void MDataHandle::set(bool value) { setNumber(value ? 1.0 : 0.0); }
void MDataHandle::set(char value) { setNumber(value); }
void MDataHandle::set(short value) { setNumber(value); }
void MDataHandle::set(int value) { setNumber(value); }
void MDataHandle::set(float value) { setNumber(value); }
void MDataHandle::set(double value) { setNumber(value); }
void MDataHandle::set(const MTime& value) {
  setNumber(m_plug.attributeImpl()->isUnit(MFnUnitAttribute::kTime) ? value.as(MTime::uiUnit()) : value.value());
}
void MDataHandle::set(const MDistance& value) { setNumber(value.asCentimeters()); }
void MDataHandle::set(const MAngle& value) { setNumber(value.asRadians()); }

void MDataHandle::set(const MString& value) {
  Slot* slot = slotOf(m_plug);
  if (slot && m_plug.attributeImpl()->holdsString()) slot->value.text = value;
}

void MDataHandle::set(const MObject& data) {
  Slot* slot = slotOf(m_plug);
  if (!slot) return;
  if (m_plug.attributeImpl()->holdsString()) {
    if (const auto text = std::dynamic_pointer_cast<zovhost::StringData>(data.object())) slot->value.text = text->text;
  } else if (m_plug.attributeImpl()->holdsData()) {
    const auto copy = data.isNull() ? nullptr : data.object()->copyForHandle();
    slot->value.data = copy ? MObject(copy) : data;
  }
}

void MDataHandle::set(const MMatrix& value) { set(MObject(std::make_shared<zovhost::MatrixData>(value))); }

void MDataHandle::set2Double(double a, double b) {
  const double values[] = {a, b};
  setComponents(values, 2);
}

void MDataHandle::set3Double(double a, double b, double c) {
  const double values[] = {a, b, c};
  setComponents(values, 3);
}

// A float widens to a double exactly: the float setters store what the double ones do.
void MDataHandle::set2Float(float a, float b) { set2Double(a, b); }
void MDataHandle::set3Float(float a, float b, float c) { set3Double(a, b, c); }

void MDataHandle::setClean() {
  if (Slot* slot = slotOf(m_plug)) zovhost::setSlotDirty(*slot, false);
}

MDataHandle MDataHandle::child(const MObject& attribute) { return MDataHandle(m_plug.child(attribute)); }
