#pragma once

#include <maya/MArgList.h>
#include <maya/MDGModifier.h>
#include <maya/MPxCommand.h>
#include <maya/MSelectionList.h>
#include <maya/MStatus.h>
#include <maya/MSyntax.h>

#include <memory>
#include <vector>

#include "src/moduleCommand.h"

class FractureBodyNode;
class PrivateHardBody;
class rigidBodyNode;

/// `zovCluster`: with "-as"/"-assign", makes a cluster node (named by
/// "-n"/"-name", "zovCluster0" by default) of the selected dynamic pieces
/// of one fracture body: the pieces and the joints that touch them move from
/// the fracture body node to the cluster, the joints between two of them
/// holding with 1.2 times the fracture body's threshold and the others with
/// nothing. The result is the cluster's name. With "-rem"/"-remove" (and
/// without "-assign"), hands the pieces and joints of the selected cluster
/// nodes back to their fracture bodies at the fracture body's threshold and
/// deletes the clusters. Neither can be given back by undo (the joints'
/// strengths before are not recorded): a run that changed a fracture body
/// is undoable, and its undo empties the undo queue, so that no undo
/// reaches past it.
class zovClusterCmd : public OneWayCommand {
 public:
  zovClusterCmd() : OneWayCommand("zovCluster") {}

  static MSyntax newSyntax();

  MStatus redoIt() override;

 private:
  /// A selected piece and the engine body it has.
  struct TakenPiece {
    rigidBodyNode* node;
    PrivateHardBody* body;
  };

  MStatus assign(const MString& name);
  MStatus remove();
  /// The selected dynamic pieces of one fracture body (that of the last
  /// piece taken, into `fracture`), each other selected body told why it is
  /// left out; `anyLinked` says whether a selected body was linked to a
  /// fracture body or cluster at all.
  std::vector<TakenPiece> takenPieces(FractureBodyNode*& fracture, bool& anyLinked) const;
  /// The joint nodes of the pieces' joints move from the fracture body node
  /// to the cluster: those to the rest as its outer, those among the pieces
  /// as its inner joints.
  void moveJoints(FractureBodyNode& fracture, const MObject& cluster, const std::vector<TakenPiece>& pieces);

  std::unique_ptr<MDGModifier> modifier;
  MSelectionList selection;
};
