#include "core/Host.h"

#include "dag/TransformNode.h"
#include "mesh/MeshNode.h"
#include "mesh/PolyPrimitiveNode.h"
#include "time/TimeNode.h"

namespace zovhost {

Host& host() {
  // Not a function-local static object: starting the host uses host().
  static Host* instance = nullptr;
  if (!instance) {
    instance = new Host;
    instance->start();
  }
  return *instance;
}

void Host::start() {
  registerTimeNodeType(nodeTypes);
  registerTransformNodeType(nodeTypes);
  registerMeshNodeType(nodeTypes);
  registerPolyPrimitiveNodeTypes(nodeTypes);
  clearScene();
}

void Host::clearScene() {
  undo.flush();
  selection.clear();
  graph.clear();
  time.resetScene();
  time.createTimeNode();
}

void Host::setSelection(const MSelectionList& list) {
  selection = list;
  callbacks.raiseEvent("SelectionChanged");
}

void displayInfo(const std::string& text) { host().logs.message(MessageKind::Info, text); }
void displayWarning(const std::string& text) { host().logs.message(MessageKind::Warning, text); }
void displayError(const std::string& text) { host().logs.message(MessageKind::Error, text); }

}  // namespace zovhost
