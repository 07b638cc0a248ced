#include "dag/CurveNode.h"

#include <maya/MFnMessageAttribute.h>
#include <maya/MFnNumericAttribute.h>
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
constexpr int kLinearDegree = 1;
constexpr int kCubicDegree = 3;
/// Polyline points per CV when a cubic curve's length is measured.
constexpr int kLengthSamplesPerSpan = 32;

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
  if (degree != kLinearDegree && degree != kCubicDegree) return false;
  const size_t order = static_cast<size_t>(degree) + 1;
  if (cvs.size() < order || knots.size() != cvs.size() + order - 2) return false;
  for (size_t i = 1; i < knots.size(); ++i)
    if (knots[i] < knots[i - 1]) return false;
  return domainEnd() > domainStart();
}

std::vector<double> CurveData::defaultKnots(size_t cvCount, int degree) {
  std::vector<double> made;
  if (degree != kCubicDegree) {
    for (size_t i = 0; i < cvCount; ++i) made.push_back(static_cast<double>(i));
    return made;
  }
  if (cvCount < 4) return made;
  const double last = static_cast<double>(cvCount - 3);
  made = {0.0, 0.0};
  for (size_t i = 0; i + 2 < cvCount; ++i) made.push_back(static_cast<double>(i));
  made.insert(made.end(), {last, last});
  return made;
}

MPoint CurveData::pointAt(double param) const {
  if (!valid()) return MPoint();
  param = std::min(std::max(param, domainStart()), domainEnd());
  if (degree == kLinearDegree) {
    // The last piece whose start is at or before the parameter.
    size_t i = static_cast<size_t>(std::upper_bound(knots.begin(), knots.end(), param) - knots.begin());
    i = std::min(std::max<size_t>(i, 1), knots.size() - 1) - 1;
    const double span = knots[i + 1] - knots[i];
    const double t = span > 0.0 ? (param - knots[i]) / span : 0.0;
    return cvs[i] + (cvs[i + 1] - cvs[i]) * t;
  }
  // De Boor's algorithm on the full knot vector: the API's knots with the
  // outermost knot repeated once more at each end.
  std::vector<double> u;
  u.push_back(knots.front());
  u.insert(u.end(), knots.begin(), knots.end());
  u.push_back(knots.back());
  const size_t p = static_cast<size_t>(degree);
  const size_t n = cvs.size();
  // The span k with u[k] <= param < u[k + 1], p <= k <= n - 1.
  size_t k = p;
  while (k + 1 < n && u[k + 1] <= param) ++k;
  std::vector<MPoint> d(cvs.begin() + static_cast<std::ptrdiff_t>(k - p),
                        cvs.begin() + static_cast<std::ptrdiff_t>(k + 1));
  for (size_t r = 1; r <= p; ++r)
    for (size_t j = p; j >= r; --j) {
      const size_t i = j + k - p;
      const double denominator = u[i + p + 1 - r] - u[i];
      const double alpha = denominator > 0.0 ? (param - u[i]) / denominator : 0.0;
      d[j] = d[j - 1] + (d[j] - d[j - 1]) * alpha;
    }
  return d[p];
}

double CurveData::paramAtLengthFraction(double fraction) const {
  if (!valid()) return 0.0;
  fraction = std::min(std::max(fraction, 0.0), 1.0);
  if (degree != kLinearDegree) {
    // The length along a fine polyline of the curve.
    const double start = domainStart(), end = domainEnd();
    const int samples = kLengthSamplesPerSpan * static_cast<int>(cvs.size());
    std::vector<double> lengths{0.0};
    MPoint previous = pointAt(start);
    for (int i = 1; i <= samples; ++i) {
      const MPoint next = pointAt(start + (end - start) * i / samples);
      lengths.push_back(lengths.back() + (next - previous).length());
      previous = next;
    }
    if (lengths.back() <= 0.0) return start + (end - start) * fraction;
    const double wanted = fraction * lengths.back();
    const size_t i = static_cast<size_t>(std::lower_bound(lengths.begin(), lengths.end(), wanted) - lengths.begin());
    if (i == 0) return start;
    const double piece = lengths[i] - lengths[i - 1];
    const double t = piece > 0.0 ? (wanted - lengths[i - 1]) / piece : 0.0;
    return start + (end - start) * (static_cast<double>(i - 1) + t) / samples;
  }
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
MObject CurveNode::degree;
MObject CurveNode::worldSpace;

MStatus CurveNode::initialize() {
  MFnTypedAttribute typed;
  controlPoints = typed.create("controlPoints", "cp", MFnData::kString);
  typed.setHidden(true);
  knots = typed.create("knots", "kn", MFnData::kString);
  typed.setHidden(true);
  MFnNumericAttribute numeric;
  degree = numeric.create("degree", "dg", MFnNumericData::kInt, kLinearDegree);
  numeric.setHidden(true);
  MFnMessageAttribute message;
  worldSpace = message.create("worldSpace", "ws");
  message.setArray(true);
  attributeOf(worldSpace)->worldSpace = true;
  addAttribute(controlPoints);
  addAttribute(knots);
  addAttribute(degree);
  addAttribute(worldSpace);
  attributeAffects(controlPoints, worldSpace);
  attributeAffects(knots, worldSpace);
  attributeAffects(degree, worldSpace);
  return attributeAffects(DagNode::worldMatrix, worldSpace);
}

CurveData CurveNode::data(const std::shared_ptr<NodeImpl>& node) {
  CurveData result;
  const MObject object(node);
  const std::vector<double> xyz = numbersOf(MPlug(object, controlPoints));
  for (size_t i = 0; i + 2 < xyz.size(); i += 3) result.cvs.emplace_back(xyz[i], xyz[i + 1], xyz[i + 2]);
  result.knots = numbersOf(MPlug(object, knots));
  result.degree = MPlug(object, degree).asInt();
  return result;
}

MStatus CurveNode::setData(const std::shared_ptr<NodeImpl>& node, const CurveData& data) {
  if (!data.valid()) return MS::kInvalidParameter;
  std::vector<double> xyz;
  for (const MPoint& cv : data.cvs) xyz.insert(xyz.end(), {cv.x, cv.y, cv.z});
  const MObject object(node);
  MStatus status = MPlug(object, controlPoints).setValue(MString(numbersText(xyz)));
  if (status) status = MPlug(object, knots).setValue(MString(numbersText(data.knots)));
  if (status) status = MPlug(object, degree).setValue(data.degree);
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
