// zovinspect: a small plug-in module for the example scenes. It links the zov
// module, as modules built on its classes do, and asks its nodes what they
// hold:
//
//   inspectCollisionShape NODE
//
// brings a collision shape node's engine mesh up to date (as a body node
// would before building its body) and prints and answers its face and vertex
// counts; both are 0 when the node has no mesh.
//
//   inspectRigidBody NODE
//
// asks a rigid body node for its engine body (pulling the node's body and
// parameters, as the solver does) and prints the body's kind, mass,
// position, restitution, friction and dampings with four decimals, so that
// the text is the same on every machine; answers the kind's name, or ""
// when the node has no engine body.
//
//   inspectWorld
//
// prints the engine world's gravity (four decimals) and its numbers of
// moving and static bodies; answers the number of bodies (-1 without a
// world).
//
//   inspectTransform NODE
//
// prints a transform's translation and rotation (degrees) with three
// decimals, which no machine or thread count changes; answers nothing.
//
//   inspectFractureBody NODE
//
// prints how many of a fracture body node's joints are active, into how many
// parts its engine fracture body moves (1 while whole), and the names of the
// active joints' nodes; answers the number of active joints (-1 without an
// engine fracture body).
//
//   inspectFragments NODE
//
// prints the fragments a fracture body node's engine fracture body moves as
// (the body itself while whole, else its child fracture bodies and its free
// pieces, each child taken apart the same way when it split in turn) and
// each fragment's lowest point: the least height (y, four decimals) of its
// pieces' world meshes; answers the number of fragments (-1 without an
// engine fracture body).
#include <maya/MArgList.h>
#include <maya/MEulerRotation.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnPlugin.h>
#include <maya/MFnTransform.h>
#include <maya/MGlobal.h>
#include <maya/MIntArray.h>
#include <maya/MPxCommand.h>
#include <maya/MSelectionList.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <maya/MDagPath.h>
#include <maya/MFnMesh.h>
#include <maya/MStringArray.h>

#include "engine/MeshFactory.h"
#include "engine/PublicWorld.h"
#include "engine/bodies/DynamicStress.h"
#include "engine/bodies/PrivateHardBody.h"
#include "engine/fracture/FractureBody.h"
#include "geometry/MassProperties.h"
#include "src/fracture/fractureBodyNode.h"
#include "src/fracture/sceneStress.h"
#include "src/meshes/meshConversion.h"
#include "src/simulation/collisionShapeNode.h"
#include "src/simulation/rigidBodyNode.h"

// Bound to this module's own copy: in a process that links the zov module,
// whose version text has the same name, the host still reads this one, and
// the sanitizer sees two globals rather than one registered twice.
extern "C" __attribute__((visibility("protected"))) const char MApiVersion[] = "20180000";

namespace {

const char* const kCommandName = "inspectCollisionShape";
const char* const kBodyCommandName = "inspectRigidBody";
const char* const kWorldCommandName = "inspectWorld";
const char* const kTransformCommandName = "inspectTransform";
const char* const kShardsCommandName = "inspectShards";
const char* const kFractureCommandName = "inspectFractureBody";
const char* const kFragmentsCommandName = "inspectFragments";

const char* kindName(eHBodyType kind) {
  switch (kind) {
    case kPhantomBody:
      return "phantom";
    case kCapsuleBody:
      return "capsule";
    case kHullBody:
      return "hull";
    case kTriMeshBody:
      return "triangle mesh";
    case kFractureBody:
      return "fracture";
    case kCrackerBody:
      return "cracker";
    case kBarrierBody:
      return "barrier";
  }
  return "unknown";
}

/// A number with a number of decimals (four unless said); a negative zero
/// is written without its sign.
std::string fixed(double value, int decimals = 4) {
  char text[64];
  std::snprintf(text, sizeof(text), "%.*f", decimals, value);
  std::string written = text;
  if (written.front() == '-' && written.find_first_not_of("-0.") == std::string::npos) written.erase(0, 1);
  return written;
}

class InspectRigidBodyCmd : public MPxCommand {
 public:
  static void* creator() { return new InspectRigidBodyCmd; }

