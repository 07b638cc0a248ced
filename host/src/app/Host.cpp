#include "app/Host.h"

#include "commands/ActiveSelection.h"
#include "dag/CurveNode.h"
#include "dag/DagNode.h"
#include "dag/FieldNode.h"
#include "dag/MotionPathNode.h"
#include "dag/PlainShapes.h"
#include "dag/TransformNode.h"
#include "mesh/BlindDataTypes.h"
#include "mesh/MeshNode.h"
#include "mesh/MeshSupportTypes.h"
#include "mesh/PolyPrimitiveNode.h"
#include "mesh/ShadingGroups.h"
#include "render/Manipulators.h"
#include "render/Snapshot.h"
#include "scene/SceneFile.h"
#include "time/AnimCurveNode.h"
#include "time/TimeNode.h"

namespace zovhost {

Host& Host::instance() {
  // Not a function-local static object: starting the host uses the accessors,
  // which come back here.
  static Host* instance = nullptr;
  if (!instance) {
    instance = new Host;
    instance->start();
  }
  return *instance;
}

void Host::start() {
  nodeTypes.setDagNodeBase(&DagNode::inherit);
  graph.addRemovalListener([this](const MObject& node) { selection.removeNode(node); });
  graph.addRemovalListener([this](const MObject& node) { render.manipulators.dropNode(node); });
  registerTimeNodeType(nodeTypes);
  registerTransformNodeType(nodeTypes);
  registerMeshNodeType(nodeTypes);
  registerPolyPrimitiveNodeTypes(nodeTypes);
  registerShadingEngineType(nodeTypes);
  registerLambertType(nodeTypes);
  registerBlindDataTemplateType(nodeTypes);
  registerMeshSupportTypes(nodeTypes);
  registerAnimCurveNodeTypes(nodeTypes);
  registerCurveAndCameraTypes(nodeTypes);
  registerFieldNodeTypes(nodeTypes);
  registerMotionPathNodeType(nodeTypes);
  registerPlainShapeTypes(nodeTypes);
  addPluginCommands(interpreter);
  addFileCommands(interpreter);
  addSnapshotCommand(interpreter);
  addManipulatorTools(interpreter);
  clearScene();
}

// The parts the API works on.
Logs& messageLog() { return Host::instance().logs; }
CallbackRegistry& callbackRegistry() { return Host::instance().callbacks; }
UnitSettings& unitSettings() { return Host::instance().units; }
Graph& sceneGraph() { return Host::instance().graph; }
NodeTypeRegistry& nodeTypeRegistry() { return Host::instance().nodeTypes; }
TimeState& timeState() { return Host::instance().time; }
UndoQueue& undoQueue() { return Host::instance().undo; }
CommandRegistry& commandRegistry() { return Host::instance().commands; }
MSelectionList& activeSelection() { return Host::instance().selection; }
SelectionSettings& selectionSettings() { return Host::instance().selectionSettings; }
std::vector<CommandResult*>& commandResults() { return Host::instance().results; }
HostSettings& hostSettings() { return Host::instance().settings; }
Interpreter& hostInterpreter() { return Host::instance().interpreter; }
DrawOverrideRegistry& drawOverrideRegistry() { return Host::instance().drawOverrides; }
PluginManager& pluginManager() { return Host::instance().plugins; }
RenderState& renderState() { return Host::instance().render; }

}  // namespace zovhost
