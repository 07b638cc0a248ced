#pragma once

#include <maya/MBoundingBox.h>
#include <maya/MDagPath.h>
#include <maya/MDataBlock.h>
#include <maya/MMatrix.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MPxNode.h>
#include <maya/MStatus.h>

#include <memory>
#include <string>
#include <vector>

namespace zovhost {

class Graph;
class NodeImpl;
class NodeType;

/// The attributes every DAG node has, and what the host computes for them:
/// the node's own matrix ("matrix", the identity but for transforms), and
/// per instance its world matrix and its parent's, with their inverses.
/// A world matrix follows the node's parents: it becomes dirty when the
/// parent's does.
class DagNode {
 public:
  static MObject visibility;
  static MObject intermediateObject;
  static MObject matrix;
  static MObject inverseMatrix;
  static MObject worldMatrix;
  static MObject worldInverseMatrix;
  static MObject parentMatrix;
  static MObject parentInverseMatrix;

  /// Gives a node type the DAG node's attributes (before its own), their
  /// dependencies, its type name and the host's compute of them. Called
  /// before the type's own initialize, which may then refer to them.
  static void inherit(NodeType& type);

  /// The host's compute of the DAG node's attributes (kUnknownParameter for others).
  static MStatus compute(const MPlug& plug, MDataBlock& block);

  /// The node's own matrix: a transform's composed transformation, else the identity.
  static MMatrix localMatrix(const std::shared_ptr<NodeImpl>& node);
  /// The world matrix of one instance of a node (the identity when there is none).
  static MMatrix worldMatrixOf(const std::shared_ptr<NodeImpl>& node, unsigned int instance);

 private:
  static void createAttributes();
};

/// A shape of the host's own that knows its box in its own space (the mesh).
class HostShape : public MPxNode {
 public:
  virtual MBoundingBox objectBoundingBox() const = 0;
};

/// True for DAG nodes that are not transforms: shapes, which need a transform above them.
bool isShapeNode(const NodeImpl& node);

/// Makes a node of a DAG type and adds it to the scene at once (not undoable)
/// under parent, which must be a transform; a shape given no parent gets a
/// new transform (returned through madeParent). name, when not empty, is the
/// requested name. Returns null (with the reason in status) on failure,
/// leaving nothing behind.
std::shared_ptr<NodeImpl> createDagNode(const std::shared_ptr<NodeType>& type, const std::shared_ptr<NodeImpl>& parent,
                                        const std::string& name, std::shared_ptr<NodeImpl>* madeParent,
                                        MStatus* status);

/// The path a name means: a DAG path name ("group1|pCube1", "|group1|pCube1")
/// names that path; a node name alone the node's first path. Invalid when
/// nothing matches.
MDagPath dagPathNamed(const std::string& name);

/// Keeps a DAG node and everything below it in step with a change of their
/// paths: one element of each world-space array per instance, and the world
/// matrices dirty.
void dagHierarchyChanged(Graph& graph, NodeImpl& node);

/// The plugs that become dirty below a DAG node when one of its plugs does:
/// the children's parent matrices when its world matrix changes.
void dagHierarchyDependents(const MPlug& changed, std::vector<MPlug>& dependents);

/// A matrix plug's value (the identity when it holds none).
MMatrix matrixValue(const MPlug& plug);

}  // namespace zovhost
