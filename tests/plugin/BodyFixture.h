#pragma once

#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MPlugArray.h>

#include <string>

#include "PluginFixture.h"
#include "engine/PublicWorld.h"
#include "src/simulation/rigidBodyNode.h"
#include "src/simulation/solverNode.h"
#include "testing/HostTesting.h"

/// A host with the module loaded, in which tests make solvers and rigid
/// bodies wired as the body command wires them.
class BodyTest : public PluginTest {
 protected:
  /// A new solver driven by time; answers its name.
  static std::string makeSolver() {
    MString name;
    MGlobal::executeCommand("createNode zovSolverNode", name);
    run("connectAttr time1.outTime " + name.str() + ".inTime");
    return name.str();
  }

  static zovSolverNode& solverNode(const std::string& name) {
    return *static_cast<zovSolverNode*>(MFnDependencyNode(node(name)).userNode());
  }

  static rigidBodyNode& bodyNode(const std::string& name) {
    return *static_cast<rigidBodyNode*>(MFnDependencyNode(node(name)).userNode());
  }

  /// A w x h x d box moved to `translate` (given as "x y z") and turned by
  /// `rotate` ("x y z", degrees), with a collision shape of the given type
  /// and a rigid body under its transform linked to the solver (none when
  /// empty). Answers the rigid body's name, `<box>Body`.
  static std::string makeBoxBody(const std::string& box, double w, double h, double d, const std::string& translate,
                                 const std::string& rotate, int type, const std::string& solver) {
    run("polyCube -w " + std::to_string(w) + " -h " + std::to_string(h) + " -d " + std::to_string(d) + " -n " + box);
    setVector(box + ".translate", translate);
    setVector(box + ".rotate", rotate);
    return attachBody(box, box + "Shape", type, solver);
  }

  /// A collision shape of `type` on the mesh and a rigid body under the
  /// transform; answers the rigid body's name.
  static std::string attachBody(const std::string& transform, const std::string& mesh, int type,
                                const std::string& solver) {
    const std::string shape = transform + "Collider";
    const std::string body = transform + "Body";
    run("createNode zovCollisionShape -n " + shape);
    run("connectAttr " + mesh + ".worldMesh[0] " + shape + ".inShape");
    run("setAttr " + shape + ".type " + std::to_string(type));
    run("createNode zovRigidBody -p " + transform + " -n " + body);
    if (!solver.empty()) run("connectAttr " + solver + ".rigidBodies " + body + ".solver");
    run("connectAttr " + shape + ".outCollisionType " + body + ".inCollisionType");
    return body;
  }

  /// Sets the three children of a compound plug, named by the suffixes.
  static void setVector(const std::string& plug, const std::string& xyz, const char* suffixes = "XYZ") {
    size_t start = 0;
    for (int k = 0; k < 3; ++k) {
      const size_t end = xyz.find(' ', start);
      run("setAttr " + plug + suffixes[k] + " " + xyz.substr(start, end - start));
      start = end == std::string::npos ? end : end + 1;
    }
  }

  static double getDouble(const std::string& plug) {
    double value = 0.0;
    MGlobal::executeCommand(("getAttr " + plug).c_str(), value);
    return value;
  }

  /// A solver with its settings in the world, the engine bodies and frame
  /// caches of the rigid bodies linked to it so far and a playback range of first .. last; the time at first.
  static void prepareSimulation(const std::string& solver, int first, int last) {
    // The bodies are made and take their settings, as the body command has them do.
    MPlugArray bodies;
    MPlug(node(solver), zovSolverNode::rigidBodies).connectedTo(bodies, true, true);
    for (unsigned int i = 0; i < bodies.length(); ++i)
      static_cast<rigidBodyNode*>(MFnDependencyNode(bodies[i].node()).userNode())->pullAll();
    run("playbackOptions -min " + std::to_string(first) + " -max " + std::to_string(last));
    run("getAttr " + solver + ".ca_solverParams");
    run("getAttr " + solver + ".ca_cacheSize");
    zovhost::testing::flushIdleQueue();
    run("currentTime " + std::to_string(first));
  }

  /// Goes to a frame as the host's time slider does.
  static void frame(int f) { run("currentTime " + std::to_string(f)); }
};
