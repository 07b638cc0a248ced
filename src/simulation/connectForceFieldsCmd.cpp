#include "src/simulation/connectForceFieldsCmd.h"

#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MItDag.h>
#include <maya/MItDependencyNodes.h>
#include <maya/MPlugArray.h>

#include "src/commandArguments.h"
#include "src/commandSelection.h"
#include "src/hostUtilities.h"
#include "src/nodeLinks.h"
#include "src/simulation/solverNode.h"
#include "src/userInput.h"

namespace {

constexpr CommandFlag kConnectFlag{"-con", "-connect"};
constexpr CommandFlag kBodyNameFlag{"-bn", "-bodyName", MSyntax::kString};
constexpr CommandFlag kFractureBodyNameFlag{"-fbn", "-fbodyName", MSyntax::kString};
constexpr CommandFlag kConnectAllFlag{"-cal", "-connectAll", MSyntax::kString};

const char* const kRigidBodyType = "zovRigidBody";
const char* const kFractureBodyType = "zovFbodyNode";
const char* const kFieldLink = "zovfield";
const char* const kFieldList = "fieldList";
const char* const kTakesFields = "affectForceFields";

/// Host force fields: the dynamics fields and the volume axis field.
bool isForceField(const MObject& node) {
  const MFn::Type type = node.apiType();
  return (type >= MFn::kField && type <= MFn::kVortex) || type == MFn::kVolumeAxis;
}

}  // namespace

MSyntax connectForceFieldsCmd::newSyntax() {
  return commandSyntax({kConnectFlag, kBodyNameFlag, kFractureBodyNameFlag, kConnectAllFlag}, kSelectedObjects);
}

MStatus connectForceFieldsCmd::redoIt() {
  if (!arguments.parsed()) return MS::kFailure;
  const bool connect = arguments.isSet(kConnectFlag);
  const bool connectAll = arguments.isSet(kConnectAllFlag);
  if (!connect && !connectAll) return failWithError("invalid arguments");
  selection = arguments.objects();
  if (!modifier) modifier = std::make_unique<MDagModifier>();

  MString fractureBody, body, field;
  arguments.read(kFractureBodyNameFlag, fractureBody);
  arguments.read(kBodyNameFlag, body);
  arguments.read(kConnectAllFlag, field);
  if (fractureBody.length() > 0) return connectSelected(kFractureBodyType, fractureBody);
  if (body.length() > 0) return connectSelected(kRigidBodyType, body);
  if (connectAll) return connectToAll(field);
  return MS::kSuccess;
}

MStatus connectForceFieldsCmd::connectSelected(const MString& typeName, const MString& bodyName) {
  MObject body;
  for (MItDependencyNodes it(MFn::kPluginDependNode); !it.isDone(); it.next()) {
    const MFnDependencyNode fn(it.thisNode());
    if (fn.typeName() == typeName && fn.name() == bodyName) {
      body = it.thisNode();
      break;
    }
  }
  // The interface names bodies that may be gone: the command succeeds, as
  // with a body found, but says that nothing was connected.
  if (body.isNull()) {
    MGlobal::displayWarning("zovConnectForceFields: no " + typeName + " is named " + quotedArgument(bodyName) +
                            ", no field is connected");
    return MS::kSuccess;
  }
  const MPlug fieldList = MFnDependencyNode(body).findPlug(kFieldList, true);
  if (fieldList.isNull()) {
    MGlobal::displayWarning("zovConnectForceFields: " + bodyName + " takes no fields, no field is connected");
    return MS::kSuccess;
  }

  disconnectAllConnections(fieldList, *modifier);
  unsigned int next = 0;
  for (const MObject& node : selectedDependNodes(selection)) {
    if (!isForceField(node)) continue;
    const MPlug link = MFnDependencyNode(node).findPlug(kFieldLink, true);
    if (link.isNull()) continue;
    const MPlug target = fieldList.isArray() ? fieldList.elementByLogicalIndex(next) : fieldList;
    // A link the host refuses leaves its element to the next field.
    if (modifier->connect(link, target) && modifier->doIt()) ++next;
  }
  return MS::kSuccess;
}

MStatus connectForceFieldsCmd::connectToAll(const MString& fieldName) {
  MObject field;
  for (MItDag it(MItDag::kDepthFirst, MFn::kField); !it.isDone(); it.next())
    if (MFnDependencyNode(it.currentItem()).name() == fieldName) {
      field = it.currentItem();
      break;
    }
  if (field.isNull()) return failWithError("no field found");
  const MPlug link = MFnDependencyNode(field).findPlug(kFieldLink, true);
  if (link.isNull()) return failWithError(" zovfield attribute not found");
  const MObject solver = findSolverNode(true);
  if (solver.isNull()) return failWithError("no zov solver found");
  for (const MObject* bodies : {&zovSolverNode::rigidBodies, &zovSolverNode::fractureBodies}) {
    const MPlugArray plugs = connectedPlugs(solver, *bodies);
    for (unsigned int i = 0; i < plugs.length(); ++i) {
      const MPlug takes = MFnDependencyNode(plugs[i].node()).findPlug(kTakesFields, true);
      if (!takes.isNull() && takes.asBool()) linkToNextFree(link, plugs[i].node());
    }
  }
  return MS::kSuccess;
}

bool connectForceFieldsCmd::linkToNextFree(const MPlug& field, const MObject& body) {
  const MPlug fieldList = MFnDependencyNode(body).findPlug(kFieldList, true);
  if (fieldList.isNull()) return false;
  MPlug target = fieldList;
  if (fieldList.isArray()) {
    // In a sparse list the element count may name a linked element: the
    // first free one from there on takes the field.
    unsigned int index = fieldList.numElements();
    while (fieldList.elementByLogicalIndex(index).isDestination()) ++index;
    target = fieldList.elementByLogicalIndex(index);
  }
  return modifier->connect(field, target) && modifier->doIt();
}
