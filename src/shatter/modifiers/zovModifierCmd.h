#pragma once

#include <maya/MDGModifier.h>
#include <maya/MDagModifier.h>
#include <maya/MDagPath.h>
#include <maya/MFloatVectorArray.h>
#include <maya/MIntArray.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MPxCommand.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MTypeId.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

/// Reads a float3 plug's value through its numeric data object.
MStatus readFloat3Plug(const MPlug& plug, float& x, float& y, float& z);
/// A new three-float numeric data object holding the value.
MObject makeFloat3Data(float x, float y, float z);

/// What one connectModifierNodes works with.
struct ModifierLinkData {
  MObject meshTransform;
  MObject meshShape;
  MPlug meshInPlug;
  MObject meshInAttr;
  MObject upstreamTransform;
  MObject upstreamShape;
  MPlug upstreamOutPlug;
  MObject upstreamOutAttr;
  MObject firstNodeOutAttr;
  MObject firstNodeInAttr;
  MObject secondNodeOutAttr;
  MObject secondNodeInAttr;
  MObject tweakNode;
  MObject tweakNodeOutAttr;
  MObject tweakNodeInAttr;
};

/// Base of the commands that change a polygon mesh by putting two modifier
/// nodes of one type into its construction history (the first set up by the
/// subclass, the second a pass-through next to the mesh), so that the change
/// stays live and can be undone and redone. The mesh's vertex tweaks move
/// into a "polyTweak" node ahead of them, a mesh without history gets an
/// intermediate copy of its unchanged shape to feed them, and the shading of
/// its faces is put back once the new history has computed. A mesh without
/// history while history recording is off is changed directly by the
/// subclass instead, the unchanged mesh kept for undo.
///
/// A caller sets the mesh, the node type and the first node's operation,
/// then runs applyModifier once; undoModifier and redoModifier may follow
/// alternately.
class zovModifierCmd : public MPxCommand {
 public:
  zovModifierCmd();
  ~zovModifierCmd() override;
  zovModifierCmd(const zovModifierCmd&) = delete;
  zovModifierCmd& operator=(const zovModifierCmd&) = delete;

  /// Sets up the first node before it is connected; the base does nothing.
  virtual MStatus initModifierNode(MObject node);
  /// Changes the mesh shape itself (no history, no recording); the base does nothing.
  virtual MStatus directModifier(MObject mesh);

  MStatus applyModifier();
  MStatus undoModifier();
  MStatus redoModifier();

  /// The mesh to change (a transform is extended to its shape).
  void setMeshPath(const MDagPath& path);
  void setNodeType(const MTypeId& id);
  void setNodeType(const MString& name);
  void setOperation(std::int32_t type, std::int32_t mode, std::int16_t iterations);
  MDagPath meshPath() const { return givenMeshPath; }
  /// Whether a mesh path was given and leads to a mesh shape (extending it).
  bool isMeshPathValid();

  /// What applyModifier found (valid after it ran).
  bool hasHistory() const { return meshHasHistory; }
  bool hasTweaks() const { return meshHasTweaks; }
  bool recordsHistory() const { return recordingHistory; }

 protected:
  std::int32_t nodeOperationType = 0;
  std::int32_t nodeOperationMode = 0;
  std::int16_t nodeOperationIter = 0;

 private:
  /// The shading groups of the mesh and their faces, by name.
  using ShadingState = std::vector<std::pair<std::string, MIntArray>>;

  MObject createModifierNode(MStatus& status);
  /// Takes back every node the modifier has made and starts a fresh one.
  void dropModifierNodes();
  MStatus connectModifierNodes(const MObject& first, const MObject& second);
  void readMeshNode(ModifierLinkData& data);
  void readUpstreamNode(ModifierLinkData& data);
  void readModifierNode(const MObject& node, MObject& outAttr, MObject& inAttr);
  void moveTweaksToTweakNode(ModifierLinkData& data);
  void applyShadingSets(const MObject& node);
  MStatus cacheMeshData();
  void cacheMeshTweaks();
  MStatus restoreMeshFromCopy();
  MStatus undoDirectModifier();
  MStatus restoreMeshTweaks();
  /// Sets the mesh's tweaks to 0 once they live in the tweak node (and those
  /// the intermediate copy took along), so that they apply once.
  void clearMeshTweaks();
  ShadingState shadingState() const;
  void restoreShading(const ShadingState& state) const;

  bool hasMeshPath = false;
  MDagPath givenMeshPath;
  MDagPath duplicatePath;
  bool hasNodeTypeId = false;
  bool hasNodeTypeName = false;
  MTypeId nodeTypeId;
  MString nodeTypeName;
  bool meshHasHistory = false;
  bool meshHasTweaks = false;
  bool recordingHistory = false;
  MIntArray tweakIndices;
  MFloatVectorArray tweakVectors;
  MObject cachedMesh;
  std::unique_ptr<MDGModifier> dgModifier;
  MDagModifier dagModifier;
  /// Takes the intermediate copy's own transform away again at undo.
  MDagModifier copyRemoval;
  MObject copyTransform;
  /// The shading of the mesh's faces before and after the change.
  ShadingState shadingBefore;
  ShadingState shadingAfter;
};
