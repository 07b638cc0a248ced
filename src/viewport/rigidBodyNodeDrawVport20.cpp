#include "src/viewport/rigidBodyNodeDrawVport20.h"

#include <maya/MAnimControl.h>
#include <maya/MFnDagNode.h>
#include <maya/MStateManager.h>

#include "src/draw/bodyDrawing.h"
#include "src/draw/overrideDrawing.h"
#include "src/nodeLinks.h"
#include "src/simulation/rigidBodyNode.h"
#include "src/simulation/solverNode.h"

using MHWRender::MFrameContext;
using MHWRender::MStateManager;

namespace {

/// One face at a time is copied here before it is drawn.
float g_facePoints[kMaxFaceCorners * 3];
float g_faceColours[kMaxFaceCorners * 3];

/// Whether a data's stress colours can shade its mesh: one per vertex.
bool showsStress(const rigidBodyNodeDrawData& data) {
  return data.showStress && data.mesh != nullptr && data.stressColors.length() >= data.mesh->numVertices;
}

zovdraw::BodyLook lookOf(const rigidBodyNodeDrawData& data) {
  zovdraw::BodyLook look = data.look;
  look.isStatic = data.body != nullptr && data.body->isStatic();
  return look;
}

/// The body's faces as outlines, moved from the body's frame into the transform's.
void drawFaces(RawFootPrintDrawAgent& agent, HardBody& body, const MMatrix& offsetInverse) {
  const ZOVmesh* mesh = body.getWorldMesh();
  if (mesh == nullptr || mesh->faces == nullptr) return;
  for (std::uint32_t f = 0; f < mesh->numFaces; ++f) {
    const unsigned int count = zovdraw::facePoints(*mesh, mesh->faces[f], offsetInverse, g_facePoints);
    if (count > 0) agent.drawPolygon(g_facePoints, count);
  }
}

/// The collision shape's faces (in world space) filled with the stress
/// colours of their corners; OpenGL shows the highlight in them.
void drawStressFaces(RawFootPrintDrawAgent& agent, const rigidBodyNodeDrawData& data, bool highlight) {
  const ZOVmesh& mesh = *data.mesh;
  if (mesh.faces == nullptr) return;
  const int h = highlight ? zovdraw::highlightOf(lookOf(data)) : 0;
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
    const mesh_face& face = mesh.faces[f];
    const unsigned int count = zovdraw::facePoints(mesh, face, data.worldInverse, g_facePoints);
    for (unsigned int i = 0; i < count; ++i) {
      const MColor& colour = data.stressColors[face.vertices[i]];
      if (highlight) {
        zovdraw::highlightedStressColour(colour, h, g_faceColours + 3 * i);
      } else {
        g_faceColours[3 * i] = colour.r;
        g_faceColours[3 * i + 1] = colour.g;
        g_faceColours[3 * i + 2] = colour.b;
      }
    }
    if (count > 0) agent.drawShadedTriangles(g_facePoints, g_faceColours, count);
  }
}

/// Two circles about each end of the capsule: in the XY and the XZ plane
/// of the transform.
void drawCapsule(RawFootPrintDrawAgent& agent, HardBody& body, const MMatrix& offsetInverse) {
  const ZOVcapsule* capsule = body.getBoundingVolume(0);
  if (capsule == nullptr) return;
  const float radius = static_cast<float>(capsule->radius);
  for (const MPoint& end : zovdraw::capsuleEnds(*capsule, offsetInverse)) {
    float centre[3];
    zovdraw::storePoint(end, centre);
    agent.drawAxisCircle(2, centre, &radius);
    agent.drawAxisCircle(1, centre, &radius);
  }
}

/// Whether nothing is drawn this frame, by what the host and user are doing.
bool skipped(const rigidBodyNodeDrawData& data) {
  if (g_displaySelected && !data.look.selected && !data.look.fractureSelected) return true;
  if (MAnimControl::isPlaying() && !data.showStress) return true;
  if (MAnimControl::isScrubbing()) return true;
  if (MFrameContext::inUserInteraction() && !data.look.fractureSelected) return true;
  return MFrameContext::userChangingViewContext() && !data.showStress;
}

}  // namespace

