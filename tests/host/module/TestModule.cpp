// A small plug-in module for the loading tests: two node types whose ids
// clash (the second registration must fail alone), a command, and a
// node-removed callback that it leaves installed on purpose.
#include <maya/MDGMessage.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnPlugin.h>
#include <maya/MGlobal.h>
#include <maya/MPxCommand.h>
#include <maya/MPxNode.h>

extern "C" const char MApiVersion[] = "20180000";

namespace {

class ModuleNode : public MPxNode {
 public:
  static void* creator() { return new ModuleNode; }
  static MStatus initialize() {
    MFnNumericAttribute numeric;
    value = numeric.create("value", "v", MFnNumericData::kInt, 3);
    return addAttribute(value);
  }
  static MObject value;
};
MObject ModuleNode::value;

class ModuleCommand : public MPxCommand {
 public:
  static void* creator() { return new ModuleCommand; }
  MStatus doIt(const MArgList&) override {
    setResult(MString("module command ran"));
    return MS::kSuccess;
  }
};

void onRemoved(MObject&, void*) { MGlobal::displayInfo("module saw a node removed"); }

const MTypeId kNodeId(0x7F200);

}  // namespace

extern "C" MStatus initializePlugin(MObject object) {
  MFnPlugin plugin(object, "Test Vendor", "2.5", "Any");
  MStatus status = plugin.registerNode("moduleNode", kNodeId, ModuleNode::creator, ModuleNode::initialize);
  // Same id under another name: refused, the load goes on.
  const MStatus clash = plugin.registerNode("moduleNodeClash", kNodeId, ModuleNode::creator, ModuleNode::initialize);
  if (clash) MGlobal::displayError("the clashing registration succeeded");
  status = plugin.registerCommand("moduleCommand", ModuleCommand::creator);
  MDGMessage::addNodeRemovedCallback(onRemoved, "dependNode");
  return status;
}

extern "C" MStatus uninitializePlugin(MObject object) {
  if (object.isNull()) return MS::kFailure;
  MFnPlugin plugin(object);
  plugin.deregisterCommand("moduleCommand");
  plugin.deregisterNode(kNodeId);
  return MS::kSuccess;
}
