// The module's entry points and its registration tables. Each table lists
// its rows in registration order; uninitializePlugin takes them down in the
// order the host expects.
#include "src/pluginMain.h"

#include <maya/MDGMessage.h>
#include <maya/MDrawRegistry.h>
#include <maya/MEventMessage.h>
#include <maya/MFnPlugin.h>
#include <maya/MGlobal.h>
#include <maya/MNodeMessage.h>
#include <maya/MPxManipContainer.h>
#include <maya/MPxNode.h>
#include <maya/MSceneMessage.h>
#include <maya/MString.h>
#include <maya/MTypeId.h>

#include <algorithm>
#include <cstddef>
#include <optional>
#include <vector>

#include "platform/ModuleState.h"
#include "src/draw/viewportResources.h"
#include "src/fracture/clusterFractureNode.h"
#include "src/fracture/fBodyDeleteCmd.h"
#include "src/fracture/fBodyDetachCmd.h"
#include "src/fracture/fBodyStressesCmd.h"
#include "src/fracture/fBodyUpdateCmd.h"
#include "src/fracture/fractureBodyCmd.h"
#include "src/fracture/fractureBodyNode.h"
#include "src/fracture/queryZovFBodyCmd.h"
#include "src/fracture/sceneStress.h"
#include "src/fracture/shatterGroupFinder.h"
#include "src/fracture/zovClusterCmd.h"
#include "src/moduleCommand.h"
#include "src/nodeLinks.h"
#include "src/sceneCallbacks.h"
#include "src/shatter/adquireShatterCmd.h"
#include "src/shatter/meshOpNode.h"
#include "src/shatter/modifiers/jagginessCmd.h"
#include "src/shatter/shatterCmd.h"
#include "src/shatter/shatterLocatorCmd.h"
#include "src/shatter/shatterLocatorManip.h"
#include "src/shatter/shatterLocatorNode.h"
#include "src/shatter/voronoiNode.h"
#include "src/simulation/collisionShapeNode.h"
#include "src/simulation/computeRotDistCmd.h"
#include "src/simulation/connectForceFieldsCmd.h"
#include "src/simulation/deleteUserNodeCmd.h"
#include "src/simulation/frameParticipant.h"
#include "src/simulation/manageZovListCmd.h"
#include "src/simulation/queryZovBodyCmd.h"
#include "src/simulation/rigidBodyCmd.h"
#include "src/simulation/rigidBodyNode.h"
#include "src/simulation/selectZovContext.h"
#include "src/simulation/solverCmd.h"
#include "src/simulation/solverNode.h"
#include "src/simulation/zovCrackerCmd.h"
#include "src/simulation/zovCrackerNode.h"
#include "src/viewport/rigidBodyNodeDrawVport20.h"
#include "src/viewport/shatterLocatorDrawVport20.h"
#include "src/viewport/voronoiNodeDrawVport20.h"

extern "C" const char MApiVersion[] = "20180000";

