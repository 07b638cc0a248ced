#include "src/hostHelpers.h"

#include <maya/MFnAnimCurve.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MItDependencyGraph.h>
#include <maya/MPlugArray.h>
#include <maya/MPoint.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "src/hostEngineConversions.h"

namespace {

constexpr unsigned int kPerMinute = 60;
/// Knot domains shorter than this give no points.
constexpr double kMinDomain = 1e-5;

}  // namespace

MDagPath findUpstreamNode(const MDagPath& path) {
  MObject found = path.node();
  MItDependencyGraph it(path.node(), MFn::kDependencyNode, MItDependencyGraph::kUpstream,
                        MItDependencyGraph::kBreadthFirst, MItDependencyGraph::kNodeLevel);
  for (; !it.isDone(); it.next())
    if (it.currentItem().apiType() == MFn::kMesh) found = it.currentItem();
  MDagPath result;
  MDagPath::getAPathTo(found, result);
  return result;
}

std::string elapsedTimeText(double seconds, const std::string& label) {
  unsigned int hours = 0;
  unsigned int minutes = 0;
  if (seconds > kPerMinute) {
    minutes = static_cast<unsigned int>(seconds) / kPerMinute;
    seconds -= static_cast<double>(minutes * kPerMinute);
    if (minutes > kPerMinute) {
      hours = minutes / kPerMinute;
      minutes %= kPerMinute;
    }
  }
  std::string text = "\"";
  for (char c : label) {
    if (c == '"' || c == '\\') text += '\\';
    text += c;
  }
  const char* format = " %u::%u::%.2f \"";
  const int size = std::snprintf(nullptr, 0, format, hours, minutes, seconds);
  std::vector<char> numbers(static_cast<size_t>(std::max(size, 0)) + 1);
  std::snprintf(numbers.data(), numbers.size(), format, hours, minutes, seconds);
  return text + numbers.data();
}

void printTimeOnIdle(double seconds, const MString& label, bool print) {
  if (!print) return;
  MGlobal::executeCommandOnIdle((" \n print " + elapsedTimeText(seconds, label.asChar()) + "\n").c_str(), false);
}

bool curvePointAtParam(const MFnNurbsCurve& curve, Mgc::MgcVector3* points, int count, const MMatrix& matrix) {
  double start = 0.0;
  double end = 0.0;
  curve.getKnotDomain(start, end);
  if (end - start < kMinDomain) return false;
  const double step = count > 1 ? (end - start) / (count - 1) : end - start;
  double t = start;
  for (int i = 0; i < count; ++i) {
    MPoint point;
    curve.getPointAtParam(t, point, MSpace::kObject);
    point = point * matrix;
    points[i] = toEngine(point);
    t = std::min(t + step, end);
  }
  return true;
}

MStatus addKeyToPlugCurve(const MObject& node, const MString& attribute, const MTime& time, double value) {
  MStatus status;
  const MPlug plug = MFnDependencyNode(node).findPlug(attribute, &status);
  if (!status) return status;
  MPlugArray sources;
  plug.connectedTo(sources, true, false);
  for (unsigned int i = 0; i < sources.length(); ++i)
    if (sources[i].node().hasFn(MFn::kAnimCurve)) return MFnAnimCurve(sources[i].node()).addKeyframe(time, value);
  return MS::kNotFound;
}

int indexOfInt(int value, const MIntArray& array) {
  for (unsigned int i = 0; i < array.length(); ++i)
    if (array[i] == value) return static_cast<int>(i);
  return -1;
}

void splitFilePath(const MString& path, MString& directory, MString& name, MString& extension) {
  const std::string text = path.asChar();
  for (size_t i = text.size(); i-- > 0;) {
    if (text[i] == '.') extension = text.substr(i + 1).c_str();
    if (text[i] == '/') {
      name = text.substr(i + 1).c_str();
      directory = text.substr(0, i).c_str();
      return;
    }
  }
}
