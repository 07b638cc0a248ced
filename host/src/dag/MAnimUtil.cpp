#include <maya/MAnimUtil.h>

#include "dg/Graph.h"
#include "mathtypes/StatusOut.h"

using zovhost::setStatus;

namespace {

bool drivenByCurve(const MPlug& plug) {
  const MPlug source = plug.source();
  return !source.isNull() && source.node().hasFn(MFn::kAnimCurve);
}

/// The plug, or anything below it, is driven by a curve.
bool animatedBelow(const MPlug& plug) {
  if (drivenByCurve(plug)) return true;
  const auto& node = plug.nodeImpl();
  for (const auto& c : node->incoming) {
    if (!c->source.node().hasFn(MFn::kAnimCurve)) continue;
    if (zovhost::plugsOverlap(plug, c->destination)) return true;
  }
  return false;
}

}  // namespace

bool MAnimUtil::isAnimated(const MPlug& plug, bool checkParent, MStatus* status) {
  setStatus(status, plug.isNull() ? MS::kInvalidParameter : MS::kSuccess);
  if (plug.isNull()) return false;
  if (animatedBelow(plug)) return true;
  if (!checkParent) return false;
  for (MPlug up = plug;;) {
    if (up.isChild())
      up = up.parent();
    else if (up.isElement())
      up = up.array();
    else
      return false;
    if (drivenByCurve(up)) return true;
  }
}

bool MAnimUtil::isAnimated(const MObject& node, bool, MStatus* status) {
  const auto impl = zovhost::nodeOf(node);
  setStatus(status, impl ? MS::kSuccess : MS::kInvalidParameter);
  if (!impl) return false;
  for (const auto& c : impl->incoming)
    if (c->source.node().hasFn(MFn::kAnimCurve)) return true;
  return false;
}

bool MAnimUtil::isAnimated(const MDagPath& path, bool checkParent, MStatus* status) {
  setStatus(status, path.isValid() ? MS::kSuccess : MS::kInvalidParameter);
  if (!path.isValid()) return false;
  if (isAnimated(path.node(), false)) return true;
  if (!checkParent) return false;
  for (MDagPath up = path; up.length() > 1;) {
    up.pop();
    if (isAnimated(up.node(), false)) return true;
  }
  return false;
}