namespace {

const char* const kVendor = "Ombrevale";
const char* const kVersion = "4.0";
const char* const kRequiredApiVersion = "Any";

/// The user-interface script must be loaded before any node or command exists.
const char* const kSourceUserInterface = "source zovUI_40.mel";
const char* const kLoadScript[] = {"zovUI_initialize", "dynPref -autoCreate off"};
const char* const kUnloadScript[] = {"deleteAllBodiesFromZovWorldWithoutConfirm", "displayColor -dormant \"grid\" 3",
                                     "savePrefs -colors"};

struct NodeTypeRow {
  const char* name;
  const MTypeId* id;
  MCreatorFunction creator;
  MInitializeFunction initialize;
  MPxNode::Type kind;
  /// Viewport 2.0 draw classification, or null.
  const char* classification;
  /// Registered after the draw overrides rather than before them.
  bool afterDrawOverrides;
};

/// Node types in registration order. The solver node, when present, is the
/// first row: it is also the first to go at unload.
const std::vector<NodeTypeRow> kNodeTypes = {
    {"zovSolverNode", &zovSolverNode::id, zovSolverNode::creator, zovSolverNode::initialize, MPxNode::kDependNode,
     nullptr, false},
    {"zovRigidBody", &rigidBodyNode::id, rigidBodyNode::creator, rigidBodyNode::initialize, MPxNode::kLocatorNode,
     "drawdb/geometry/rigidBodyNode", false},
    {"zovCollisionShape", &collisionShapeNode::id, collisionShapeNode::creator, collisionShapeNode::initialize,
     MPxNode::kDependNode, nullptr, false},
    {"zovFbodyNode", &FractureBodyNode::id, FractureBodyNode::creator, FractureBodyNode::initialize,
     MPxNode::kDependNode, nullptr, false},
    {"zovStressNode", &SceneStress::id, SceneStress::creator, SceneStress::initialize, MPxNode::kDependNode, nullptr,
     false},
    {"ClusterZovNode", &clusterFractureNode::id, clusterFractureNode::creator, clusterFractureNode::initialize,
     MPxNode::kDependNode, nullptr, false},
    {"zovCracker", &zovCrackerNode::id, zovCrackerNode::creator, zovCrackerNode::initialize, MPxNode::kLocatorNode,
     nullptr, false},
    {"zovVoronoiNode", &voronoiNode::id, voronoiNode::creator, voronoiNode::initialize, MPxNode::kLocatorNode,
     "drawdb/geometry/voronoiPoints", false},
    {"ShatterLocator", &ShatterLocatorNode::id, ShatterLocatorNode::creator, ShatterLocatorNode::initialize,
     MPxNode::kLocatorNode, "drawdb/geometry/ShatterLocator", false},
    {"ShatterLocatorManip", &ShatterLocatorManip::id, ShatterLocatorManip::creator, MPxManipContainer::initialize,
     MPxNode::kManipContainer, nullptr, true},
    {"zovMeshOpNode", &zovMeshOpNode::id, zovMeshOpNode::creator, zovMeshOpNode::initialize, MPxNode::kDependNode,
     nullptr, true},
};

/// Node types other than the solver, in the order they are deregistered.
const char* const kNodeDeregistrationOrder[] = {
    "zovMeshOpNode", "zovVoronoiNode",    "zovCracker",   "zovStressNode",  "ClusterZovNode",
    "zovFbodyNode",  "zovCollisionShape", "zovRigidBody", "ShatterLocator", "ShatterLocatorManip",
};
const char* const kSolverNodeName = "zovSolverNode";

struct DrawOverrideRow {
  const char* classification;
  const char* registrant;
  MHWRender::MDrawRegistry::DrawOverrideCreator creator;
};

/// Viewport 2.0 draw-override creators, in registration order (also their
/// deregistration order).
const std::vector<DrawOverrideRow> kDrawOverrides = {
    {"drawdb/geometry/rigidBodyNode", "rigidBodyNode", rigidBodyNodeDrawVport20::Creator},
    {"drawdb/geometry/ShatterLocator", "ShatterLocator", ShatterLocatorDrawVport20::Creator},
    {"drawdb/geometry/voronoiPoints", "zovVoronoiNode", voronoiNodeDrawVport20::Creator},
};

struct CommandRow {
  const char* name;
  MCreatorFunction creator;
  MCreateSyntaxFunction syntax;
  /// A tool-context command (registered with its creator only).
  bool isContext;
};

/// Commands and the context command, in registration order; commands are
/// deregistered in the reverse order, after the context command.
const std::vector<CommandRow> kCommands = {
    {"zovSolver", creatorOf<SolverCmd>, SolverCmd::newSyntax, false},
    {"new_ZOVBody", creatorOf<RigidBodyCmd>, RigidBodyCmd::newSyntax, false},
    {"ManageZovListCmd", creatorOf<ManageZovListCmd>, ManageZovListCmd::newSyntax, false},
    {"selectZovContext", creatorOf<SelectZovContextCmd>, nullptr, true},
    {"zovFractureBody", creatorOf<FractureBodyCmd>, FractureBodyCmd::newSyntax, false},
    {"deleteZovFBody", creatorOf<FBodyDeleteCmd>, FBodyDeleteCmd::newSyntax, false},
    {"Detach_FBody", creatorOf<FBodyDetachCmd>, FBodyDetachCmd::newSyntax, false},
    {"fBody_selStresses", creatorOf<FBodyStressesCmd>, FBodyStressesCmd::newSyntax, false},
    {"zovCluster", creatorOf<zovClusterCmd>, zovClusterCmd::newSyntax, false},
    {"dComputeRotDist", creatorOf<ComputeRotDistCmd>, ComputeRotDistCmd::newSyntax, false},
    {"update_Fbody", creatorOf<FBodyUpdateCmd>, FBodyUpdateCmd::newSyntax, false},
    {"zovShatter", creatorOf<shatterCmd>, shatterCmd::newSyntax, false},
    {"zovAdqShatter", creatorOf<adquireShatterCmd>, adquireShatterCmd::newSyntax, false},
    {"deleteUserNode", creatorOf<deleteUserNodeCmd>, deleteUserNodeCmd::newSyntax, false},
    {"queryZovBody", creatorOf<queryZovBodyCmd>, queryZovBodyCmd::newSyntax, false},
    {"queryZovFBody", creatorOf<queryZovFBodyCmd>, queryZovFBodyCmd::newSyntax, false},
    {"zovConnectForceFields", creatorOf<connectForceFieldsCmd>, connectForceFieldsCmd::newSyntax, false},
    {"zovJagginess", creatorOf<jagginessCmd>, jagginessCmd::newSyntax, false},
    {"zovShatterPreview", creatorOf<shatterLocatorCmd>, shatterLocatorCmd::newSyntax, false},
    {"zovCracker", creatorOf<zovCrackerCmd>, zovCrackerCmd::newSyntax, false},
};

enum class CallbackKind { kNodeRemoved, kNodeAdded, kEvent, kScene, kNameChanged };

struct CallbackRow {
  CallbackKind kind;
  /// Node type name (node added or removed) or event name.
  const char* subject;
  MSceneMessage::Message sceneMessage;
  MMessage::MNodeFunction nodeHandler;
  MMessage::MBasicFunction basicHandler;
  /// Installed right after this node type is registered; null: installed
  /// after the commands, in table order.
  const char* afterNodeType;
  /// Position in the removal sequence at unload (smaller first).
  int removalOrder;
  /// A name-changed handler, for every node.
  MMessage::MNodeStringFunction nameHandler = nullptr;
};

/// Host callbacks in installation order. Their removal order at unload:
///   1 "timeChanged", 2 "linearUnitChanged", 3 "playbackRangeChanged",
///   4 after open, 5 after import, 6 before new scene, 7 before open,
///   8 to 11 node removed of zovRigidBody, zovCollisionShape, zovFbodyNode and
///   zovCracker, 12 before save, 13 before export, 14 before and 15 after
///   software render, 16 host exiting, 17 node added, 18 and 19 node removed
///   of ClusterZovNode and zovStressNode, 20 before import, 21 name changed.
const std::vector<CallbackRow> kCallbacks = {
    {CallbackKind::kNodeRemoved, "zovCollisionShape", MSceneMessage::kSceneUpdate, collisionShapeNode::onNodeRemoved,
     nullptr, "zovCollisionShape", 9},
    {CallbackKind::kEvent, "timeChanged", MSceneMessage::kSceneUpdate, nullptr, onTimeChanged, nullptr, 1},
    {CallbackKind::kNodeRemoved, "zovFbodyNode", MSceneMessage::kSceneUpdate, FractureBodyNode::onNodeRemoved, nullptr,
     nullptr, 10},
    {CallbackKind::kNodeRemoved, "zovRigidBody", MSceneMessage::kSceneUpdate, rigidBodyNode::onNodeRemoved, nullptr,
     nullptr, 8},
    {CallbackKind::kNodeRemoved, "zovCracker", MSceneMessage::kSceneUpdate, zovCrackerNode::onNodeRemoved, nullptr,
     nullptr, 11},
    {CallbackKind::kNodeRemoved, "ClusterZovNode", MSceneMessage::kSceneUpdate, clusterFractureNode::onNodeRemoved,
     nullptr, nullptr, 18},
    {CallbackKind::kNodeRemoved, "zovStressNode", MSceneMessage::kSceneUpdate, SceneStress::onNodeRemoved, nullptr,
     nullptr, 19},
    {CallbackKind::kEvent, "linearUnitChanged", MSceneMessage::kSceneUpdate, nullptr, onLinearUnitChanged, nullptr, 2},
    {CallbackKind::kEvent, "playbackRangeChanged", MSceneMessage::kSceneUpdate, nullptr, onPlaybackRangeChanged,
     nullptr, 3},
    {CallbackKind::kScene, nullptr, MSceneMessage::kBeforeSave, nullptr, onSceneReset, nullptr, 12},
    {CallbackKind::kScene, nullptr, MSceneMessage::kBeforeExport, nullptr, onSceneReset, nullptr, 13},
    {CallbackKind::kScene, nullptr, MSceneMessage::kAfterOpen, nullptr, onSceneOpened, nullptr, 4},
    {CallbackKind::kScene, nullptr, MSceneMessage::kAfterImport, nullptr, onAfterImport, nullptr, 5},
    {CallbackKind::kScene, nullptr, MSceneMessage::kBeforeSoftwareRender, nullptr, onSoftwareRender, nullptr, 14},
    {CallbackKind::kScene, nullptr, MSceneMessage::kAfterSoftwareRender, nullptr, onSoftwareRender, nullptr, 15},
    {CallbackKind::kNodeAdded, "dependNode", MSceneMessage::kSceneUpdate, onNodeAdded, nullptr, nullptr, 17},
    {CallbackKind::kScene, nullptr, MSceneMessage::kMayaExiting, nullptr, onReleaseViewportResources, nullptr, 16},
    {CallbackKind::kScene, nullptr, MSceneMessage::kBeforeNew, nullptr, zovSolverNode::onSceneChange, nullptr, 6},
    {CallbackKind::kScene, nullptr, MSceneMessage::kBeforeOpen, nullptr, zovSolverNode::onSceneChange, nullptr, 7},
    {CallbackKind::kScene, nullptr, MSceneMessage::kBeforeImport, nullptr, onBeforeImport, nullptr, 20},
    {CallbackKind::kNameChanged, nullptr, MSceneMessage::kSceneUpdate, nullptr, nullptr, nullptr, 21, onNodeRenamed},
};

/// The installed callbacks' ids, one slot per row of kCallbacks; empty when
/// not installed.
std::vector<std::optional<MCallbackId>> g_callbackIds;

/// Keeps the first failure: a later success must not hide it.
void record(MStatus& result, const MStatus& status) {
  if (result && !status) result = status;
}

/// Installs a callback; its status is not part of the load's result.
std::optional<MCallbackId> install(const CallbackRow& row) {
  MStatus status;
  MCallbackId id = 0;
  switch (row.kind) {
    case CallbackKind::kNodeRemoved:
      id = MDGMessage::addNodeRemovedCallback(row.nodeHandler, row.subject, nullptr, &status);
      break;
    case CallbackKind::kNodeAdded:
      id = MDGMessage::addNodeAddedCallback(row.nodeHandler, row.subject, nullptr, &status);
      break;
    case CallbackKind::kEvent:
      id = MEventMessage::addEventCallback(row.subject, row.basicHandler, nullptr, &status);
      break;
    case CallbackKind::kScene:
      id = MSceneMessage::addCallback(row.sceneMessage, row.basicHandler, nullptr, &status);
      break;
    case CallbackKind::kNameChanged: {
      MObject everyNode;
      id = MNodeMessage::addNameChangedCallback(everyNode, row.nameHandler, nullptr, &status);
      break;
    }
  }
  if (!status) return std::nullopt;
  return id;
}

void installCallbacksAfter(const char* nodeType) {
  for (size_t i = 0; i < kCallbacks.size(); ++i)
    if (kCallbacks[i].afterNodeType && MString(kCallbacks[i].afterNodeType) == nodeType)
      g_callbackIds[i] = install(kCallbacks[i]);
}

void registerNodeTypes(MFnPlugin& plugin, bool afterDrawOverrides, MStatus& result) {
  for (const NodeTypeRow& row : kNodeTypes) {
    if (row.afterDrawOverrides != afterDrawOverrides) continue;
    const MString classification(row.classification ? row.classification : "");
    record(result, plugin.registerNode(row.name, *row.id, row.creator, row.initialize, row.kind,
                                       row.classification ? &classification : nullptr));
    installCallbacksAfter(row.name);
  }
}

const NodeTypeRow* findNodeType(const char* name) {
  for (const NodeTypeRow& row : kNodeTypes)
    if (MString(row.name) == name) return &row;
  return nullptr;
}

}  // namespace