  MStatus doIt(const MArgList& args) override {
    MSelectionList list;
    MObject node;
    if (args.length() != 1 || !list.add(args.asString(0)) || !list.getDependNode(0, node)) {
      MGlobal::displayError(MString(kBodyCommandName) + ": give one rigid body node");
      return MS::kFailure;
    }
    MFnDependencyNode fn(node);
    if (fn.typeId() != rigidBodyNode::id || !fn.userNode()) {
      MGlobal::displayError(MString(kBodyCommandName) + ": " + fn.name() + " is not a rigid body node");
      return MS::kFailure;
    }
    const HardBody* body = static_cast<rigidBodyNode*>(fn.userNode())->engineBody(true);
    if (body == nullptr) {
      MGlobal::displayInfo(fn.name() + ": no engine body");
      setResult(MString());
      return MS::kSuccess;
    }
    const Mgc::MgcVector3& p = body->getDyn().position;
    const std::string text = std::string(kindName(body->getType())) + " body of mass " + fixed(body->getMass()) +
                             " at (" + fixed(p.x) + ", " + fixed(p.y) + ", " + fixed(p.z) + "), bounciness " +
                             fixed(body->getRestitutionCoeff()) + ", friction " + fixed(body->getFrictionCoeff()) +
                             ", dampings " + fixed(body->getAirDampingCoeff()) + " and " +
                             fixed(body->getAirDampingCoeff2());
    MGlobal::displayInfo(fn.name() + ": " + text.c_str());
    setResult(MString(kindName(body->getType())));
    return MS::kSuccess;
  }
};

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

class InspectWorldCmd : public MPxCommand {
 public:
  static void* creator() { return new InspectWorldCmd; }

  MStatus doIt(const MArgList&) override {
    if (theWorld == nullptr) {
      MGlobal::displayInfo("no engine world");
      setResult(-1);
      return MS::kSuccess;
    }
    const Mgc::MgcVector3 g = theWorld->GetGravity();
    const int all = theWorld->getNumberOfBodies();
    const int fixedBodies = theWorld->getNumberOfStaticBodies();
    const std::string text = "engine world: gravity (" + fixed(g.x) + ", " + fixed(g.y) + ", " + fixed(g.z) + "), " +
                             std::to_string(all - fixedBodies) + " moving and " + std::to_string(fixedBodies) +
                             " static bodies";
    MGlobal::displayInfo(text.c_str());
    setResult(all);
    return MS::kSuccess;
  }
};

/// inspectShards GROUP: prints the number of meshes under the group's
/// children (the first mesh shape of each) and their summed volume (four decimals), from the meshes as the
/// shatter tools read them.
class InspectShardsCmd : public MPxCommand {
 public:
  static void* creator() { return new InspectShardsCmd; }

  MStatus doIt(const MArgList& arguments) override {
    MSelectionList list;
    MDagPath group;
    if (arguments.length() != 1 || !list.add(arguments.asString(0)) || !list.getDagPath(0, group)) {
      MGlobal::displayError("inspectShards: name one group");
      return MS::kFailure;
    }
    int shards = 0;
    double volume = 0.0;
    for (unsigned int c = 0; c < group.childCount(); ++c) {
      MDagPath shard = group;
      shard.push(group.child(c));
      // A shard made a body holds its body's locator beside its mesh.
      MDagPath meshPath;
      for (unsigned int k = 0; k < shard.childCount() && !meshPath.isValid(); ++k) {
        MDagPath shape = shard;
        shape.push(shard.child(k));
        if (shape.hasFn(MFn::kMesh)) meshPath = shape;
      }
      if (!meshPath.isValid()) continue;
      MFnMesh mesh(meshPath);
      MStringArray uvSets;
      ZOV_DFmesh* engine = mayaMeshToEngineMesh(mesh, MIntArray(), uvSets, MString());
      if (!engine) continue;
      ++shards;
      volume += meshVolume(*engine);
      deleteDFmesh(&engine);
    }
    MGlobal::displayInfo((group.partialPathName().asChar() + std::string(": ") + std::to_string(shards) +
                          " shards of volume " + fixed(volume))
                             .c_str());
    setResult(shards);
    return MS::kSuccess;
  }
};

class InspectTransformCmd : public MPxCommand {
 public:
  static void* creator() { return new InspectTransformCmd; }

