#include "dag/CurveNode.h"

#include <maya/MFnMessageAttribute.h>
#include <maya/MFnTypedAttribute.h>

#include "dag/CameraNode.h"
#include "dag/DagNode.h"
#include "dg/AttributeImpl.h"
#include "dg/NodeImpl.h"
#include "dg/NodeTypeRegistry.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace zovhost {

namespace {

// The host's own type id.
constexpr unsigned int kCurveTypeId = 0x4E435256;

std::string numbersText(const std::vector<double>& numbers) {
  std::string text;
  char word[32];
  for (double number : numbers) {
    std::snprintf(word, sizeof word, "%.17g", number);
    text += (text.empty() ? "" : " ") + std::string(word);
  }
  return text;
}

std::vector<double> numbersOf(const MPlug& plug) {
  std::istringstream in(plug.asString().str());
  std::vector<double> numbers;
  for (double number; in >> number;) numbers.push_back(number);
  return numbers;
}

}  // namespace

bool CurveData::valid() const {
  if (cvs.size() < 2 || knots.size() != cvs.size()) return false;
  for (size_t i = 1; i < knots.size(); ++i)
    if (knots[i] < knots[i - 1]) return false;
  return knots.back() > knots.front();
}

MPoint CurveData::pointAt(double param) const {
  if (!valid()) return MPoint();
  param = std::min(std::max(param, knots.front()), knots.back());
  // The last piece whose start is at or before the parameter.
  size_t i = static_cast<size_t>(std::upper_bound(knots.begin(), knots.end(), param) - knots.begin());
  i = std::min(std::max<size_t>(i, 1), knots.size() - 1) - 1;
  const double span = knots[i + 1] - knots[i];
  const double t = span > 0.0 ? (param - knots[i]) / span : 0.0;
  return cvs[i] + (cvs[i + 1] - cvs[i]) * t;
}

double CurveData::paramAtLengthFraction(double fraction) const {
  if (!valid()) return 0.0;
  fraction = std::min(std::max(fraction, 0.0), 1.0);
  double total = 0.0;
  for (size_t i = 1; i < cvs.size(); ++i) total += (cvs[i] - cvs[i - 1]).length();
  if (total <= 0.0) return knots.front() + (knots.back() - knots.front()) * fraction;
  double remaining = fraction * total;
  for (size_t i = 1; i < cvs.size(); ++i) {
    const double piece = (cvs[i] - cvs[i - 1]).length();
    if (remaining <= piece && piece > 0.0) return knots[i - 1] + (knots[i] - knots[i - 1]) * (remaining / piece);
    remaining -= piece;
  }
  return knots.back();
}

MObject CurveNode::controlPoints;
MObject CurveNode::knots;
MObject CurveNode::worldSpace;

MStatus CurveNode::initialize() {
  MFnTypedAttribute typed;
  controlPoints = typed.create("controlPoints", "cp", MFnData::kString);
  typed.setHidden(true);
  knots = typed.create("knots", "kn", MFnData::kString);
  typed.setHidden(true);
  MFnMessageAttribute message;
  worldSpace = message.create("worldSpace", "ws");
  message.setArray(true);
  attributeOf(worldSpace)->worldSpace = true;
  addAttribute(controlPoints);
  addAttribute(knots);
  addAttribute(worldSpace);
  attributeAffects(controlPoints, worldSpace);
  attributeAffects(knots, worldSpace);
  return attributeAffects(DagNode::worldMatrix, worldSpace);
}

CurveData CurveNode::data(const std::shared_ptr<NodeImpl>& node) {
  CurveData result;
  const MObject object(node);
  const std::vector<double> xyz = numbersOf(MPlug(object, controlPoints));
  for (size_t i = 0; i + 2 < xyz.size(); i += 3) result.cvs.emplace_back(xyz[i], xyz[i + 1], xyz[i + 2]);
  result.knots = numbersOf(MPlug(object, knots));
  return result;
}

MStatus CurveNode::setData(const std::shared_ptr<NodeImpl>& node, const CurveData& data) {
  if (!data.valid()) return MS::kInvalidParameter;
  std::vector<double> xyz;
  for (const MPoint& cv : data.cvs) xyz.insert(xyz.end(), {cv.x, cv.y, cv.z});
  const MObject object(node);
  MStatus status = MPlug(object, controlPoints).setValue(MString(numbersText(xyz)));
  if (status) status = MPlug(object, knots).setValue(MString(numbersText(data.knots)));
  return status;
}

MBoundingBox CurveNode::objectBoundingBox() const {
  MBoundingBox box;
  for (const MPoint& cv : data(nodeOf(thisMObject())).cvs) box.expand(cv);
  return box;
}

void registerCurveAndCameraTypes(NodeTypeRegistry& registry) {
  auto curve = registry.registerBuiltin(
      "nurbsCurve", MTypeId(kCurveTypeId), &CurveNode::creator, &CurveNode::initialize, MFn::kNurbsCurve,
      {MFn::kNurbsCurve, MFn::kGeometric, MFn::kShape, MFn::kDagNode, MFn::kDependencyNode},
      {"dagNode", "shape", "geometryShape", "curveShape"});
  curve->defaultName = "curveShape";
  curve->parentDefaultName = "curve";
  registerCameraType(registry);
}

}  // namespace zovhost
