#pragma once

#include <maya/MArgDatabase.h>
#include <maya/MArgList.h>
#include <maya/MDGModifier.h>
#include <maya/MPxCommand.h>
#include <maya/MSelectionList.h>
#include <maya/MStatus.h>
#include <maya/MSyntax.h>

#include <memory>

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
class zovClusterCmd : public MPxCommand {
 public:
  static void* creator();
  static MSyntax newSyntax();

  MStatus doIt(const MArgList& arguments) override;
  /// Empties the undo queue.
  MStatus undoIt() override;
  bool isUndoable() const override { return changedScene; }
  bool hasSyntax() const override { return true; }

 private:
  MStatus assign(const MString& name);
  MStatus remove();

  std::unique_ptr<MArgDatabase> parsedArguments;
  std::unique_ptr<MDGModifier> modifier;
  MSelectionList selection;
  /// Whether the run made or removed a cluster.
  bool changedScene = false;
};