  MStatus doIt(const MArgList& args) override {
    MSelectionList list;
    MObject node;
    if (args.length() != 1 || !list.add(args.asString(0)) || !list.getDependNode(0, node) ||
        !node.hasFn(MFn::kTransform)) {
      MGlobal::displayError(MString(kTransformCommandName) + ": give one transform");
      return MS::kFailure;
    }
    MFnTransform fn(node);
    const MVector t = fn.getTranslation(MSpace::kTransform);
    MEulerRotation r;
    fn.getRotation(r);
    constexpr int kDecimals = 3;
    const double degrees = 180.0 / M_PI;
    const std::string text = fn.name().asChar() + std::string(": translate (") + fixed(t.x, kDecimals) + ", " +
                             fixed(t.y, kDecimals) + ", " + fixed(t.z, kDecimals) + "), rotate (" +
                             fixed(r.x * degrees, kDecimals) + ", " + fixed(r.y * degrees, kDecimals) + ", " +
                             fixed(r.z * degrees, kDecimals) + ")";
    MGlobal::displayInfo(text.c_str());
    return MS::kSuccess;
  }
};

/// A fragment: bodies that move as one, and the pieces they are made of.
struct Fragment {
  HardBody* body;
  std::vector<PrivateHardBody*> pieces;
};

/// The fragments a fracture body moves as: itself while whole, else its free
/// pieces and its child fracture bodies' fragments.
std::vector<Fragment> fragmentsOf(FractureBody& body) {
  if (!body.isSplitted()) return {{&body, valuesOf(body.getPieces())}};
  std::vector<Fragment> fragments;
  for (PrivateHardBody* free : valuesOf(body.getDisconnectedBodies())) fragments.push_back({free, {free}});
  for (HardBody* child : valuesOf(body.getChildBodies()))
    for (Fragment& fragment : fragmentsOf(*static_cast<FractureBody*>(child))) fragments.push_back(fragment);
  return fragments;
}

/// The least height of the pieces' world meshes; +infinity without one.
double lowestPoint(const std::vector<PrivateHardBody*>& pieces) {
  double lowest = HUGE_VAL;
  for (PrivateHardBody* piece : pieces) {
    piece->updateWorldData();
    const ZOVmesh* mesh = piece->getWorldMesh();
    if (mesh == nullptr || mesh->worldVertices == nullptr) continue;
    for (std::uint32_t v = 0; v < mesh->numVertices; ++v) lowest = std::min(lowest, mesh->worldVertices[v].y);
  }
  return lowest;
}

/// The fracture body node a command names, or null after an error message.
const FractureBodyNode* fractureNodeNamed(const MArgList& args, const char* command, MObject& node) {
  MSelectionList list;
  if (args.length() != 1 || !list.add(args.asString(0)) || !list.getDependNode(0, node) ||
      MFnDependencyNode(node).typeId() != FractureBodyNode::id) {
    MGlobal::displayError(MString(command) + ": give one fracture body node");
    return nullptr;
  }
  return static_cast<const FractureBodyNode*>(MFnDependencyNode(node).userNode());
}

class InspectFractureBodyCmd : public MPxCommand {
 public:
  static void* creator() { return new InspectFractureBodyCmd; }

