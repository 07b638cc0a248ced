// Components and component lists: what a selection of faces, edges or
// vertices holds, and the value of typed component-list attributes.
#include <maya/MFnComponentListData.h>
#include <maya/MFnSingleIndexedComponent.h>

#include "core/DataObjects.h"
#include "mathtypes/StatusOut.h"

#include <algorithm>

using zovhost::ComponentListObject;
using zovhost::ComponentObject;
using zovhost::setStatus;

namespace {

bool isComponentKind(MFn::Type kind) {
  return kind == MFn::kMeshPolygonComponent || kind == MFn::kMeshEdgeComponent || kind == MFn::kMeshVertComponent;
}

template <typename T>
std::shared_ptr<T> objectOf(const MObject& object) {
  return std::dynamic_pointer_cast<T>(object.object());
}

}  // namespace

MObject MFnSingleIndexedComponent::create(MFn::Type componentType, MStatus* status) {
  if (!isComponentKind(componentType)) {
    setStatus(status, MS::kInvalidParameter);
    return MObject();
  }
  m_object = MObject(std::make_shared<ComponentObject>(componentType));
  setStatus(status, MS::kSuccess);
  return m_object;
}

MFn::Type MFnSingleIndexedComponent::componentType(MStatus* status) const {
  const auto component = objectOf<ComponentObject>(m_object);
  setStatus(status, component ? MS::kSuccess : MS::kFailure);
  return component ? component->kind : MFn::kInvalid;
}

MStatus MFnSingleIndexedComponent::addElement(int element) {
  const auto component = objectOf<ComponentObject>(m_object);
  if (!component) return MS::kFailure;
  if (element < 0) return MS::kInvalidParameter;
  if (std::find(component->elements.begin(), component->elements.end(), element) == component->elements.end())
    component->elements.push_back(element);
  return MS::kSuccess;
}

MStatus MFnSingleIndexedComponent::addElements(const MIntArray& elements) {
  for (unsigned int i = 0; i < elements.length(); ++i)
    if (elements[i] < 0) return MS::kInvalidParameter;
  for (unsigned int i = 0; i < elements.length(); ++i)
    if (const MStatus status = addElement(elements[i]); !status) return status;
  return MS::kSuccess;
}

MStatus MFnSingleIndexedComponent::getElements(MIntArray& elements) const {
  elements.clear();
  const auto component = objectOf<ComponentObject>(m_object);
  if (!component) return MS::kFailure;
  for (int element : component->elements) elements.append(element);
  return MS::kSuccess;
}

int MFnSingleIndexedComponent::elementCount(MStatus* status) const {
  const auto component = objectOf<ComponentObject>(m_object);
  setStatus(status, component ? MS::kSuccess : MS::kFailure);
  return component ? static_cast<int>(component->elements.size()) : 0;
}

int MFnSingleIndexedComponent::element(int index, MStatus* status) const {
  const auto component = objectOf<ComponentObject>(m_object);
  const bool valid = component && index >= 0 && static_cast<size_t>(index) < component->elements.size();
  setStatus(status, valid ? MS::kSuccess : MS::kInvalidParameter);
  return valid ? component->elements[static_cast<size_t>(index)] : -1;
}

MObject MFnComponentListData::create(MStatus* status) {
  m_object = MObject(std::make_shared<ComponentListObject>());
  setStatus(status, MS::kSuccess);
  return m_object;
}

unsigned int MFnComponentListData::length(MStatus* status) const {
  const auto list = objectOf<ComponentListObject>(m_object);
  setStatus(status, list ? MS::kSuccess : MS::kFailure);
  return list ? static_cast<unsigned int>(list->components.size()) : 0;
}

MObject MFnComponentListData::operator[](unsigned int index) const {
  const auto list = objectOf<ComponentListObject>(m_object);
  return list && index < list->components.size() ? list->components[index] : MObject();
}

MStatus MFnComponentListData::add(const MObject& component) {
  const auto list = objectOf<ComponentListObject>(m_object);
  if (!list) return MS::kFailure;
  if (!objectOf<ComponentObject>(component)) return MS::kInvalidParameter;
  list->components.push_back(component);
  return MS::kSuccess;
}

bool MFnComponentListData::has(const MObject& component) const {
  const auto list = objectOf<ComponentListObject>(m_object);
  return list && std::find(list->components.begin(), list->components.end(), component) != list->components.end();
}

MStatus MFnComponentListData::clear() {
  const auto list = objectOf<ComponentListObject>(m_object);
  if (!list) return MS::kFailure;
  list->components.clear();
  return MS::kSuccess;
}
