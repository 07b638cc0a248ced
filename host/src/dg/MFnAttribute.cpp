#include <maya/MFnAttribute.h>

#include "dg/AttributeImpl.h"
#include "mathtypes/StatusOut.h"

using zovhost::AttributeImpl;
using zovhost::attributeOf;
using zovhost::setStatus;

namespace {

template <typename Get>
auto query(const MObject& object, MStatus* status, Get get) -> decltype(get(std::declval<AttributeImpl&>())) {
  const auto attribute = attributeOf(object);
  setStatus(status, attribute ? MS::kSuccess : MS::kFailure);
  if (!attribute) return decltype(get(std::declval<AttributeImpl&>()))();
  return get(*attribute);
}

template <typename Set>
MStatus change(const MObject& object, Set set) {
  const auto attribute = attributeOf(object);
  if (!attribute) return MS::kFailure;
  set(*attribute);
  return MS::kSuccess;
}

}  // namespace

MString MFnAttribute::name(MStatus* status) const {
  return query(m_object, status, [](AttributeImpl& a) { return MString(a.longName); });
}

MString MFnAttribute::shortName(MStatus* status) const {
  return query(m_object, status, [](AttributeImpl& a) { return MString(a.shortName); });
}

MObject MFnAttribute::parent(MStatus* status) const {
  return query(m_object, status,
               [](AttributeImpl& a) { return a.parent ? MObject(a.parent->shared_from_this()) : MObject(); });
}

bool MFnAttribute::isReadable(MStatus* s) const {
  return query(m_object, s, [](AttributeImpl& a) { return a.readable; });
}
bool MFnAttribute::isWritable(MStatus* s) const {
  return query(m_object, s, [](AttributeImpl& a) { return a.writable; });
}
bool MFnAttribute::isConnectable(MStatus* s) const {
  return query(m_object, s, [](AttributeImpl& a) { return a.connectable; });
}
bool MFnAttribute::isStorable(MStatus* s) const {
  return query(m_object, s, [](AttributeImpl& a) { return a.storable; });
}
bool MFnAttribute::isCached(MStatus* s) const {
  return query(m_object, s, [](AttributeImpl& a) { return a.cached; });
}
bool MFnAttribute::isKeyable(MStatus* s) const {
  return query(m_object, s, [](AttributeImpl& a) { return a.keyable; });
}
bool MFnAttribute::isHidden(MStatus* s) const {
  return query(m_object, s, [](AttributeImpl& a) { return a.hidden; });
}
bool MFnAttribute::isArray(MStatus* s) const {
  return query(m_object, s, [](AttributeImpl& a) { return a.array; });
}
bool MFnAttribute::isIndexMatters(MStatus* s) const {
  return query(m_object, s, [](AttributeImpl& a) { return a.indexMatters; });
}
bool MFnAttribute::isDynamic(MStatus* s) const {
  return query(m_object, s, [](AttributeImpl& a) { return a.dynamic; });
}

MStatus MFnAttribute::setReadable(bool state) {
  return change(m_object, [=](AttributeImpl& a) { a.readable = state; });
}
MStatus MFnAttribute::setWritable(bool state) {
  return change(m_object, [=](AttributeImpl& a) { a.writable = state; });
}
MStatus MFnAttribute::setConnectable(bool state) {
  return change(m_object, [=](AttributeImpl& a) { a.connectable = state; });
}
MStatus MFnAttribute::setStorable(bool state) {
  return change(m_object, [=](AttributeImpl& a) { a.storable = state; });
}
MStatus MFnAttribute::setCached(bool state) {
  return change(m_object, [=](AttributeImpl& a) { a.cached = state; });
}
MStatus MFnAttribute::setKeyable(bool state) {
  return change(m_object, [=](AttributeImpl& a) { a.keyable = state; });
}
MStatus MFnAttribute::setHidden(bool state) {
  return change(m_object, [=](AttributeImpl& a) { a.hidden = state; });
}
MStatus MFnAttribute::setIndexMatters(bool state) {
  return change(m_object, [=](AttributeImpl& a) { a.indexMatters = state; });
}
MStatus MFnAttribute::setUsesArrayDataBuilder(bool) {
  return change(m_object, [](AttributeImpl&) {});
}
MStatus MFnAttribute::setAffectsAppearance(bool) {
  return change(m_object, [](AttributeImpl&) {});
}
MStatus MFnAttribute::setChannelBox(bool) {
  return change(m_object, [](AttributeImpl&) {});
}

MStatus MFnAttribute::setArray(bool state) {
  const auto attribute = attributeOf(m_object);
  // The shape of an attribute is fixed once nodes have data for it.
  if (!attribute || attribute->added) return MS::kFailure;
  attribute->array = state;
  return MS::kSuccess;
}