  MStatus doIt(const MArgList& args) override {
    MObject node;
    const FractureBodyNode* fracture = fractureNodeNamed(args, kFractureCommandName, node);
    if (fracture == nullptr) return MS::kFailure;
    FractureBody* body = fracture->getFractureBody();
    if (body == nullptr) {
      MGlobal::displayInfo(MFnDependencyNode(node).name() + ": no engine fracture body");
      setResult(-1);
      return MS::kSuccess;
    }
    int active = 0;
    std::string names;
    for (unsigned int i = 0; i < fracture->numStresses(); ++i) {
      const SceneStress* joint = fracture->stressNodeAt(i);
      if (joint == nullptr || joint->getJoint() == nullptr || !joint->getJoint()->isActive()) continue;
      ++active;
      names += std::string(" ") + joint->nodeName().asChar();
    }
    const std::string text = MFnDependencyNode(node).name().asChar() + std::string(": ") + std::to_string(active) +
                             " of " + std::to_string(fracture->numStresses()) + " joints active, " +
                             std::to_string(fragmentsOf(*body).size()) + " parts;" + names;
    MGlobal::displayInfo(text.c_str());
    setResult(active);
    return MS::kSuccess;
  }
};

class InspectFragmentsCmd : public MPxCommand {
 public:
  static void* creator() { return new InspectFragmentsCmd; }

  MStatus doIt(const MArgList& args) override {
    MObject node;
    const FractureBodyNode* fracture = fractureNodeNamed(args, kFragmentsCommandName, node);
    if (fracture == nullptr) return MS::kFailure;
    const std::string name = MFnDependencyNode(node).name().asChar();
    FractureBody* body = fracture->getFractureBody();
    if (body == nullptr) {
      MGlobal::displayInfo((name + ": no engine fracture body").c_str());
      setResult(-1);
      return MS::kSuccess;
    }
    const std::vector<Fragment> fragments = fragmentsOf(*body);
    MGlobal::displayInfo((name + ": " + std::to_string(fragments.size()) + " fragments").c_str());
    for (size_t i = 0; i < fragments.size(); ++i) {
      const Fragment& fragment = fragments[i];
      const bool free = fragment.pieces.size() == 1 && fragment.body == fragment.pieces.front();
      MGlobal::displayInfo(("fragment " + std::to_string(i + 1) + ": " + (free ? "free piece" : "fracture body") +
                            " of " + std::to_string(fragment.pieces.size()) + " pieces, lowest point " +
                            fixed(lowestPoint(fragment.pieces)))
                               .c_str());
    }
    setResult(static_cast<int>(fragments.size()));
    return MS::kSuccess;
  }
};

}  // namespace

extern "C" MStatus initializePlugin(MObject object) {
  MFnPlugin plugin(object, "zov tools", "1.0", "Any");
  const MStatus shapes = plugin.registerCommand(kCommandName, InspectCollisionShapeCmd::creator);
  const MStatus bodies = plugin.registerCommand(kBodyCommandName, InspectRigidBodyCmd::creator);
  const MStatus world = plugin.registerCommand(kWorldCommandName, InspectWorldCmd::creator);
  const MStatus transforms = plugin.registerCommand(kTransformCommandName, InspectTransformCmd::creator);
  const MStatus shards = plugin.registerCommand(kShardsCommandName, InspectShardsCmd::creator);
  const MStatus fractures = plugin.registerCommand(kFractureCommandName, InspectFractureBodyCmd::creator);
  const MStatus fragments = plugin.registerCommand(kFragmentsCommandName, InspectFragmentsCmd::creator);
  for (const MStatus& status : {shapes, bodies, world, shards, fractures, fragments})
    if (!status) return status;
  return transforms;
}

extern "C" MStatus uninitializePlugin(MObject object) {
  if (object.isNull()) return MS::kFailure;
  MFnPlugin plugin(object);
  const MStatus fragments = plugin.deregisterCommand(kFragmentsCommandName);
  const MStatus fractures = plugin.deregisterCommand(kFractureCommandName);
  const MStatus shards = plugin.deregisterCommand(kShardsCommandName);
  const MStatus transforms = plugin.deregisterCommand(kTransformCommandName);
  const MStatus world = plugin.deregisterCommand(kWorldCommandName);
  const MStatus bodies = plugin.deregisterCommand(kBodyCommandName);
  const MStatus shapes = plugin.deregisterCommand(kCommandName);
  for (const MStatus& status : {shapes, bodies, world, shards, fractures, fragments})
    if (!status) return status;
  return transforms;
}
