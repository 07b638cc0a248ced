#pragma once

#include <maya/MBoundingBox.h>
#include <maya/MDagPath.h>
#include <maya/MDataBlock.h>
#include <maya/MMatrix.h>
#include <maya/MObject.h>
#include <maya/MObjectArray.h>
#include <maya/MPlug.h>
#include <maya/MPoint.h>
#include <maya/MPointArray.h>
#include <maya/MPxLocatorNode.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MStringArray.h>
#include <maya/MTime.h>
#include <maya/MTypeId.h>

#include <vector>

#include "engine/MeshFactory.h"
#include "geometry/ZOV_DFmesh.h"
#include "math/MgcVector3.h"
#include "src/moduleNode.h"
#include "src/shatter/shatterSettings.h"

/// The history record of one shatter (`zovVoronoiNode`): a locator under a
/// transform inside the shatter group, holding the seeds that made the
/// cells (`voroPoints`), one seed count and one world box per shatter level
/// (`voroGroups`, `bboxmin`/`bboxmax`), the scheme, the cut material's name
/// and the cut faces of the cells for display. The source mesh's
/// `worldMesh` drives `inShape`, which is how a shape finds its record.
///
/// Other code reads and writes the record only through the static
/// functions, which work on the node's plugs so that commands can call them.
class voronoiNode : public ModuleNode<voronoiNode, MPxLocatorNode> {
 public:
  voronoiNode() = default;
  ~voronoiNode() override = default;

  static MStatus initialize();

  /// `ca_voroPoints` reads the points; `cadraw` decides whether the cells
  /// can be shown (switching `draw` back to 0 when not). Answers
  /// kUnknownParameter for every plug.
  MStatus compute(const MPlug& plug, MDataBlock& block) override;
  bool setInternalValueInContext(const MPlug&, const MDataHandle&, MDGContext&) override { return false; }
  /// The cut faces of the cells as grey outlines, while `draw` asks for
  /// them and nothing plays back.
  void draw(M3dView& view, const MDagPath& path, M3dView::DisplayStyle style, M3dView::DisplayStatus status) override;
  bool isBounded() const override { return false; }
  MBoundingBox boundingBox() const override;
  bool excludeAsLocator() const override { return false; }
  bool isTransparent() const override { return false; }

  // ---- The record ----------------------------------------------------------

  /// Writes point i of `points` (transformed by `matrix`) to `voroPoints`[i]
  /// and appends it to the list B seeds. Nothing for null points.
  static void setVoroPoints(voronoiNode* node, const Mgc::MgcVector3* points, unsigned int count,
                            const MMatrix& matrix);
  /// Appends the points (transformed by `matrix`) to `voroPoints`; the list A
  /// seeds become every element of `voroPoints`.
  static void addVoroPoints(voronoiNode* node, const Mgc::MgcVector3* points, unsigned int count,
                            const MMatrix& matrix);
  /// `voroPoints`[i] := point i; the list A seeds become the points.
  static void replaceVoroPoints(voronoiNode* node, const MPointArray& points);
  /// Every element of `voroPoints` multiplied by the matrix.
  static void transformVoroPoints(voronoiNode* node, const MMatrix& matrix);
  /// The element at physical index i (the origin past the end), with
  /// `world` moved by the exclusive matrix of the node's path.
  static MPoint getVoroPoint(voronoiNode* node, MPoint& point, unsigned int i, bool world);
  /// The list B seeds, with `transform` moved by the node path's exclusive matrix.
  static void getWorldPoints(voronoiNode* node, MPointArray& points, bool transform);
  static unsigned int numVoroPoints(voronoiNode* node);
  static unsigned int numVoroGroups(voronoiNode* node);
  static unsigned int numBoundingBoxes(voronoiNode* node);
  /// Appends a level's seed count to `voroGroups`.
  static void setVoroGroup(voronoiNode* node, short value);
  /// `voroGroups` at physical index i; 0 past the end.
  static int getVoroGroup(voronoiNode* node, unsigned int i);
  /// Appends a level's box to `bboxmin` and `bboxmax`.
  static void setBoundingBox(voronoiNode* node, const MBoundingBox& box);
  /// Box k; an empty box past the end.
  static MBoundingBox getBoundingBox(voronoiNode* node, MBoundingBox& box, unsigned int k);
  static void setScheme(voronoiNode* node, short scheme);
  static short getScheme(voronoiNode* node);
  /// Gives the node the next number of the process-wide counter.
  static void assignNextIndex(voronoiNode* node);
  static int getIndex(voronoiNode* node);
  /// The counter from which assignNextIndex goes on (after a scene opens).
  static void setIndexCounter(int value);
  static int indexCounter();
  static void setCutMatName(voronoiNode* node, const MString& name);
  static MString getCutMatName(voronoiNode* node);
  static void setShatterTime(voronoiNode* node, const MTime& time);
  static MTime getShatterTime(voronoiNode* node);

