#include <maya/MFnAnimCurve.h>

#include <maya/MIntArray.h>

#include "dg/Graph.h"
#include "dg/NodeTypeRegistry.h"
#include "mathtypes/StatusOut.h"
#include "time/AnimCurveNode.h"
#include "time/TimeNode.h"
#include "time/TimeState.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

using zovhost::setStatus;

namespace {

// Keys closer in time than this (seconds) are the same key.
constexpr double kSameKeyTime = 1e-9;

bool isCurve(const MObject& object) { return object.hasFn(MFn::kAnimCurve) && zovhost::nodeOf(object); }

}  // namespace

MFnAnimCurve::MFnAnimCurve(const MObject& object, MStatus* status) { setStatus(status, setObject(object)); }

MFnAnimCurve::MFnAnimCurve(const MPlug& plug, MStatus* status) {
  const MPlug source = plug.source();
  setStatus(status, source.isNull() ? MStatus(MS::kNotFound) : setObject(source.node()));
}

MStatus MFnAnimCurve::setObject(const MObject& object) {
  if (!isCurve(object)) {
    m_object = MObject();
    return MS::kInvalidParameter;
  }
  m_object = object;
  return MS::kSuccess;
}

MObject MFnAnimCurve::create(const MPlug& plug, MStatus* status) {
  const auto target = plug.isNull() ? nullptr : plug.attributeImpl();
  if (!target || !target->holdsNumber() || !plug.source().isNull()) {
    setStatus(status, MS::kInvalidParameter);
    return MObject();
  }
  const char* typeName = "animCurveTU";
  if (target->kind == zovhost::AttributeKind::Unit && target->unitType == MFnUnitAttribute::kDistance)
    typeName = "animCurveTL";
  if (target->kind == zovhost::AttributeKind::Unit && target->unitType == MFnUnitAttribute::kAngle)
    typeName = "animCurveTA";
  zovhost::Graph& graph = zovhost::sceneGraph();
  MStatus made;
  const auto node = graph.instantiate(zovhost::nodeTypeRegistry().find(typeName), &made);
  if (!node) {
    setStatus(status, made);
    return MObject();
  }
  node->name = plug.nodeImpl()->name + "_" + target->longName;
  if (!graph.add(node)) {
    setStatus(status, MS::kFailure);
    return MObject();
  }
  const MObject curve(node);
  MFnDependencyNode fn(curve);
  MStatus connected = graph.connect(fn.findPlug("output"), plug);
  if (connected) {
    const auto time = zovhost::timeState().timeNode();
    if (time) graph.connect(MPlug(MObject(time), zovhost::TimeNode::outTime), fn.findPlug("input"));
  } else {
    graph.remove(node, nullptr, true);
    setStatus(status, connected);
    return MObject();
  }
  m_object = curve;
  setStatus(status, MS::kSuccess);
  return curve;
}

MFnAnimCurve::AnimCurveType MFnAnimCurve::animCurveType(MStatus* status) const {
  setStatus(status, isCurve(m_object) ? MS::kSuccess : MS::kFailure);
  if (m_object.hasFn(MFn::kAnimCurveTimeToDistance)) return kAnimCurveTL;
  if (m_object.hasFn(MFn::kAnimCurveTimeToAngular)) return kAnimCurveTA;
  if (m_object.hasFn(MFn::kAnimCurveTimeToUnitless)) return kAnimCurveTU;
  return kAnimCurveUnknown;
}

MStatus MFnAnimCurve::addKeyframe(const MTime& time, double value) {
  if (!isCurve(m_object)) return MS::kFailure;
  const MPlug array = findPlug("keyTimeValue");
  MIntArray indices;
  array.getExistingArrayAttributeIndices(indices);
  unsigned int index = 0;
  for (unsigned int i = 0; i < indices.length(); ++i) {
    const MPlug key = array.elementByLogicalIndex(static_cast<unsigned int>(indices[i]));
    if (std::fabs(key.child(0).asMTime().as(MTime::kSeconds) - time.as(MTime::kSeconds)) < kSameKeyTime)
      return key.child(1).setValue(value);
    index = std::max(index, static_cast<unsigned int>(indices[i]) + 1);
  }
  const MPlug key = array.elementByLogicalIndex(index);
  MStatus status = key.child(0).setValue(time);
  if (status) status = key.child(1).setValue(value);
  return status;
}

MStatus MFnAnimCurve::remove(unsigned int index) {
  if (!isCurve(m_object)) return MS::kFailure;
  const MPlug array = findPlug("keyTimeValue");
  MIntArray indices;
  array.getExistingArrayAttributeIndices(indices);
  if (index >= indices.length()) return MS::kInvalidParameter;
  // The key elements in time order, as the readers number them.
  std::vector<std::pair<double, unsigned int>> order;
  for (unsigned int i = 0; i < indices.length(); ++i) {
    const auto logical = static_cast<unsigned int>(indices[i]);
    order.emplace_back(array.elementByLogicalIndex(logical).child(0).asMTime().as(MTime::kSeconds), logical);
  }
  std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  const auto node = zovhost::nodeOf(m_object);
  zovhost::Slot* slots = node->slot(*array.attributeImpl(), {-1}, false);
  if (!slots) return MS::kFailure;
  slots->elements.erase(order[index].second);
  zovhost::sceneGraph().dirty(findPlug("output"));
  return MS::kSuccess;
}

unsigned int MFnAnimCurve::numKeys(MStatus* status) const {
  setStatus(status, isCurve(m_object) ? MS::kSuccess : MS::kFailure);
  return isCurve(m_object) ? static_cast<unsigned int>(zovhost::AnimCurveNode::keys(m_object).size()) : 0;
}

MTime MFnAnimCurve::time(unsigned int index, MStatus* status) const {
  const auto keys =
      isCurve(m_object) ? zovhost::AnimCurveNode::keys(m_object) : decltype(zovhost::AnimCurveNode::keys(m_object)){};
  setStatus(status, index < keys.size() ? MS::kSuccess : MS::kInvalidParameter);
  return index < keys.size() ? MTime(keys[index].first, MTime::kSeconds) : MTime();
}

double MFnAnimCurve::value(unsigned int index, MStatus* status) const {
  const auto keys =
      isCurve(m_object) ? zovhost::AnimCurveNode::keys(m_object) : decltype(zovhost::AnimCurveNode::keys(m_object)){};
  setStatus(status, index < keys.size() ? MS::kSuccess : MS::kInvalidParameter);
  return index < keys.size() ? keys[index].second : 0.0;
}

MStatus MFnAnimCurve::evaluate(const MTime& atTime, double& value) const {
  if (!isCurve(m_object)) return MS::kFailure;
  value = zovhost::AnimCurveNode::valueAt(zovhost::AnimCurveNode::keys(m_object), atTime.as(MTime::kSeconds));
  return MS::kSuccess;
}

bool MFnAnimCurve::isStatic(MStatus* status) const {
  setStatus(status, isCurve(m_object) ? MS::kSuccess : MS::kFailure);
  if (!isCurve(m_object)) return false;
  const auto keys = zovhost::AnimCurveNode::keys(m_object);
  for (const auto& key : keys)
    if (key.second != keys.front().second) return false;
  return true;
}
