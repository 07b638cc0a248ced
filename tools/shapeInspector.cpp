// zovinspect: a small plug-in module for the example scenes. It links the zov
// module, as modules built on its classes do, and asks its nodes what they
// hold:
//
//   inspectCollisionShape NODE
//
// brings a collision shape node's engine mesh up to date (as a body node
// would before building its body) and prints and answers its face and vertex
// counts; both are 0 when the node has no mesh.
#include <maya/MArgList.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnPlugin.h>
#include <maya/MGlobal.h>
#include <maya/MIntArray.h>
#include <maya/MPxCommand.h>
#include <maya/MSelectionList.h>

#include <string>

#include "src/collisionShapeNode.h"

extern "C" const char MApiVersion[] = "20180000";

namespace {

const char* const kCommandName = "inspectCollisionShape";

class InspectCollisionShapeCmd : public MPxCommand {
 public:
  static void* creator() { return new InspectCollisionShapeCmd; }

  MStatus doIt(const MArgList& args) override {
    MSelectionList list;
    MObject node;
    if (args.length() != 1 || !list.add(args.asString(0)) || !list.getDependNode(0, node)) {
      MGlobal::displayError(MString(kCommandName) + ": give one collision shape node");
      return MS::kFailure;
    }
    MFnDependencyNode fn(node);
    if (fn.typeId() != collisionShapeNode::id || !fn.userNode()) {
      MGlobal::displayError(MString(kCommandName) + ": " + fn.name() + " is not a collision shape node");
      return MS::kFailure;
    }
    const ZOVmesh* mesh = static_cast<collisionShapeNode*>(fn.userNode())->getShape();
    const int faces = mesh ? static_cast<int>(mesh->numFaces) : 0;
    const int vertices = mesh ? static_cast<int>(mesh->numVertices) : 0;
    MGlobal::displayInfo(fn.name() + ": engine mesh of " + std::to_string(faces).c_str() + " faces and " +
                         std::to_string(vertices).c_str() + " vertices");
    MIntArray counts;
    counts.append(faces);
    counts.append(vertices);
    setResult(counts);
    return MS::kSuccess;
  }
};

}  // namespace

extern "C" MStatus initializePlugin(MObject object) {
  MFnPlugin plugin(object, "zov tools", "1.0", "Any");
  return plugin.registerCommand(kCommandName, InspectCollisionShapeCmd::creator);
}

extern "C" MStatus uninitializePlugin(MObject object) {
  if (object.isNull()) return MS::kFailure;
  return MFnPlugin(object).deregisterCommand(kCommandName);
}
