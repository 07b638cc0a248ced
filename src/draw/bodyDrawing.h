#pragma once

#include <maya/MColor.h>
#include <maya/MMatrix.h>
#include <maya/MPoint.h>

#include <array>

#include "geometry/ShapeRecords.h"
#include "geometry/ZOVmesh.h"

// What the rigid body's drawings share, in Viewport 2.0 and in the legacy
// viewport: the colour that tells a body's state, the stress colours of
// fracture pieces, and the points of faces and capsules moved into the
// frame of the body's transform.
namespace zovdraw {

/// The states a body's colour shows.
struct BodyLook {
  /// The body takes part in the simulation.
  bool live = false;
  bool selected = false;
  /// The body is a piece of a fracture body.
  bool piece = false;
  bool hasCluster = false;
  bool clusterSelected = false;
  /// The piece's fracture body node is selected.
  bool fractureSelected = false;
  /// The body is static or waits for its activation frame.
  bool isStatic = false;
};

/// The drawings differ in the colours of fracture pieces: Direct3D tests
/// the cluster's selection first; OpenGL gives every piece of a cluster
/// the cluster's colours; the legacy viewport, as OpenGL, also shows a
/// piece without a cluster as selected when only the piece is.
enum class ColourRules { Direct3D, OpenGL, Legacy };

/// Red, green, blue, alpha of a body's outline.
std::array<float, 4> bodyColour(const BodyLook& look, ColourRules rules);

/// 1 when a piece stands out in stress display (its cluster selected, or
/// the piece and its fracture body node both), else 0.
int highlightOf(const BodyLook& look);

/// A stress colour as the OpenGL drawings show it: red and green kept to
/// thousandths, combined bitwise with 1000 * highlight (red without its
/// bits, green with them); blue as it is.
void highlightedStressColour(const MColor& colour, int highlight, float rgb[3]);

/// The corners of a face (at most kMaxFaceCorners; a record that claims more
/// gives its first ones), each a local vertex of the mesh moved by
/// `transform` as a point, into `out` as three floats each. 0 when a corner
/// names no vertex of the mesh.
unsigned int facePoints(const ZOVmesh& mesh, const mesh_face& face, const MMatrix& transform, float* out);

/// The centres of a capsule's two end spheres (lower, then upper along its
/// axis), from the body's frame moved by `transform`.
std::array<MPoint, 2> capsuleEnds(const ZOVcapsule& capsule, const MMatrix& transform);

inline void storePoint(const MPoint& point, float out[3]) {
  out[0] = static_cast<float>(point.x);
  out[1] = static_cast<float>(point.y);
  out[2] = static_cast<float>(point.z);
}

}  // namespace zovdraw
