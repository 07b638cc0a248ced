#pragma once

#include <maya/MArgList.h>
#include <maya/MBoundingBox.h>
#include <maya/MDagModifier.h>
#include <maya/MDagPath.h>
#include <maya/MMatrix.h>
#include <maya/MObject.h>
#include <maya/MObjectArray.h>
#include <maya/MPxCommand.h>
#include <maya/MSelectionList.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MStringArray.h>
#include <maya/MSyntax.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "math/MgcVector3.h"
#include "src/commandSelection.h"
#include "src/meshes/shardOutput.h"
#include "src/moduleCommand.h"
#include "src/shatter/shatterSettings.h"

class voronoiNode;
class ShatterLocatorNode;

/// Most seeds a shatter asks the generator for.
constexpr unsigned int kMaxRequestedShards = 64;

/// The source that the shatter's progress reports name.
inline constexpr const char* kShatterSource = "..\\src\\shatterCmd";

/// `zovShatter`: breaks each mesh named into Voronoi cells and makes each
/// cell a shard mesh "<transform>_shard#" in a new group
/// "<transform>ShatterGroup", beside a `zovVoronoiNode` that records the
/// shatter; the source is hidden. Seeds come from the pattern the flags
/// choose, or from a preview locator (`ShatterLocator`) under the mesh's
/// transform. With `-undoLast` it takes the first mesh back by one level.
/// The result is the names of the groups made.
///
/// The shards and groups are made partly outside the undo queue, so the
/// command cannot be taken back by the host's undo: `-undoLast` takes a
/// shatter back level by level. A run that changed the scene is undoable
/// all the same, and its undo empties the undo queue, so that no undo
/// reaches past a shatter (one that took back the command which made the
/// source would leave the shards without it). A run that changed the scene
/// and still fails is not queued: it empties the queue at once.
class shatterCmd : public OneWayCommand {
 public:
  shatterCmd() : OneWayCommand("zovShatter") {}

  static MSyntax newSyntax();

  MStatus redoIt() override;
  /// Hides the preview locator the last run used and empties the undo queue.
  MStatus undoIt() override;

 protected:
  /// `command` names the command in the messages of its flag checks.
  explicit shatterCmd(const char* command) : OneWayCommand(command) {}

  /// What the flags ask for.
  struct Request {
    unsigned int shardCount = 0;
    unsigned int seed = 0;
    std::uint16_t style = kStyleUniform;
    bool newMaterial = false;
    MString cutMaterialName;
    bool verbose = false;
    bool undoLast = false;
  };