bool rigidBodyNodeDrawVport20::isBounded(const MDagPath&, const MDagPath&) const { return false; }

MBoundingBox rigidBodyNodeDrawVport20::boundingBox(const MDagPath& objPath, const MDagPath&) const {
  if (const rigidBodyNode* node = userNodeOf<rigidBodyNode>(objPath.node())) return node->boundingBox();
  MDagPath parent = objPath;
  parent.pop();
  box = MFnDagNode(parent).boundingBox();
  return box;
}

MHWRender::MUserData* rigidBodyNodeDrawVport20::prepareForDraw(const MDagPath& objPath, const MDagPath&,
                                                               const MHWRender::MFrameContext&,
                                                               MHWRender::MUserData* oldData) {
  auto* data = reusedData<rigidBodyNodeDrawData>(oldData);
  if (MAnimControl::isPlaying() || MAnimControl::isScrubbing()) return data;
  rigidBodyNode* found = userNodeOf<rigidBodyNode>(objPath.node());
  if (found == nullptr) return data;
  rigidBodyNode& node = *found;

  noteObject(*data, objPath);
  data->stressColors.clear();
  data->worldInverse = objPath.exclusiveMatrixInverse();
  data->offsetInverse = node.getBodyOffset().inverse();
  data->body = node.engineBody(true);
  data->look.live = node.isLive();
  data->look.selected = node.isSelected();
  // A piece's stress display and the selection of its fracture body node
  // are that node's to tell; a free body shows none of them.
  const PieceOwner* owner = node.fractureBodyNode();
  data->look.piece = owner != nullptr;
  data->showStress = owner != nullptr && owner->displaysStress();
  data->look.fractureSelected = owner != nullptr && owner->isSelected();
  const PieceCluster cluster = owner != nullptr ? owner->clusterOf(node) : PieceCluster::kNone;
  data->look.hasCluster = cluster != PieceCluster::kNone;
  data->look.clusterSelected = cluster == PieceCluster::kSelected;
  data->mesh = nullptr;
  if (data->showStress) {
    data->mesh = node.shapeMesh();
    data->stressColors = node.getStressColors();
    if (data->stressColors.length() == 0) data->showStress = false;
  }
  return data;
}

void rigidBodyNodeDrawVport20::addUIDrawables(const MDagPath&, MHWRender::MUIDrawManager&,
                                              const MHWRender::MFrameContext&, const MHWRender::MUserData*) {}

void rigidBodyNodeDrawVport20::drawCallback(const MHWRender::MDrawContext& context,
                                            const MHWRender::MUserData* userData) {
  const auto* data = dynamic_cast<const rigidBodyNodeDrawData*>(userData);
  if (data == nullptr || skipped(*data)) return;
  MStateManager* states = context.getStateManager();
  if (states == nullptr) return;
  MHWRender::DrawAPI api = MHWRender::kNone;
  RawFootPrintDrawAgent* const found = zovdraw::contextAgent(context, api);
  if (found == nullptr) return;
  RawFootPrintDrawAgent& agent = *found;

  // Outlines must show whichever way their faces turn.
  const zovdraw::CullingOff cullingOff(states);

  const bool stress = showsStress(*data);
  if (stress)
    agent.beginDrawColored();
  else
    agent.beginDraw();
  if (data->body != nullptr) {
    const std::array<float, 4> colour = zovdraw::bodyColour(
        lookOf(*data), api == MHWRender::kDirectX11 ? zovdraw::ColourRules::Direct3D : zovdraw::ColourRules::OpenGL);
    std::copy(colour.begin(), colour.end(), agent.color);
    switch (data->body->getType()) {
      case kHullBody:
      case kTriMeshBody:
        if (stress)
          drawStressFaces(agent, *data, api != MHWRender::kDirectX11);
        else
          drawFaces(agent, *data->body, data->offsetInverse);
        break;
      case kCapsuleBody:
        drawCapsule(agent, *data->body, data->offsetInverse);
        break;
      default:
        break;
    }
  }
  agent.endDraw();
}
