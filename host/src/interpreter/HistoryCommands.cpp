// Construction history: whether new edits record it (constructionHistory),
// pulling a value through its connection (dgeval) and deleting a shape's
// history while keeping its shape (delete -ch).
#include <maya/MDagModifier.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnDependencyNode.h>

#include "commands/ArgumentText.h"
#include "core/Logs.h"
#include "dg/Graph.h"
#include "interpreter/AttributeText.h"
#include "interpreter/HistoryCommands.h"
#include "interpreter/HostArgs.h"
#include "interpreter/HostSettings.h"

#include <algorithm>
#include <memory>
#include <set>

namespace zovhost {

namespace {

/// constructionHistory -q -tgl: 1 while edits record history, else 0;
/// constructionHistory -tgl on|off switches it.
MStatus constructionHistoryCommand(HostCall& call, const HostArgs& args) {
  if (!args.has("toggle")) {
    displayError("constructionHistory: give -toggle");
    return MS::kFailure;
  }
  if (args.query()) {
    call.result.setInt(hostSettings().constructionHistory ? 1 : 0);
    return MS::kSuccess;
  }
  bool on = false;
  if (!parseBool(args.value("toggle"), on)) {
    displayError("constructionHistory: -toggle needs on or off");
    return MS::kFailure;
  }
  hostSettings().constructionHistory = on;
  return MS::kSuccess;
}

/// dgeval [-src] plug...: makes each plug's value current, pulling it
/// through its incoming connection.
MStatus dgevalCommand(HostCall&, const HostArgs& args) {
  if (args.positional().empty()) {
    displayError("dgeval: give the plugs to evaluate");
    return MS::kFailure;
  }
  for (const std::string& name : args.positional()) {
    std::string error;
    const MPlug plug = plugByName(name, error);
    if (plug.isNull()) {
      displayError("dgeval: " + error);
      return MS::kFailure;
    }
    sceneGraph().evaluate(plug);
  }
  return MS::kSuccess;
}

bool carriesGeometry(const AttributeImpl& attribute) {
  return attribute.kind == AttributeKind::Typed && attribute.dataType == MFnData::kMesh;
}

/// The nodes that make the history of a geometry input: what feeds it
/// through geometry connections, up to and without visible shapes.
void collectHistory(const MPlug& input, std::vector<std::shared_ptr<NodeImpl>>& history) {
  std::vector<MPlug> pending{input};
  while (!pending.empty()) {
    const MPlug plug = pending.back();
    pending.pop_back();
    const MPlug source = plug.source();
    if (source.isNull()) continue;
    const std::shared_ptr<NodeImpl>& node = source.nodeImpl();
    if (std::find(history.begin(), history.end(), node) != history.end() || node->defaultNode) continue;
    if (node->isDag() && (!node->hasFn(MFn::kShape) || !MFnDagNode(MObject(node)).isIntermediateObject())) continue;
    history.push_back(node);
    for (const auto& connection : node->incoming)
      if (carriesGeometry(*connection->destination.attributeImpl())) pending.push_back(connection->destination);
  }
}

}  // namespace

MStatus deleteHistory(HostCall& call, const std::vector<std::shared_ptr<NodeImpl>>& nodes) {
  struct Kept {
    MPlug input;
    MObject value;
  };
  std::vector<Kept> kept;
  std::vector<std::shared_ptr<NodeImpl>> history;
  for (const auto& node : nodes) {
    std::vector<std::shared_ptr<NodeImpl>> shapes;
    if (node->hasFn(MFn::kTransform)) {
      for (NodeImpl* child : node->dagChildren)
        if (child->hasFn(MFn::kShape)) shapes.push_back(child->shared_from_this());
    } else {
      shapes.push_back(node);
    }
    for (const auto& shape : shapes) {
      if (std::find(history.begin(), history.end(), shape) != history.end()) continue;
      for (const auto& attribute : shape->type->attributes) {
        if (!carriesGeometry(*attribute) || attribute->array || !attribute->writable) continue;
        const MPlug input(shape, attribute, {});
        if (!input.isDestination()) continue;
        // The shape keeps the geometry its history gives it now.
        kept.push_back({input, input.asMObject()});
        collectHistory(input, history);
      }
    }
  }
  auto modifier = std::make_shared<MDagModifier>();
  for (const auto& node : history) modifier->deleteNode(MObject(node));
  const MStatus status = modifier->doIt();
  const auto keep = [kept]() {
    for (const Kept& k : kept) MPlug(k.input).setValue(k.value);
  };
  keep();
  recordUndo(call, std::make_unique<FunctionEntry>(
                       "delete", [modifier]() { modifier->undoIt(); },
                       [modifier, keep]() {
                         modifier->doIt();
                         keep();
                       }));
  return status;
}

void addHistoryCommands(Interpreter& interpreter) {
  addFlaggedCommands(
      interpreter,
      {{"constructionHistory", constructionHistoryCommand, {{"q", "query", 0, 0}, {"tgl", "toggle", 1, 0}}},
       {"dgeval", dgevalCommand, {{"src", "src", 0, 0}}}});
}

}  // namespace zovhost