  /// The cut faces of the shards (world vertices, in the node's local
  /// space) become the display cells and are stored in `displayPoints` and
  /// `displayFaces`. False, storing nothing, for no shard or no cut face,
  /// and when the cells need more vertices than the face list's 16-bit
  /// indices reach (the display is then left off).
  static bool setDisplayCells(voronoiNode* node, ZOV_DFmesh* const* shards, unsigned int count);
  /// The display cells from `displayPoints` and `displayFaces`. A face keeps
  /// its first 32 indices; indices after the last separator make no face; a
  /// face with an index outside `displayPoints` is dropped. False when
  /// either array is empty or no cell can be made.
  static bool buildDisplayCells(voronoiNode* node, MDataBlock& block);
  /// buildDisplayCells from the node's plugs, outside a compute.
  static bool buildDisplayCells(voronoiNode* node);
  /// Whether the cells may be shown: not when the group's shards are
  /// animated or carry rigid bodies. Builds them when missing.
  static bool prepareCellDisplay(voronoiNode* node, const MPlug& plug, MDataBlock& block);

  /// Whether the cells are drawn now: `draw` asked for them (drawEnabled),
  /// they exist, and the group's shards still lie in them, which they stop
  /// doing as soon as they are animated or carry rigid bodies, whether or
  /// not `draw` has been set since.
  bool showsCells() const;

  /// Empty slots for the meshes of an earlier shatter group.
  void allocateStoredShapes(unsigned int count);

  /// The node's settings record: list A is the local copy of `voroPoints`,
  /// list B the seeds of the earlier levels (setVoroPoints), which live only
  /// as long as the node object.
  ShatterSettings settings;
  MStringArray shaderNames;
  /// A stored mesh of an earlier shatter group with its shading groups.
  struct StoredShape {
    DFmeshPtr mesh;
    MObjectArray shadingGroups;
  };
  std::vector<StoredShape> storedShapes;
  /// Slots of storedShapes filled.
  unsigned int storedCount = 0;
  /// The display cells (one face per cut face), or null.
  DFmeshPtr displayCells;
  /// Set by compute from `draw`.
  bool drawEnabled = false;

  static const MTypeId id;
  static const MString nodeTypeName;
  static const MString drawClassification;

  inline static MObject version;
  inline static MObject cutmatname;
  inline static MObject inShape;
  /// The `draw` attribute: non-zero asks for the cells to be shown.
  inline static MObject drawAttr;
  inline static MObject jaggyLength;
  inline static MObject jaggyStrenght;
  inline static MObject index;
  inline static MObject scheme;
  inline static MObject bboxmin;
  inline static MObject bboxmax;
  inline static MObject voroPoints;
  inline static MObject voroGroups;
  inline static MObject displayPoints;
  inline static MObject displayFaces;
  inline static MObject ca_displayPoints;
  inline static MObject ca_voroPoints;
  inline static MObject ca_shape;
  inline static MObject cadraw;

 private:
  MTime shatterTime;
};

/// The first voronoi node driven by the mesh's `worldMesh` (its instance's
/// element); `node` stays null when there is none.
void findVoronoiNodeFromPlug(const MDagPath& meshPath, MObject& node);
bool hasVoronoiNode(const MDagPath& meshPath);
/// findVoronoiNodeFromPlug, else the voronoi node in the group two levels up.
void findVoronoiForShape(const MDagPath& shapePath, MObject& node);
/// The voronoi node under the first child of the group that is a transform
/// with a voronoi node as its only child.
void findVoronoiUnder(const MDagPath& group, MObject& node);
/// A transform with a child transform whose only child is a voronoi node.
bool isShatterGroup(const MDagPath& path);
/// Whether the path's parent is a shatter group.
bool isInShatterGroup(const MDagPath& path);
/// The outermost shatter group that holds the path (or is it).
bool findVoronoiShape(const MDagPath& path, MDagPath& group);
/// The voronoi node of the outermost shatter group that holds the path, and
/// that group.
bool findVoronoiChild(const MDagPath& path, MObject& node, MDagPath& group);
/// The number (`index`) of the voronoi node of the outermost shatter group
/// that holds the path: -1 when that node is not a voronoi node; false when
/// no shatter group holds the path.
bool findShatterGroupNumber(const MDagPath& path, int& group);
