#include <maya/MFnField.h>
#include <maya/MFnGravityField.h>
#include <maya/MFnUniformField.h>

#include "dag/FieldNode.h"
#include "dg/NodeImpl.h"
#include "mathtypes/StatusOut.h"

using zovhost::setStatus;

namespace {

MPlug fieldPlug(const MObject& field, const char* name) { return MFnDependencyNode(field).findPlug(name); }

double readField(const MObject& field, const char* name, MStatus* status) {
  setStatus(status, field.isNull() ? MS::kFailure : MS::kSuccess);
  return field.isNull() ? 0.0 : fieldPlug(field, name).asDouble();
}

MStatus writeField(const MObject& field, const char* name, double value) {
  if (field.isNull()) return MS::kFailure;
  return fieldPlug(field, name).setValue(value);
}

MVector readDirection(const MObject& field, MStatus* status) {
  setStatus(status, field.isNull() ? MS::kFailure : MS::kSuccess);
  if (field.isNull()) return MVector();
  const MPlug direction = fieldPlug(field, "direction");
  return MVector(direction.child(0).asDouble(), direction.child(1).asDouble(), direction.child(2).asDouble());
}

MStatus writeDirection(const MObject& field, const MVector& value) {
  if (field.isNull()) return MS::kFailure;
  const MPlug direction = fieldPlug(field, "direction");
  for (unsigned int i = 0; i < 3; ++i) {
    const MStatus status = direction.child(i).setValue(value[i]);
    if (!status) return status;
  }
  return MS::kSuccess;
}

}  // namespace

MFnField::MFnField(const MDagPath& path, MStatus* status) { setStatus(status, setObject(path.node())); }

double MFnField::magnitude(MStatus* status) const { return readField(m_object, "magnitude", status); }
MStatus MFnField::setMagnitude(double value) { return writeField(m_object, "magnitude", value); }
double MFnField::maxDistance(MStatus* status) const { return readField(m_object, "maxDistance", status); }
MStatus MFnField::setMaxDistance(double value) { return writeField(m_object, "maxDistance", value); }
bool MFnField::useMaxDistance(MStatus* status) const { return readField(m_object, "useMaxDistance", status) != 0.0; }
MStatus MFnField::setUseMaxDistance(bool use) { return writeField(m_object, "useMaxDistance", use ? 1.0 : 0.0); }

MStatus MFnField::getForceAtPoint(const MVectorArray& point, const MVectorArray& velocity, const MDoubleArray& mass,
                                  MVectorArray& force, double) {
  const auto node = zovhost::nodeOf(m_object);
  if (!node) return MS::kFailure;
  if (velocity.length() != point.length() || mass.length() != point.length()) return MS::kInvalidParameter;
  zovhost::FieldNode::forces(node, point, mass, force);
  return MS::kSuccess;
}

namespace zovhost {

template <MFn::Type kType>
MVector DirectedFieldOf<kType>::direction(MStatus* status) const {
  return readDirection(this->m_object, status);
}

template <MFn::Type kType>
MStatus DirectedFieldOf<kType>::setDirection(const MVector& value) {
  return writeDirection(this->m_object, value);
}

template class DirectedFieldOf<MFn::kUniform>;
template class DirectedFieldOf<MFn::kGravity>;

}  // namespace zovhost
