#include <maya/MFnBase.h>
#include <maya/MObject.h>

#include "core/Object.h"

const MObject MObject::kNullObj;

MFn::Type MObject::apiType() const { return m_object ? m_object->apiType() : MFn::kInvalid; }

bool MObject::hasFn(MFn::Type type) const { return m_object && m_object->hasFn(type); }

const char* MObject::apiTypeStr() const {
  switch (apiType()) {
    case MFn::kInvalid:
      return "kInvalid";
    case MFn::kPluginDependNode:
      return "kPluginDependNode";
    case MFn::kPluginLocatorNode:
      return "kPluginLocatorNode";
    case MFn::kPluginManipContainer:
      return "kPluginManipContainer";
    case MFn::kTime:
      return "kTime";
    case MFn::kNumericAttribute:
      return "kNumericAttribute";
    case MFn::kUnitAttribute:
      return "kUnitAttribute";
    case MFn::kTypedAttribute:
      return "kTypedAttribute";
    case MFn::kEnumAttribute:
      return "kEnumAttribute";
    case MFn::kMessageAttribute:
      return "kMessageAttribute";
    case MFn::kCompoundAttribute:
      return "kCompoundAttribute";
    case MFn::kStringData:
      return "kStringData";
    case MFn::kMatrixData:
      return "kMatrixData";
    case MFn::kNumericData:
      return "kNumericData";
    case MFn::kPlugin:
      return "kPlugin";
    default:
      return "kOther";
  }
}

// ---------------------------------------------------------------------------
// MFnBase

MObject MFnBase::object(MStatus* status) const {
  if (status) *status = m_object.isNull() ? MS::kFailure : MS::kSuccess;
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
