#pragma once

#include <maya/MArgList.h>
#include <maya/MBoundingBox.h>
#include <maya/MDagModifier.h>
#include <maya/MDagPath.h>
#include <maya/MMatrix.h>
#include <maya/MObject.h>
#include <maya/MPxCommand.h>
#include <maya/MSelectionList.h>
#include <maya/MStatus.h>
#include <maya/MSyntax.h>

#include <memory>
#include <vector>

#include "engine/MeshFactory.h"
#include "math/MgcVector3.h"
#include "src/moduleCommand.h"
#include "src/shatter/shatterPlan.h"

class ShatterLocatorNode;

/// Most seeds a preview shows.
constexpr unsigned int kMaxPreviewShards = 128;

/// `zovShatterPreview` (`-dp`): puts the seeds that a shatter of the mesh
/// with these settings would use into the `ShatterLocator` under its
/// transform, with the settings, so that the locator shows them and makes
/// them again when its centres move; an earlier shatter's seeds go with
/// them. Without `-dp` it only checks its arguments; an object without a
/// locator computes and changes nothing. What it writes into the locator
/// (settings, points, centres it adds, the reference link) cannot be taken
/// back: a run that filled a locator is undoable, and its undo empties the
/// undo queue, so that no undo reaches past it (one that took back the
/// locator's making would take the preview with it).
class shatterLocatorCmd : public OneWayCommand {
 public:
  shatterLocatorCmd() : OneWayCommand("zovShatterPreview") {}

  static MSyntax newSyntax();

  MStatus redoIt() override;

  /// Gives the reference the message attribute "zovRefObj" (once) and
  /// connects it to the locator's `refObject`. Nothing for a null
  /// reference; failures are written to the error stream.
  void SetRefObject(const MObject& locator, const MObject& reference);

 private:
  /// What the flags ask for.
  struct Request {
    SeedPattern pattern;
    /// The region the flags give (used for an object shattered before).
    MBoundingBox flagRegion;
    MSelectionList references;
    /// The reference mesh, or the path curve of the path pattern.
    MDagPath referencePath;
    bool hasReference = false;
    MDagPath curvePath;
  };
  /// Where the preview stands: the pattern's centre, the matrix a reference
  /// mesh is read through and the region seeds are made in (world space).
  struct Frame {
    Mgc::MgcVector3 centre;
    MMatrix matrix;
    MBoundingBox region;
  };

  /// The flags, checked; false, after the message, when one is refused.
  bool readRequest(Request& request) const;
  /// The path curve of the path pattern, else the reference mesh when one
  /// is given; false, after the error, when the path pattern has none.
  bool readReference(Request& request) const;
  /// Fills the locator under the shape's transform.
  MStatus preview(Request& request, const MDagPath& shapePath);
  /// The frame of the shape (`recorded`: shattered before); false, after the
  /// error, when the colour pattern finds no colours.
  bool previewFrame(const Request& request, const MDagPath& shapePath, bool recorded, Frame& frame) const;
  /// The locator's centres: the plan's written into it when it holds fewer
  /// than two, then the pattern's read from it, with its handle count and,
  /// for a path, the curve.
  void placeCentres(ShatterLocatorNode& locator, const Request& request, const Frame& frame, ShatterPlan& plan);

  std::unique_ptr<MDagModifier> modifier;
};
