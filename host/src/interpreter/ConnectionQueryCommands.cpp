// Host commands that ask about a node's attributes and connections:
// attributeQuery -exists and listConnections.
#include <maya/MPlug.h>

#include "commands/ArgumentText.h"
#include "core/Logs.h"
#include "dg/Graph.h"
#include "interpreter/AttributeText.h"
#include "interpreter/HostArgs.h"

#include <algorithm>
#include <string>
#include <vector>

namespace zovhost {

namespace {

/// attributeQuery -node N -exists ATTRIBUTE: 1 when the node has the
/// attribute (by long or short name), else 0.
MStatus attributeQueryCommand(HostCall& call, const HostArgs& args) {
  if (!args.has("node") || !args.has("exists") || args.positional().size() != 1) {
    displayError("attributeQuery: this host answers -node N -exists ATTRIBUTE");
    return MS::kFailure;
  }
  const auto node = sceneGraph().find(args.value("node"));
  if (!node) {
    displayError("No object matches name: " + args.value("node"));
    return MS::kFailure;
  }
  call.result.setInt(node->findAttribute(args.positional()[0]) ? 1 : 0);
  return MS::kSuccess;
}

/// Whether a connection's end belongs to what was named: the node (every
/// plug), or the plug itself, its elements and its children.
bool endMatches(const MPlug& end, const NodeImpl& node, const MPlug* plug) {
  if (end.nodeImpl().get() != &node) return false;
  if (!plug) return true;
  for (MPlug p = end; !p.isNull(); p = p.isElement() ? p.array() : p.isChild() ? p.parent() : MPlug())
    if (p == *plug) return true;
  return false;
}

/// listConnections [-source b] [-destination b] [-plugs b] NAME: the nodes
/// (or plugs) connected to a node or one of its plugs, each once, in the
/// order the connections were made.
MStatus listConnectionsCommand(HostCall& call, const HostArgs& args) {
  bool sources = true;
  bool destinations = true;
  bool plugs = false;
  if ((args.has("source") && !parseBool(args.value("source"), sources)) ||
      (args.has("destination") && !parseBool(args.value("destination"), destinations)) ||
      (args.has("plugs") && !parseBool(args.value("plugs"), plugs))) {
    displayError("listConnections: -source, -destination and -plugs take a boolean");
    return MS::kFailure;
  }
  if (args.positional().size() != 1) {
    displayError("listConnections: name one node or plug");
    return MS::kFailure;
  }
  const std::string& name = args.positional()[0];
  std::shared_ptr<NodeImpl> node;
  MPlug plug;
  if (name.find('.') == std::string::npos) {
    node = sceneGraph().find(name);
    if (!node) {
      displayError("No object matches name: " + name);
      return MS::kFailure;
    }
  } else {
    std::string error;
    plug = plugByName(name, error);
    if (plug.isNull()) {
      displayError("listConnections: " + error);
      return MS::kFailure;
    }
    node = plug.nodeImpl();
  }
  std::vector<std::string> found;
  const auto add = [&found, plugs](const MPlug& other) {
    const std::string text = plugs ? other.name().str() : other.nodeImpl()->name;
    if (std::find(found.begin(), found.end(), text) == found.end()) found.push_back(text);
  };
  const MPlug* named = plug.isNull() ? nullptr : &plug;
  for (const auto& c : sceneGraph().connections()) {
    if (destinations && endMatches(c->source, *node, named)) add(c->destination);
    if (sources && endMatches(c->destination, *node, named)) add(c->source);
  }
  call.result.setStrings(found);
  return MS::kSuccess;
}

}  // namespace

void addConnectionQueryCommands(Interpreter& interpreter) {
  addFlaggedCommands(interpreter,
                     {{"attributeQuery", attributeQueryCommand, {{"n", "node", 1, 1}, {"ex", "exists", 0, 0}}},
                      {"listConnections",
                       listConnectionsCommand,
                       {{"s", "source", 1, 1}, {"d", "destination", 1, 1}, {"p", "plugs", 1, 1}}}});
}

}  // namespace zovhost