MStatus initializePlugin(MObject object) {
  // Every module-wide variable starts at its initial value, as when the
  // system maps the module anew, also when it kept the module mapped since
  // an earlier load.
  zov::platform::resetModuleState();
  MStatus result = MS::kSuccess;
  MFnPlugin plugin(object, kVendor, kVersion, kRequiredApiVersion);
  runQuietly(kSourceUserInterface);

  // Fracture bodies take part in their solvers' frames, and give their
  // pieces the group of the shatter that cut them.
  FractureBodyNode::registerParticipant();
  registerShatterGroupFinder(findShatterGroupNumber);
  g_callbackIds.assign(kCallbacks.size(), std::nullopt);
  registerNodeTypes(plugin, false, result);
  for (const DrawOverrideRow& row : kDrawOverrides)
    record(result,
           MHWRender::MDrawRegistry::registerDrawOverrideCreator(row.classification, row.registrant, row.creator));
  registerNodeTypes(plugin, true, result);

  for (const CommandRow& row : kCommands)
    record(result, row.isContext ? plugin.registerContextCommand(row.name, row.creator)
                                 : plugin.registerCommand(row.name, row.creator, row.syntax));

  for (size_t i = 0; i < kCallbacks.size(); ++i)
    if (!kCallbacks[i].afterNodeType) g_callbackIds[i] = install(kCallbacks[i]);

  for (const char* line : kLoadScript) runQuietly(line);
  return result;
}

