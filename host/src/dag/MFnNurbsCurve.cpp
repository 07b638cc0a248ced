#include <maya/MFnNurbsCurve.h>

#include "dag/CurveNode.h"
#include "dg/NodeImpl.h"
#include "dg/NodeTypeRegistry.h"
#include "mathtypes/StatusOut.h"

using zovhost::CurveData;
using zovhost::CurveNode;
using zovhost::setStatus;

namespace {

CurveData curveOf(const MObject& object) {
  const auto node = zovhost::nodeOf(object);
  return node && node->hasFn(MFn::kNurbsCurve) ? CurveNode::data(node) : CurveData();
}

}  // namespace

MObject MFnNurbsCurve::create(const MPointArray& controlVertices, const MDoubleArray& knotSequences,
                              unsigned int degree, Form, bool, bool, const MObject& parentOrOwner, MStatus* status) {
  CurveData data;
  data.cvs = controlVertices.items();
  for (unsigned int i = 0; i < knotSequences.length(); ++i) data.knots.push_back(knotSequences[i]);
  data.degree = static_cast<int>(degree);
  const auto parent = zovhost::nodeOf(parentOrOwner);
  if (!data.valid() || (!parentOrOwner.isNull() && (!parent || !parent->hasFn(MFn::kTransform)))) {
    setStatus(status, MS::kInvalidParameter);
    return MObject();
  }
  std::shared_ptr<zovhost::NodeImpl> made;
  MStatus result;
  const auto node = zovhost::createDagNode(zovhost::nodeTypeRegistry().find("nurbsCurve"), parent, "", &made, &result);
  if (!node) {
    setStatus(status, result);
    return MObject();
  }
  CurveNode::setData(node, data);
  MDagPath path;
  MDagPath::getAPathTo(MObject(node), path);
  setObject(path);
  setStatus(status, MS::kSuccess);
  return MObject(made ? made : node);
}

bool MFnNurbsCurve::matrixFor(MSpace::Space space, MMatrix& matrix) const {
  matrix = MMatrix();
  if (space != MSpace::kWorld) return true;
  const MDagPath path = workingPath();
  if (!path.isValid()) return false;
  matrix = path.inclusiveMatrix();
  return true;
}

int MFnNurbsCurve::numCVs(MStatus* status) const {
  const CurveData data = curveOf(m_object);
  setStatus(status, data.valid() ? MS::kSuccess : MS::kFailure);
  return static_cast<int>(data.cvs.size());
}

int MFnNurbsCurve::numKnots(MStatus* status) const {
  const CurveData data = curveOf(m_object);
  setStatus(status, data.valid() ? MS::kSuccess : MS::kFailure);
  return static_cast<int>(data.knots.size());
}

int MFnNurbsCurve::degree(MStatus* status) const {
  const CurveData data = curveOf(m_object);
  setStatus(status, data.valid() ? MS::kSuccess : MS::kFailure);
  return data.valid() ? data.degree : 0;
}

MStatus MFnNurbsCurve::getKnotDomain(double& start, double& end) const {
  const CurveData data = curveOf(m_object);
  if (!data.valid()) return MS::kFailure;
  start = data.domainStart();
  end = data.domainEnd();
  return MS::kSuccess;
}

MStatus MFnNurbsCurve::getKnots(MDoubleArray& array) const {
  array.clear();
  const CurveData data = curveOf(m_object);
  if (!data.valid()) return MS::kFailure;
  for (double knot : data.knots) array.append(knot);
  return MS::kSuccess;
}

MStatus MFnNurbsCurve::getCV(unsigned int index, MPoint& point, MSpace::Space space) const {
  const CurveData data = curveOf(m_object);
  MMatrix matrix;
  if (!data.valid() || index >= data.cvs.size() || !matrixFor(space, matrix)) return MS::kInvalidParameter;
  point = data.cvs[index] * matrix;
  return MS::kSuccess;
}

MStatus MFnNurbsCurve::getCVs(MPointArray& array, MSpace::Space space) const {
  array.clear();
  const CurveData data = curveOf(m_object);
  MMatrix matrix;
  if (!data.valid() || !matrixFor(space, matrix)) return MS::kInvalidParameter;
  for (const MPoint& cv : data.cvs) array.append(cv * matrix);
  return MS::kSuccess;
}

MStatus MFnNurbsCurve::getPointAtParam(double param, MPoint& point, MSpace::Space space) const {
  const CurveData data = curveOf(m_object);
  MMatrix matrix;
  if (!data.valid() || !matrixFor(space, matrix)) return MS::kFailure;
  if (param < data.domainStart() || param > data.domainEnd()) return MS::kInvalidParameter;
  point = data.pointAt(param) * matrix;
  return MS::kSuccess;
}
