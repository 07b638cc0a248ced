// A small plug-in module for the loading tests: two node types whose ids
// clash (the second registration must fail alone), a command, and a
// node-removed callback that it leaves installed on purpose. Its owner and
// member nodes behave as a solver and its bodies do when they go: the owner's
// destructor reads its own value, follows its connections and deletes the
// members connected to it; a member's destructor reports its owner.
#include <maya/MDGMessage.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnMessageAttribute.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnPlugin.h>
#include <maya/MGlobal.h>
#include <maya/MPlugArray.h>
#include <maya/MPxCommand.h>
#include <maya/MPxNode.h>

#include <vector>

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

/// The names of the nodes connected to a plug (or to its elements).
MString connectedNames(const MPlug& plug, bool asDestination) {
  MString names;
  const unsigned int count = plug.isArray() ? plug.numElements() : 1;
  for (unsigned int i = 0; i < count; ++i) {
    MPlugArray connected;
    (plug.isArray() ? plug.elementByPhysicalIndex(i) : plug).connectedTo(connected, asDestination, !asDestination);
    for (unsigned int k = 0; k < connected.length(); ++k)
      names += MString(" ") + MFnDependencyNode(connected[k].node()).name();
  }
  return names;
}

class OwnerNode : public MPxNode {
 public:
  static void* creator() { return new OwnerNode; }
  static MStatus initialize() {
    MFnNumericAttribute numeric;
    value = numeric.create("value", "v", MFnNumericData::kInt, 0);
    undoable = numeric.create("undoable", "ud", MFnNumericData::kBoolean, 0);
    MFnMessageAttribute message;
    members = message.create("members", "mb");
    message.setArray(true);
    addAttribute(value);
    addAttribute(undoable);
    return addAttribute(members);
  }
  ~OwnerNode() override {
    const MObject self = thisMObject();
    if (self.isNull()) {
      MGlobal::displayError("an owner node cannot see itself as it goes");
      return;
    }
    const MPlug membersPlug(self, members);
    MGlobal::displayInfo(name() + " goes with value " + MPlug(self, value).asInt() + " and members" +
                         connectedNames(membersPlug, true));
    std::vector<MObject> connected;
    for (unsigned int i = 0; i < membersPlug.numElements(); ++i) {
      MPlugArray sources;
      if (membersPlug.elementByPhysicalIndex(i).connectedTo(sources, true, false))
        connected.push_back(sources[0].node());
    }
    // With `undoable`, through the host's "delete", which the user can undo.
    const bool viaCommand = MPlug(self, undoable).asBool();
    for (MObject& member : connected) {
      if (viaCommand)
        MGlobal::executeCommand("delete " + MFnDependencyNode(member).name(), false, true);
      else
        MGlobal::deleteNode(member);
    }
  }
  static MObject value;
  static MObject undoable;
  static MObject members;
};
MObject OwnerNode::value;
MObject OwnerNode::undoable;
MObject OwnerNode::members;

class MemberNode : public MPxNode {
 public:
  static void* creator() { return new MemberNode; }
  static MStatus initialize() {
    MFnMessageAttribute message;
    owner = message.create("owner", "ow");
    return addAttribute(owner);
  }
  ~MemberNode() override {
    const MObject self = thisMObject();
    MGlobal::displayInfo(name() + " goes; owner" +
                         (self.isNull() ? MString(" unseen") : connectedNames(MPlug(self, owner), false)));
  }
  static MObject owner;
};
MObject MemberNode::owner;

class ModuleCommand : public MPxCommand {
 public:
  static void* creator() { return new ModuleCommand; }
  MStatus doIt(const MArgList&) override {
    setResult(MString("module command ran"));
    return MS::kSuccess;
  }
};

void onRemoved(MObject&, void*) { MGlobal::displayInfo("module saw a node removed"); }

/// Deregisters the owner node type while the module stays loaded.
class DropOwnerTypeCommand : public MPxCommand {
 public:
  static void* creator() { return new DropOwnerTypeCommand; }
  MStatus doIt(const MArgList&) override;
};

MObject g_plugin;

const MTypeId kNodeId(0x7F200);
const MTypeId kOwnerId(0x7F201);
const MTypeId kMemberId(0x7F202);

}  // namespace

MStatus DropOwnerTypeCommand::doIt(const MArgList&) { return MFnPlugin(g_plugin).deregisterNode(kOwnerId); }

extern "C" MStatus initializePlugin(MObject object) {
  g_plugin = object;
  MFnPlugin plugin(object, "Test Vendor", "2.5", "Any");
  MStatus status = plugin.registerNode("moduleNode", kNodeId, ModuleNode::creator, ModuleNode::initialize);
  // Same id under another name: refused, the load goes on.
  const MStatus clash = plugin.registerNode("moduleNodeClash", kNodeId, ModuleNode::creator, ModuleNode::initialize);
  if (clash) MGlobal::displayError("the clashing registration succeeded");
  plugin.registerNode("ownerNode", kOwnerId, OwnerNode::creator, OwnerNode::initialize);
  plugin.registerNode("memberNode", kMemberId, MemberNode::creator, MemberNode::initialize);
  plugin.registerCommand("dropOwnerType", DropOwnerTypeCommand::creator);
  status = plugin.registerCommand("moduleCommand", ModuleCommand::creator);
  MDGMessage::addNodeRemovedCallback(onRemoved, "dependNode");
  return status;
}

extern "C" MStatus uninitializePlugin(MObject object) {
  if (object.isNull()) return MS::kFailure;
  MFnPlugin plugin(object);
  plugin.deregisterCommand("moduleCommand");
  plugin.deregisterCommand("dropOwnerType");
  g_plugin = MObject();
  // The owner first: its nodes take their members with them.
  plugin.deregisterNode(kOwnerId);
  plugin.deregisterNode(kMemberId);
  plugin.deregisterNode(kNodeId);
  return MS::kSuccess;
}
