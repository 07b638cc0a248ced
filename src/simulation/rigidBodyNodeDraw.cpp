// The rigid body node's drawing in the legacy viewport, and its selection.
#include <GL/gl.h>
#include <maya/MAnimControl.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFrameContext.h>
#include <maya/MGlobal.h>
#include <maya/MItSelectionList.h>
#include <maya/MSelectionList.h>

#include "geometry/MeshTransforms.h"
#include "src/draw/DrawShapes.h"
#include "src/draw/bodyDrawing.h"
#include "src/draw/glDrawing.h"
#include "src/hostEngineConversions.h"
#include "src/simulation/rigidBodyNode.h"
#include "src/simulation/solverNode.h"

namespace {

using zovdraw::kAllAttributeGroups;
using zovdraw::kFill;
using zovdraw::kLines;

// Axis codes of the circle helpers: 2 about z; 0 and 3 the two halves about x.
constexpr unsigned int kAboutZ = 2;
constexpr unsigned int kUpperHalfAboutX = 0;
constexpr unsigned int kLowerHalfAboutX = 3;

float g_legacyPoints[kMaxFaceCorners * 3];
float g_legacyColours[kMaxFaceCorners * 3];

/// The faces' outlines: triangles and quads as such, larger faces as polygons.
void drawLegacyFaceOutlines(const ZOVmesh& mesh, const MMatrix& offsetInverse) {
  glSetFrontPolygonMode(kLines);
  glSetBackPolygonMode(kLines);
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
    const unsigned int count = zovdraw::facePoints(mesh, mesh.faces[f], offsetInverse, g_legacyPoints);
    if (count == 3)
      glDrawTriangle(g_legacyPoints, g_legacyPoints + 3, g_legacyPoints + 6);
    else if (count == 4)
      glDrawQuad(g_legacyPoints, g_legacyPoints + 3, g_legacyPoints + 6, g_legacyPoints + 9);
    else if (count > 0)
      glDrawPolygon(g_legacyPoints, count);
  }
}

/// The faces filled with the stress colours of their corners.
void drawLegacyStressFaces(const ZOVmesh& mesh, const MMatrix& offsetInverse, const MColorArray& colours,
                           int highlight) {
  glSetFrontPolygonMode(kFill);
  glSetBackPolygonMode(kFill);
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
    const mesh_face& face = mesh.faces[f];
    const unsigned int count = zovdraw::facePoints(mesh, face, offsetInverse, g_legacyPoints);
    for (unsigned int i = 0; i < count; ++i)
      zovdraw::highlightedStressColour(colours[face.vertices[i]], highlight, g_legacyColours + 3 * i);
    if (count > 0) glDrawShadedTriangles(g_legacyPoints, g_legacyColours, count);
  }
}

/// The capsule's four sides and, at each end, a circle about its axis and
/// the half circle that closes the end.
void drawLegacyCapsule(const ZOVcapsule& capsule, const MMatrix& offsetInverse) {
  const std::array<MPoint, 2> ends = zovdraw::capsuleEnds(capsule, offsetInverse);
  const MVector along = ends[1] - ends[0];
  Mgc::MgcVector3 axis = toEngine(along.length() > 0.0 ? along.normal() : MVector::zAxis), u, v;
  generateOrthonormalBasis(axis, u, v);
  const float r = static_cast<float>(capsule.radius);
  const Mgc::MgcVector3 sides[4] = {u * r, u * -r, v * r, v * -r};
  float from[3], to[3];
  for (const Mgc::MgcVector3& side : sides) {
    zovdraw::storePoint(ends[0] + toHost(side), from);
    zovdraw::storePoint(ends[1] + toHost(side), to);
    glDrawLine(from, to);
  }
  // The end's frame: x along u, y along v, z along the axis, at the end.
  for (int e = 0; e < 2; ++e) {
    const float frame[16] = {
        static_cast<float>(u.x),       static_cast<float>(u.y),       static_cast<float>(u.z),       0.0f,
        static_cast<float>(v.x),       static_cast<float>(v.y),       static_cast<float>(v.z),       0.0f,
        static_cast<float>(axis.x),    static_cast<float>(axis.y),    static_cast<float>(axis.z),    0.0f,
        static_cast<float>(ends[e].x), static_cast<float>(ends[e].y), static_cast<float>(ends[e].z), 1.0f};
    glPushModelMatrix(frame);
    glDrawAxisCircle(kAboutZ, r);
    glDrawAxisSemicircle(e == 0 ? kLowerHalfAboutX : kUpperHalfAboutX, r);
    glPopModelMatrix();
  }
}

}  // namespace

bool rigidBodyNode::isSelected() const {
  if (fractureOwner != nullptr) return MPlug(thisMObject(), selected).asBool();
  MSelectionList list;
  MGlobal::getActiveSelectionList(list);
  for (MItSelectionList it(list, MFn::kPluginLocatorNode); !it.isDone(); it.next()) {
    MObject item;
    it.getDependNode(item);
    if (userNodeOf<rigidBodyNode>(item) == this) return true;
  }
  return false;
}

void rigidBodyNode::draw(M3dView& view, const MDagPath&, M3dView::DisplayStyle style, M3dView::DisplayStatus) {
  if (style == M3dView::kWireFrame) return;
  const bool isPicked = isSelected();
  // A fracture piece's stress display is its fracture body node's to tell; a
  // free body has none.
  const bool showStress = fractureOwner != nullptr && fractureOwner->displaysStress();
  const bool fractureSelected = fractureOwner != nullptr && fractureOwner->isSelected();
  const PieceCluster cluster = fractureOwner != nullptr ? fractureOwner->clusterOf(*this) : PieceCluster::kNone;
  const bool hasCluster = cluster != PieceCluster::kNone;
  if (g_displaySelected && !isPicked && !fractureSelected) return;
  if (MAnimControl::isPlaying() && !showStress) return;
  if (MHWRender::MFrameContext::inUserInteraction() && !showStress && !hasCluster) return;
  if (MHWRender::MFrameContext::userChangingViewContext() && !showStress) return;

  if (!view.beginGL()) return;
  glPushAttrib(kAllAttributeGroups);
  if (body) {
    zovdraw::BodyLook look;
    look.live = isLive();
    look.selected = isPicked;
    look.piece = isFracturePiece;
    look.hasCluster = hasCluster;
    look.clusterSelected = cluster == PieceCluster::kSelected;
    look.fractureSelected = fractureSelected;
    look.isStatic = body->isStatic();
    const std::array<float, 4> colour = zovdraw::bodyColour(look, zovdraw::ColourRules::Legacy);
    glSetColor(colour[0], colour[1], colour[2], colour[3]);
    const MMatrix offsetInverse = bodyOffset.inverse();
    const ZOVmesh* mesh = body->getWorldMesh();
    switch (body->getType()) {
      case kHullBody:
      case kTriMeshBody:
        if (mesh == nullptr || mesh->faces == nullptr) break;
        if (showStress && stressColors.length() >= mesh->numVertices)
          drawLegacyStressFaces(*mesh, offsetInverse, stressColors, zovdraw::highlightOf(look));
        else
          drawLegacyFaceOutlines(*mesh, offsetInverse);
        break;
      case kCapsuleBody:
        if (const ZOVcapsule* capsule = body->getBoundingVolume(0)) drawLegacyCapsule(*capsule, offsetInverse);
        break;
      default:
        break;
    }
  }
  glPopAttrib();
  view.endGL();
}
