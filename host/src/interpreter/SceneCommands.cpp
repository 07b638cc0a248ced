// Host commands that act on the scene: createNode (with -parent for DAG
// nodes), shadingNode, delete, rename, select, setAttr, getAttr, connectAttr,
// disconnectAttr, lockNode.
#include <maya/MDagModifier.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MIntArray.h>
#include <maya/MStringArray.h>

#include "commands/ActiveSelection.h"
#include "commands/ArgumentText.h"
#include "core/Logs.h"
#include "dg/Graph.h"
#include "dg/NodeTypeRegistry.h"
#include "interpreter/AttributeText.h"
#include "interpreter/HistoryCommands.h"
#include "interpreter/HostArgs.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace zovhost {

namespace {

/// Records a modifier that has run as one undo step.
void recordModifier(const HostCall& call, const std::shared_ptr<MDGModifier>& modifier) {
  recordUndo(call, std::make_unique<FunctionEntry>(
                       call.call.name, [modifier]() { modifier->undoIt(); }, [modifier]() { modifier->doIt(); }));
}

std::shared_ptr<NodeImpl> nodeNamed(const std::string& name) {
  const auto node = sceneGraph().find(name);
  if (!node) displayError("No object matches name: " + name);
  return node;
}

/// Makes a node of a type (a DAG shape under a new transform unless a parent
/// is given), named after `name` when it is not empty, as one undo step, and
/// selects it unless told not to; answers its name.
MStatus createNamedNode(HostCall& call, const std::string& command, const std::string& typeName,
                        const std::string& name, const std::string& parentName, bool select) {
  const auto type = nodeTypeRegistry().find(typeName);
  if (!type || type->kind == MPxNode::kManipContainer) {
    displayError("Unknown object type: " + typeName);
    return MS::kFailure;
  }
  std::shared_ptr<NodeImpl> parent;
  if (!parentName.empty()) {
    if (!fnListHas(type->fnTypes, MFn::kDagNode)) {
      displayError(command + ": '" + typeName + "' is not a DAG node type and takes no parent");
      return MS::kFailure;
    }
    parent = nodeNamed(parentName);
    if (!parent) return MS::kFailure;
    if (!parent->hasFn(MFn::kTransform)) {
      displayError(command + ": the parent '" + parent->name + "' is not a transform");
      return MS::kFailure;
    }
  }
  if (!name.empty() && !Graph::isValidName(name)) {
    displayError(command + ": invalid node name '" + name + "'");
    return MS::kFailure;
  }
  auto modifier = std::make_shared<MDagModifier>();
  MObject node;
  if (fnListHas(type->fnTypes, MFn::kDagNode)) {
    // A shape given no parent goes under a transform made for it.
    MObject above(parent);
    if (!parent && !fnListHas(type->fnTypes, MFn::kTransform)) {
      above = modifier->createNode(MString("transform"));
      nodeOf(above)->name = type->parentDefaultName + "1";
    }
    node = modifier->createNode(MString(typeName), above);
  } else {
    node = modifier->MDGModifier::createNode(MString(typeName));
  }
  if (node.isNull()) {
    displayError(command + ": cannot create a node of type " + typeName);
    return MS::kFailure;
  }
  if (!name.empty()) nodeOf(node)->name = name;
  modifier->doIt();
  recordModifier(call, modifier);
  if (select) {
    MSelectionList selection;
    selection.add(node);
    setActiveSelection(selection);
  }
  call.result.setString(nodeOf(node)->name);
  return MS::kSuccess;
}

MStatus createNodeCommand(HostCall& call, const HostArgs& args) {
  if (args.positional().size() != 1) {
    displayError("createNode: give one node type");
    return MS::kFailure;
  }
  return createNamedNode(call, "createNode", args.positional()[0], args.value("name"), args.value("parent"),
                         !args.has("skipSelect"));
}

/// shadingNode -asShader|-asTexture|-asUtility TYPE [-name N]: a rendering
/// node, left selected.
MStatus shadingNodeCommand(HostCall& call, const HostArgs& args) {
  if (args.positional().size() != 1 || !(args.has("asShader") || args.has("asTexture") || args.has("asUtility"))) {
    displayError("shadingNode: give one node type and -asShader, -asTexture or -asUtility");
    return MS::kFailure;
  }
  const std::string& typeName = args.positional()[0];
  const auto type = nodeTypeRegistry().find(typeName);
  if (type && fnListHas(type->fnTypes, MFn::kDagNode)) {
    displayError("shadingNode: '" + typeName + "' is not a rendering node type");
    return MS::kFailure;
  }
  return createNamedNode(call, "shadingNode", typeName, args.value("name"), std::string(), !args.has("skipSelect"));
}

/// Whether every node of a delete can go: none of those in the scene is
/// locked or a default node, nor has such a node below it that would go with
/// it (a DAG node takes its own children along). Says which one keeps it.
bool deletable(const std::vector<std::shared_ptr<NodeImpl>>& nodes) {
  for (const auto& node : nodes)
    if (const NodeImpl* blocker = node->inGraph ? sceneGraph().removalBlocker(*node) : nullptr) {
      displayError("Cannot delete locked or default node '" + blocker->name + "'.");
      return false;
    }
  return true;
}

MStatus deleteCommand(HostCall& call, const HostArgs& args) {
  std::vector<std::shared_ptr<NodeImpl>> nodes;
  if (args.positional().empty()) {
    MStringArray names;
    activeSelection().getSelectionStrings(names);
    for (unsigned int i = 0; i < names.length(); ++i)
      if (const auto node = sceneGraph().find(names[i].str().substr(0, names[i].str().find('.'))))
        nodes.push_back(node);
    if (nodes.empty()) {
      displayError("delete: Not enough objects or values.");
      return MS::kFailure;
    }
  }
  for (const std::string& name : args.positional()) {
    const auto node = nodeNamed(name);
    if (!node) return MS::kFailure;
    nodes.push_back(node);
  }
  if (args.has("constructionHistory")) return deleteHistory(call, nodes);
  // Every node is checked before any goes: a refused delete changes nothing
  // and leaves nothing to undo.
  if (!deletable(nodes)) return MS::kFailure;
  auto modifier = std::make_shared<MDGModifier>();
  for (const auto& node : nodes) modifier->deleteNode(MObject(node));
  const MStatus status = modifier->doIt();
  // A node locked since the undo (by the user, or by a plug-in that locks
  // what it owns) refuses the redo as it would refuse the delete.
  recordUndo(call, std::make_unique<FunctionEntry>(
                       call.call.name, [modifier]() { modifier->undoIt(); }, [modifier]() { modifier->doIt(); },
                       [nodes]() { return deletable(nodes); }));
  return status;
}

MStatus renameCommand(HostCall& call, const HostArgs& args) {
  if (args.positional().size() != 2) {
    displayError("rename: give the node and its new name");
    return MS::kFailure;
  }
  const auto node = nodeNamed(args.positional()[0]);
  if (!node) return MS::kFailure;
  auto modifier = std::make_shared<MDGModifier>();
  if (!modifier->renameNode(MObject(node), MString(args.positional()[1])) || !modifier->doIt()) {
    displayError("rename: cannot rename '" + args.positional()[0] + "' to '" + args.positional()[1] + "'");
    return MS::kFailure;
  }
  recordModifier(call, modifier);
  call.result.setString(node->name);
  return MS::kSuccess;
}

MStatus selectCommand(HostCall&, const HostArgs& args) {
  MSelectionList list;
  for (const std::string& name : args.positional())
    if (!list.add(MString(name))) {
      displayError("No object matches name: " + name);
      return MS::kFailure;
    }
  MSelectionList selection = activeSelection();
  if (args.has("clear"))
    selection.clear();
  else if (args.has("add"))
    selection.merge(list);
  else if (args.has("deselect"))
    selection.merge(list, MSelectionList::kRemoveFromList);
  else if (args.has("toggle"))
    selection.merge(list, MSelectionList::kXORWithList);
  else
    selection = list;
  setActiveSelection(selection);
  return MS::kSuccess;
}

MStatus setAttrCommand(HostCall& call, const HostArgs& args) {
  if (args.positional().empty()) {
    displayError("setAttr: give an attribute");
    return MS::kFailure;
  }
  std::string error;
  MPlug plug = plugByName(args.positional()[0], error);
  if (plug.isNull()) {
    displayError("setAttr: " + error);
    return MS::kFailure;
  }
  const std::vector<std::string> values(args.positional().begin() + 1, args.positional().end());
  const bool wasLocked = plug.isLocked();
  // A bad flag refuses the whole command before anything changes.
  bool lock = false;
  if (args.has("lock") && !parseBool(args.value("lock"), lock)) {
    displayError("setAttr: -lock needs a boolean");
    return MS::kFailure;
  }
  if (!values.empty()) {
    if (wasLocked || plug.isDestination()) {
      displayError("setAttr: The attribute '" + plug.name().str() + "' is locked or connected and cannot be modified.");
      return MS::kFailure;
    }
    std::vector<std::string> before;
    std::string type;
    attributeWords(plug, before, type);
    double number = 0.0;
    const AttributeImpl& attribute = *plug.attributeImpl();
    if (attribute.kind == AttributeKind::Enum && values.size() == 1 && parseDouble(values[0], number) &&
        !attribute.acceptsNumber(number)) {
      std::string fields;
      for (const auto& [field, value] : attribute.enumFields)
        fields += (fields.empty() ? "" : ", ") + std::to_string(value) + " " + field;
      displayError("setAttr: " + values[0] + " is not a value of '" + plug.name().str() + "' (" + fields + ")");
      return MS::kFailure;
    }
    std::string refusal;
    std::vector<std::string> clamped;
    if (!checkNumberWords(plug, values, refusal, clamped)) {
      displayError("setAttr: " + refusal);
      return MS::kFailure;
    }
    if (!setAttributeWords(plug, values)) {
      // Name the first word that is no value (the first when all are).
      size_t bad = 0;
      bool flag = false;
      while (bad + 1 < values.size() && (parseDouble(values[bad], number) || parseBool(values[bad], flag))) ++bad;
      displayError("setAttr: Error reading data element number " + std::to_string(bad + 1) + ": " + values[bad]);
      return MS::kFailure;
    }
    for (const std::string& line : clamped) displayWarning("setAttr: " + line);
    recordUndo(call, std::make_unique<FunctionEntry>(
                         "setAttr", [plug, before]() { setAttributeWords(plug, before); },
                         [plug, values]() { setAttributeWords(plug, values); }));
  }
  if (args.has("lock")) {
    plug.setLocked(lock);
    recordUndo(call, std::make_unique<FunctionEntry>(
                         "setAttr", [plug, wasLocked]() { MPlug(plug).setLocked(wasLocked); },
                         [plug, lock]() { MPlug(plug).setLocked(lock); }));
  }
  return MS::kSuccess;
}

/// dgdirty PLUG...: marks the plugs dirty, so that the next read computes
/// them again, and spreads the dirtiness to what depends on them.
MStatus dgdirtyCommand(HostCall&, const HostArgs& args) {
  if (args.positional().empty()) {
    displayError("dgdirty: give a plug");
    return MS::kFailure;
  }
  std::vector<MPlug> plugs;
  for (const std::string& name : args.positional()) {
    std::string error;
    const MPlug plug = plugByName(name, error);
    if (plug.isNull()) {
      displayError("dgdirty: " + error);
      return MS::kFailure;
    }
    plugs.push_back(plug);
  }
  for (const MPlug& plug : plugs) sceneGraph().dirty(plug);
  return MS::kSuccess;
}

MStatus getAttrCommand(HostCall& call, const HostArgs& args) {
  if (args.positional().size() != 1) {
    displayError("getAttr: give one attribute");
    return MS::kFailure;
  }
  std::string error;
  const MPlug plug = plugByName(args.positional()[0], error);
  if (plug.isNull()) {
    displayError("getAttr: " + error);
    return MS::kFailure;
  }
  if (args.has("lock")) {
    call.result.setInt(plug.isLocked() ? 1 : 0);
    return MS::kSuccess;
  }
  if (plug.isArray() && !plug.isElement()) {
    call.result.setInt(static_cast<int>(plug.numElements()));
    return MS::kSuccess;
  }
  std::vector<std::string> words;
  std::string type;
  if (!attributeWords(plug, words, type)) {
    // Reading a message plug evaluates it and gives nothing.
    plug.asMObject();
    return MS::kSuccess;
  }
  const AttributeImpl& a = *plug.attributeImpl();
  if (type == "string") {
    call.result.setString(words[0]);
  } else if (words.size() == 1) {
    int integral = 0;
    double number = 0.0;
    if (a.holdsNumber() && a.kind != AttributeKind::Unit && parseInt(words[0], integral))
      call.result.setInt(integral);
    else if (parseDouble(words[0], number))
      call.result.setDouble(number);
  } else {
    std::vector<double> numbers;
    for (const std::string& word : words) {
      double number = 0.0;
      parseDouble(word, number);
      numbers.push_back(number);
    }
    call.result.setDoubles(numbers);
  }
  return MS::kSuccess;
}

MStatus connectAttrCommand(HostCall& call, const HostArgs& args) {
  if (args.positional().size() != 2) {
    displayError("connectAttr: give the source and destination attributes");
    return MS::kFailure;
  }
  std::string error;
  const MPlug source = plugByName(args.positional()[0], error);
  MPlug destination = source.isNull() ? MPlug() : plugByName(args.positional()[1], error);
  if (source.isNull() || destination.isNull()) {
    displayError("connectAttr: " + error);
    return MS::kFailure;
  }
  if (args.has("nextAvailable") && destination.isArray() && !destination.isElement()) {
    unsigned int index = 0;
    MIntArray existing;
    destination.getExistingArrayAttributeIndices(existing);
    for (unsigned int i = 0; i < existing.length(); ++i)
      index = std::max(index, static_cast<unsigned int>(existing[i]) + 1);
    destination = destination.elementByLogicalIndex(index);
  }
  auto modifier = std::make_shared<MDGModifier>();
  const auto current = sceneGraph().incomingOf(destination);
  if (current) {
    if (!args.has("force")) {
      displayError("connectAttr: '" + destination.name().str() + "' already has an incoming connection from '" +
                   current->source.name().str() + "'.");
      return MS::kFailure;
    }
    modifier->disconnect(current->source, destination);
  }
  if (!modifier->connect(source, destination) || !modifier->doIt()) {
    modifier->undoIt();
    displayError("connectAttr: Connection not made: '" + source.name().str() + "' -> '" + destination.name().str() +
                 "'.");
    return MS::kFailure;
  }
  recordModifier(call, modifier);
  return MS::kSuccess;
}

MStatus disconnectAttrCommand(HostCall& call, const HostArgs& args) {
  if (args.positional().size() != 2) {
    displayError("disconnectAttr: give the source and destination attributes");
    return MS::kFailure;
  }
  std::string error;
  const MPlug source = plugByName(args.positional()[0], error);
  const MPlug destination = source.isNull() ? MPlug() : plugByName(args.positional()[1], error);
  if (source.isNull() || destination.isNull()) {
    displayError("disconnectAttr: " + error);
    return MS::kFailure;
  }
  auto modifier = std::make_shared<MDGModifier>();
  modifier->disconnect(source, destination);
  if (!modifier->doIt()) {
    displayError("disconnectAttr: There is no connection from '" + source.name().str() + "' to '" +
                 destination.name().str() + "' to disconnect.");
    return MS::kFailure;
  }
  recordModifier(call, modifier);
  return MS::kSuccess;
}

MStatus lockNodeCommand(HostCall& call, const HostArgs& args) {
  bool lock = true;
  if (args.has("lock") && !parseBool(args.value("lock"), lock)) {
    displayError("lockNode: -lock needs a boolean");
    return MS::kFailure;
  }
  std::vector<std::shared_ptr<NodeImpl>> nodes;
  for (const std::string& name : args.positional()) {
    const auto node = nodeNamed(name);
    if (!node) return MS::kFailure;
    nodes.push_back(node);
  }
  if (args.query()) {
    std::vector<int> states;
    for (const auto& node : nodes) states.push_back(node->locked ? 1 : 0);
    call.result.setInts(states);
    return MS::kSuccess;
  }
  if (nodes.empty()) return MS::kSuccess;
  // The whole line is one step. Each run keeps the locks it found, so that
  // its undo gives back what the redo met.
  const auto found = std::make_shared<std::vector<bool>>();
  const auto apply = [nodes, lock, found]() {
    found->clear();
    for (const auto& node : nodes) {
      found->push_back(node->locked);
      node->locked = lock;
    }
  };
  apply();
  // An unlock keeps what waits to be redone: a deletion refused because the
  // node was locked since (by a plug-in, say) goes through after it, as its
  // message tells the user, and so do the steps recorded after that one.
  recordUndo(call,
             std::make_unique<FunctionEntry>(
                 "lockNode",
                 [nodes, found]() {
                   // Backwards: a node named twice takes what it had first.
                   for (size_t i = std::min(nodes.size(), found->size()); i-- > 0;) nodes[i]->locked = (*found)[i];
                 },
                 apply),
             lock ? UndoQueue::Redo::kCleared : UndoQueue::Redo::kKept);
  return MS::kSuccess;
}

}  // namespace

