#pragma once

#include <maya/MObject.h>
#include <maya/MPxNode.h>
#include <maya/MTransformationMatrix.h>

#include <memory>

namespace zovhost {

class NodeImpl;
class NodeType;
class NodeTypeRegistry;

/// The host's transform ("transform", function-set type kTransform): a DAG
/// node whose attributes hold the parts of an MTransformationMatrix
/// (translate, rotate with its rotate order, scale, shear, the pivots and
/// their translations, the rotate axis) and whose matrix composes them. Its
/// rest position is kept beside the attributes and is not stored in scenes.
class TransformNode : public MPxNode {
 public:
  static void* creator() { return new TransformNode; }
  static MStatus initialize();

  static MObject translate;
  static MObject rotate;
  static MObject rotateOrder;
  static MObject scale;
  static MObject shear;
  static MObject rotatePivot;
  static MObject rotatePivotTranslate;
  static MObject scalePivot;
  static MObject scalePivotTranslate;
  static MObject rotateAxis;
  static MObject inheritsTransform;
  /// Message input: what places the transform (a motion path).
  static MObject specifiedManipLocation;

  /// The transformation in a transform node's attributes, made current first.
  static MTransformationMatrix transformation(const std::shared_ptr<NodeImpl>& node);
  /// Writes the parts of a transformation that differ from the node's
  /// attributes. Refused, writing nothing, when one of those attributes is
  /// locked or driven by a connection.
  static MStatus setTransformation(const std::shared_ptr<NodeImpl>& node, const MTransformationMatrix& value);
  /// Gives another node type the transform's attributes and their
  /// dependencies (types derived from the transform call it first in their
  /// initialize; "transform" must be registered).
  static void inheritInto(NodeType& type);
  /// The plug-in object of a transform node (null for other nodes).
  static TransformNode* of(const std::shared_ptr<NodeImpl>& node);

  MTransformationMatrix restPosition;
};

/// Registers the "transform" node type with the host's own types.
void registerTransformNodeType(NodeTypeRegistry& registry);

}  // namespace zovhost
