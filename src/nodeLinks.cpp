#include "src/nodeLinks.h"

#include <maya/MGlobal.h>
#include <maya/MPlugArray.h>

void pullPlug(const MObject& node, const MObject& attribute) {
  MPlug plug(node, attribute);
  MObject value;
  if (!plug.isNull()) plug.getValue(value);
}

bool firstConnectedNode(const MPlug& plug, MObject& node) {
  MPlugArray plugs;
  if (!plug.connectedTo(plugs, true, true) || plugs.length() == 0) return false;
  node = plugs[0].node();
  return true;
}

void runQuietly(const MString& line) { MGlobal::executeCommand(line, false, false); }
