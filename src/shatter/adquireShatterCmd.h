#pragma once

#include <maya/MArgList.h>
#include <maya/MDagPath.h>
#include <maya/MMatrix.h>
#include <maya/MObjectArray.h>
#include <maya/MStatus.h>
#include <maya/MSyntax.h>

#include "src/shatter/shatterCmd.h"

/// `zovAdqShatter`: breaks the mesh given along the seeds recorded in a
/// voronoi node (`-refObject`), so that a second object shatters like the
/// first wherever each stands: the seeds, kept in the source object's
/// space, are placed by the target's matrix; the result is the names of the groups made. With `-replaceMat M`
/// it gives the cut faces of the shatter group of the object given the cut
/// material M instead. It shatters with the per-object routine of
/// `zovShatter`, without piece detection. Its undo empties the undo queue,
/// as a shatter's does: neither its shards nor a replaced material can be
/// given back.
class adquireShatterCmd : public shatterCmd {
 public:
  adquireShatterCmd();

  static MSyntax newSyntax();

  MStatus redoIt() override;
  /// Empties the undo queue, as a shatter's undo does.
  MStatus undoIt() override;

 private:
  /// The voronoi node `-refObject` names; null, after the error, when it
  /// names none.
  voronoiNode* readSource();
  /// Shatters one mesh along the source's seeds and groups the shards.
  MStatus shatterLike(voronoiNode& source, const SelectedMesh& mesh, const MString& cutMaterial, bool useCutMaterial,
                      MStringArray& groups);
  /// The further levels of a nonconforming source on the shards just made
  /// from the target: each level's seeds and box, read in the source
  /// object's space and mapped by the target's matrix, re-cut the shards.
  bool addSourceLevels(voronoiNode& source, const MDagPath& shapePath, voronoiNode* made, const MMatrix& matrix,
                       bool useCutMaterial, MObjectArray& shards);
  /// The cut faces of every shard of the group get the material's group.
  MStatus replaceMaterial(const MSelectionList& objects, const MString& material);
};
