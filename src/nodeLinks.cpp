#include "src/nodeLinks.h"

#include <maya/MFnTransform.h>
#include <maya/MGlobal.h>

#include <cstdio>

MPlugArray connectedPlugs(const MObject& node, const MObject& attribute) {
  MPlugArray plugs;
  MPlug(node, attribute).connectedTo(plugs, true, true);
  return plugs;
}

bool firstConnectedNode(const MPlug& plug, MObject& node) {
  MPlugArray plugs;
  if (!plug.connectedTo(plugs, true, true) || plugs.length() == 0) return false;
  node = plugs[0].node();
  return true;
}

MObject sourceNodeOf(const MPlug& plug) {
  MPlugArray sources;
  if (!plug.connectedTo(sources, true, false) || sources.length() == 0) return MObject();
  return sources[0].node();
}

void pullPlug(const MObject& node, const MObject& attribute) {
  MPlug plug(node, attribute);
  MObject value;
  if (!plug.isNull()) plug.getValue(value);
}

void pullPlugs(const MObject& node, std::initializer_list<const MObject*> attributes) {
  for (const MObject* attribute : attributes) pullPlug(node, *attribute);
}

MVector readVector(const MObject& node, const MObject& attribute) {
  const MPlug plug(node, attribute);
  return MVector(plug.child(0).asDouble(), plug.child(1).asDouble(), plug.child(2).asDouble());
}

bool parentTransformPath(const MObject& node, MDagPath& path) {
  return MDagPath::getAPathTo(node, path) && path.pop() && path.length() > 0;
}

void keepAsRest(const MDagPath& transform) {
  MFnTransform fn(transform);
  fn.setRestPosition(fn.transformation());
}

bool keepParentAsRest(const MObject& node) {
  MDagPath transform;
  if (!parentTransformPath(node, transform)) return false;
  keepAsRest(transform);
  return true;
}

bool transformPathOrReport(const MObject& node, MDagPath& path) {
  MStatus status = MDagPath::getAPathTo(node, path);
  if (status) status = path.pop();
  if (!status || path.length() == 0) {
    if (status) status = MS::kFailure;
    std::printf("maya error: %s while: retrieven dagPath of rigid node\n", status.errorString().asChar());
    std::fflush(stdout);
    return false;
  }
  return true;
}

void runQuietly(const MString& line) { MGlobal::executeCommand(line, false, false); }

MStatus flushUndoQueue() {
  runQuietly("flushUndo");
  return MS::kSuccess;
}