  /// Shatters one mesh with a settings record: carves it and makes the
  /// voronoi node and the shards (appended to `shards`). Seeds that
  /// coincide with one before them are dropped first (distinctSeeds), so
  /// that no cell is carved twice. Fails, making nothing, when fewer than
  /// two seeds or no cells come out; a cancelled carving runs undoIt. Sets
  /// shardsAsked.
  MStatus shatterObject(const MDagPath& shapePath, unsigned int shardCount, unsigned int seed,
                        const MDagPath* pathCurve, const MDagPath* referenceMesh, bool newMaterial,
                        ShatterSettings& settings, MObjectArray& shards);
  /// One further level of a nonconforming shatter on the shards just made
  /// from a shape: every shard whose vertex box meets the level's box is
  /// carved by the level's distinct seeds that lie in that box (without piece
  /// detection); the other shards, and those no cell comes out of, stay
  /// whole. The pieces replace the shards in `shards` (the old ones are
  /// deleted), and the record gains the level: its seeds, its box (both
  /// through the inverse of `matrix`), its seed count and the pieces as
  /// display cells. Seeds and box are in world space. Fails, changing
  /// nothing, when a shard cannot be read or carved.
  MStatus addShatterLevel(const MDagPath& shapePath, voronoiNode* record, const std::vector<Mgc::MgcVector3>& seeds,
                          const MBoundingBox& box, const MMatrix& matrix, bool useCutMaterial, MObjectArray& shards);
  /// The preview locator under a transform (by type), its matrix set to
  /// its path's exclusive matrix; null when there is none.
  static ShatterLocatorNode* findPreviewLocator(const MDagPath& transform);
  /// The undo-last mode for one mesh shape.
  MStatus undoLastShatter(const MDagPath& shapePath);
  /// The shards the record stored from the level before (into `meshes`),
  /// under a renewed record in place of the node, whose group goes.
  void restoreStoredLevel(voronoiNode& node, const MDagPath& sourceShape, bool useCutMaterial, MObjectArray& meshes);
  /// The renewed record takes the node's earlier levels: seeds, settings,
  /// boxes and level counts, the rebuilt shards as display cells, and the
  /// source's mesh.
  void renewRecord(voronoiNode& node, voronoiNode& renewed, std::vector<ZOV_DFmesh*>& rebuilt,
                   const MDagPath& sourceShape);
  /// Queues the grouping of the shards (and the voronoi transform) as the
  /// transform's shatter group for when the host is idle.
  void queueShatterGroup(const MDagPath& transformPath, const MString& transformName, const MObjectArray& meshes) const;
  /// Forgets what the current run did (the transform names).
  void forgetRun();
  /// Makes what every shard of the run shares, the first time a run needs it.
  void prepareSharedContent();
  /// The cut material and its shading group of the run.
  void setCutMaterial(const MString& material, const MString& shadingGroup) {
    cutMaterialName = material;
    cutShadingGroup = shadingGroup;
  }
  /// Warns when the shatter of one mesh made fewer shards than its seeds
  /// (or the preview's pattern they come from) asked for: `made` against
  /// shardsAsked of the last shatterObject.
  void warnOfMissingShards(const MString& shapeName, const ShatterSettings& settings, unsigned int made) const;
  /// The transform of the last voronoi node made.
  const MObject& voronoiTransform() const { return lastVoronoiTransform; }
  /// Carving and record settings of a re-shatter: no piece detection, the
  /// given ring count and noise, and the voronoi transform left unnamed.
  void useReshatterSettings() {
    detectGroups = 0;
    ringCount = 1;
    noise = 0.0;
    renameVoronoi = false;
  }

  std::unique_ptr<MDagModifier> modifier;

 private:
  /// The mesh or curve `-refObject` gives.
  struct Sources {
    MDagPath referenceMesh;
    MDagPath pathCurve;
    bool hasReference = false;
    bool hasCurve = false;
  };

  /// The flags into the request and the members; false, after the message,
  /// when one is refused.
  bool readRequest(Request& request);
  /// The reference mesh or path curve; false, after the error, when the
  /// path pattern has none.
  bool readSources(const Request& request, Sources& sources) const;
  /// `-undoLast` on the first mesh of the objects.
  MStatus undoLastOfSelection(const MSelectionList& objects);
  /// Whether the mesh can be shattered with the request: not when it lacks
  /// the colours of the colour pattern or is animated (said by a warning).
  static bool shatterable(const MDagPath& shapePath, const Request& request, const Sources& sources);
  /// Shatters one selected mesh, from the preview under its transform when
  /// there is one, and groups its shards; the group's name into `group`.
  MStatus shatterSelected(const SelectedMesh& selected, const Request& request, const Sources& sources, MString& group);

  MSelectionList referenceObjects;
  MStringArray transformNames;
  MObject lastVoronoiTransform;
  MString cutMaterialName;
  MString cutShadingGroup;
  /// The cut material (with -newMat) and the cut-face tag's type are made
  /// once the first object has cells, so that a shatter that makes nothing
  /// leaves the scene as it was.
  bool cutMaterialPending = false;
  bool cutFaceTypeReady = false;
  MString currentTransformName;
  /// The UV set names of the mesh being shattered.
  MStringArray shaderNames;
  std::uint32_t ringCount = 0;
  std::uint32_t centerCount = 1;
  double width = 0.0;
  double noise = 0.0;
  std::uint32_t detectGroups = 0;
  std::uint16_t radialAxis = 0;
  /// The voronoi node the shape drives already, or null.
  MObject connectedNode;
  bool renameVoronoi = true;
  /// The preview locator under the transform being shattered, or null.
  ShatterLocatorNode* previewLocator = nullptr;
  /// The shards the last shatterObject was asked for: one a seed it carved
  /// by and one a pattern point that repeated another. 0 when it failed, or
  /// for a further level of a nonconforming shatter, whose count the earlier
  /// shards its region meets decide.
  unsigned int shardsAsked = 0;
};
