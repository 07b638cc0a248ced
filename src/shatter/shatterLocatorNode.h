#pragma once

#include <maya/M3dView.h>
#include <maya/MBoundingBox.h>
#include <maya/MDagPath.h>
#include <maya/MDataBlock.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MPointArray.h>
#include <maya/MPxLocatorNode.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MTypeId.h>

#include <cstdint>
#include <vector>

#include "geometry/ShatterParams.h"
#include "geometry/ZOV_DFmesh.h"
#include "math/MgcVector3.h"
#include "src/moduleNode.h"
#include "src/shatter/shatterSettings.h"

/// The shatter preview (`ShatterLocator`): a locator under the object's
/// transform, beside its mesh shape, that shows where the seeds of a shatter
/// with its settings would fall. Its settings record carries the preview
/// points (list A, in the locator's space), the seeds of a shatter already
/// recorded for the object (list B, in the object's space), the region in
/// which seeds are made (world space) and the pattern; `zovShatter` on the
/// object shatters from it. Changing a setting (pulled through `ca_updated`)
/// or moving a centre (`shatter_pos`, pulled through `ca_shatter_pos`)
/// makes the points again.
class ShatterLocatorNode : public ModuleNode<ShatterLocatorNode, MPxLocatorNode> {
 public:
  ShatterLocatorNode() = default;
  ~ShatterLocatorNode() override = default;

  static MStatus initialize();

  /// `ca_updated` makes the points again from the settings, `ca_shatter_pos`
  /// from the moved centres. Answers kUnknownParameter for every plug.
  MStatus compute(const MPlug& plug, MDataBlock& block) override;
  /// The preview points in cyan, the earlier seeds in blue and the label.
  void draw(M3dView& view, const MDagPath& path, M3dView::DisplayStyle style, M3dView::DisplayStatus status) override;
  bool isBounded() const override { return true; }
  /// The box of the preview points; empty without them.
  MBoundingBox boundingBox() const override;

  /// Appends world points to the preview points, in the locator's space.
  /// Nothing for null points.
  static void setPreviewPoints(ShatterLocatorNode* node, const Mgc::MgcVector3* points, unsigned int count);
  /// The earlier seeds become these points, as they are. Nothing for null
  /// points.
  static void setExistingSeeds(ShatterLocatorNode* node, const MPoint* points, unsigned int count);

  /// The seed pattern's settings and the points; `settings.pointsA` are the
  /// preview points, `settings.pointsB` the earlier seeds, `settings.box`
  /// the region (empty: the whole object), `settings.style` the pattern.
  ShatterSettings settings;
  /// The seed last used (0 given becomes 17).
  std::int32_t lastSeed = 0;
  /// The spread width of the pattern.
  double spreadWidth = 0.0;
  /// How many points the pattern made for the preview, coincident ones
  /// included; a moved centre asks the pattern for as many again.
  std::uint32_t patternCount = 0;

  static const MTypeId id;
  static const MString nodeTypeName;
  static const MString drawClassification;
  /// The label drawn beside the points.
  static const char* const label;

  inline static MObject shatter_pos;
  inline static MObject numLoc;
  inline static MObject numPoints;
  inline static MObject seed;
  inline static MObject width;
  inline static MObject rings;
  inline static MObject noise;
  inline static MObject refObject;
  inline static MObject transform;
  inline static MObject ca_shatter_pos;
  inline static MObject ca_updated;

 private:
  /// The full update (every setting read again); false, changing nothing,
  /// without a mesh beside the locator or when no point is made.
  bool updateFromSettings(MDataBlock& block);
  /// The update after a centre moved.
  bool updateFromCentres(MDataBlock& block);
};
