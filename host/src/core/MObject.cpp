#include <maya/MFnBase.h>
#include <maya/MObject.h>

#include "core/Object.h"
#include "mathtypes/StatusOut.h"

using zovhost::setStatus;

const MObject MObject::kNullObj;

MFn::Type MObject::apiType() const { return m_object ? m_object->apiType() : MFn::kInvalid; }

bool MObject::hasFn(MFn::Type type) const { return m_object && m_object->hasFn(type); }

// ---------------------------------------------------------------------------
// MFnBase

MObject MFnBase::object(MStatus* status) const {
  setStatus(status, m_object.isNull() ? MS::kFailure : MS::kSuccess);
  return m_object;
}

MStatus MFnBase::setObject(const MObject& object) {
  if (!object.hasFn(type())) {
    m_object = MObject();
    return MS::kInvalidParameter;
  }
  m_object = object;
  return MS::kSuccess;
}