MStatus uninitializePlugin(MObject object) {
  if (object.isNull()) return MS::kFailure;
  for (const char* line : kUnloadScript) runQuietly(line);
  MFnPlugin plugin(object, "Unknown", "Unknown", kRequiredApiVersion);

  // The solver goes first: its removal destroys the engine world.
  if (const NodeTypeRow* solver = findNodeType(kSolverNodeName)) plugin.deregisterNode(*solver->id);

  std::vector<size_t> installed;
  for (size_t i = 0; i < g_callbackIds.size(); ++i)
    if (g_callbackIds[i]) installed.push_back(i);
  std::stable_sort(installed.begin(), installed.end(),
                   [](size_t a, size_t b) { return kCallbacks[a].removalOrder < kCallbacks[b].removalOrder; });
  for (size_t i : installed) MMessage::removeCallback(*g_callbackIds[i]);
  g_callbackIds.clear();

  for (const CommandRow& row : kCommands)
    if (row.isContext) plugin.deregisterContextCommand(row.name);
  for (auto row = kCommands.rbegin(); row != kCommands.rend(); ++row)
    if (!row->isContext) plugin.deregisterCommand(row->name);

  for (const char* name : kNodeDeregistrationOrder)
    if (const NodeTypeRow* row = findNodeType(name)) plugin.deregisterNode(*row->id);

  MStatus result = MS::kSuccess;
  for (const DrawOverrideRow& row : kDrawOverrides)
    result = MHWRender::MDrawRegistry::deregisterDrawOverrideCreator(row.classification, row.registrant);
  // The agents' graphics objects go with the module, whether or not they were used.
  releaseDrawAgents();
  registerShatterGroupFinder(nullptr);
  deregisterFrameParticipant(FractureBodyNode::id);
  return result;
}
