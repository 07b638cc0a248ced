#pragma once

#include <maya/MArgList.h>
#include <maya/MDGModifier.h>
#include <maya/MDagPath.h>
#include <maya/MFnMesh.h>
#include <maya/MIntArray.h>
#include <maya/MObject.h>
#include <maya/MObjectArray.h>
#include <maya/MPxCommand.h>
#include <maya/MSelectionList.h>
#include <maya/MStatus.h>
#include <maya/MSyntax.h>
#include <maya/MVector.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "src/moduleCommand.h"

/// `zovJagginess`: roughens the cut faces of shards. The cut faces of a
/// shard (or of every shard of its shatter group, or of the moving shards
/// and the still shards touching them) are subdivided by a mesh operation
/// node put into the shard's history, and a second node next to the mesh
/// moves their vertices by the roughening noise. It also softens the vertex
/// normals across cut faces, updates the strength of a roughening and takes
/// roughening and softened normals away again. The host's undo cannot take
/// any of it back: it builds with the host's undo recording suspended, and
/// its removal mode is the way back. A run that did any of it is undoable
/// all the same, and its undo empties the undo queue, so that no undo
/// reaches past it into the history its nodes were put in.
class jagginessCmd : public OneWayCommand {
 public:
  jagginessCmd() : OneWayCommand("zovJagginess") {}
  ~jagginessCmd() override = default;
  jagginessCmd(const jagginessCmd&) = delete;
  jagginessCmd& operator=(const jagginessCmd&) = delete;

  static MSyntax newSyntax();

  MStatus redoIt() override;
  /// Takes back what the modifier holds and empties the undo queue.
  MStatus undoIt() override;

  /// The roughening length a shatter group gets when its record has none:
  /// 0.02 of the cube root of its shards' mean world box volume; 0.3 for a
  /// path that is not a transform or a group without shards.
  static double defaultJaggyLength(const MDagPath& group);
  /// Retags the cut faces of the group's shards whose world area is below
  /// `ratio` of the largest cut face (of the largest shard) as cut faces of
  /// the second kind, which are not roughened.
  static void retagSmallCutFaces(const MDagPath& group, float ratio);
  /// Softens the vertex normals of the vertices whose faces are all cut and
  /// meet within the cosine threshold.
  static void softenCutNormals(const MDagPath& mesh, double threshold);
  /// Takes the per-vertex normal node out of the mesh's history.
  static MStatus removeSoftNormals(const MDagPath& mesh);
  /// Switches the mesh's operation nodes to passing the mesh on and deletes
  /// its history when the host is next idle.
  static MStatus removeJagginess(const MDagPath& mesh);
  /// Fills the roughening node's per-vertex selection, directions and UV
  /// border records from the mesh, and zeroes the mesh's own tweaks.
  static MStatus fillVertexArrays(MFnMesh& mesh, const MObject& node, bool preserveUVs);
  /// The mesh shapes of a group's shards, in child order.
  static std::vector<MDagPath> groupShards(const MDagPath& group);

  /// The line each progress call of a pass is reported against when it fails.
  struct ProgressLines {
    int range, title, interruptible, start, first, status, value;
  };

 private:
  /// What the flags ask for.
  struct Request {
    bool remove = false;
    bool compute = false;
    bool strengthGiven = false;
    /// The cosine below which cut-face normals stay hard.
    double threshold = 0.0;
    /// The shard, its shatter group, or its group's moving shards.
    unsigned int affect = 0;
  };
  /// The shard worked on, its transform and its shatter group.
  struct Target {
    MDagPath shape;
    MDagPath transform;
    MDagPath group;
  };

  /// The flags into the request and the members; false, after the message,
  /// when one is refused.
  bool readRequest(Request& request);
  /// The shard the command works on; false, after the message, when there
  /// is none or it is a body already.
  bool readTarget(Target& target);
  /// The cut faces of the targets subdivided and roughened, their normals
  /// softened as asked.
  MStatus roughen(const Target& target, const Request& request);
  MStatus readVoronoiSettings(const MDagPath& group, unsigned int affect, bool strengthGiven);
  MStatus tessellateTargets(const MDagPath& shape, const MDagPath& group, unsigned int affect,
                            std::vector<MDagPath>& targets, bool soft);
  bool tessellateGroup(const MDagPath& group, std::vector<MDagPath>& targets, bool soft);
  bool tessellateMovingShards(const MDagPath& group, std::vector<MDagPath>& targets, bool soft);
  bool tessellateMesh(const MDagPath& mesh, bool soft);
  /// Runs tessellateMesh over targets with the progress window; false (and
  /// this run's roughening removed) when the user cancels.
  bool tessellateWithProgress(const std::vector<MDagPath>& items, std::vector<MDagPath>& targets, bool soft,
                              bool targetsOnly, const ProgressLines& lines);
  MStatus setupMeshOpNodes(const std::vector<MDagPath>& targets);
  void softenCutNormalsInGroup(const MDagPath& group, double threshold);
  MStatus updateStrength(const MDagPath& shape, const MDagPath& group, unsigned int affect);
  MStatus updateStrengthOfMeshes(const std::vector<MDagPath>& meshes);
  MStatus removeJagginessInGroup(const MDagPath& group);
  MStatus removeSoftNormalsInGroup(const MDagPath& group);

  std::unique_ptr<MDGModifier> modifier;
  MSelectionList selection;
  double jaggyLength = 1.0;
  double scale = 1.0;
  double strength = 1.0;
  std::uint32_t resolution = 0;
  MVector centre;
  bool preservingUVs = true;
  /// The meshes this run tessellated, which a cancel takes back.
  std::vector<MDagPath> tessellated;
};

/// The direction in which a cut-face vertex moves, from the object-space
/// normals of its faces, and flags: 1 a cut face touches it, 2 another face
/// does, 4 it lies on the outer surface beside two or more cut planes.
MVector cutVertexDirection(int vertex, const MIntArray& faces, const MFnMesh& mesh, int& flags);
/// The vector turned so that its component of largest magnitude is positive.
MVector canonicalDirection(const MVector& v);