void addSceneCommands(Interpreter& interpreter) {
  addFlaggedCommands(
      interpreter,
      {{"createNode", createNodeCommand, {{"n", "name", 1, 1}, {"ss", "skipSelect", 0, 0}, {"p", "parent", 1, 1}}},
       {"delete", deleteCommand, {{"ch", "constructionHistory", 0, 0}}},
       {"select",
        selectCommand,
        {{"r", "replace", 0, 0},
         {"add", "add", 0, 0},
         {"d", "deselect", 0, 0},
         {"tgl", "toggle", 0, 0},
         {"cl", "clear", 0, 0},
         {"ne", "noExpand", 0, 0}}},
       {"shadingNode",
        shadingNodeCommand,
        {{"ass", "asShader", 0, 0},
         {"at", "asTexture", 0, 0},
         {"au", "asUtility", 0, 0},
         {"n", "name", 1, 1},
         {"ss", "skipSelect", 0, 0}}},
       {"getAttr", getAttrCommand, {{"l", "lock", 0, 0}, {"type", "type", 0, 0}}},
       {"connectAttr", connectAttrCommand, {{"f", "force", 0, 0}, {"na", "nextAvailable", 0, 0}}},
       {"lockNode", lockNodeCommand, {{"l", "lock", 1, 1}, {"q", "query", 0, 0}}}});
  addFlaggedCommands(
      interpreter, {{"rename", renameCommand, {}},
                    {"dgdirty", dgdirtyCommand, {}},
                    {"setAttr",
                     setAttrCommand,
                     {{"l", "lock", 1, 1}, {"type", "type", 1, 1}, {"k", "keyable", 1, 1}, {"cb", "channelBox", 1, 1}}},
                    {"disconnectAttr", disconnectAttrCommand, {}}});
}

}  // namespace zovhost
