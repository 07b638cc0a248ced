// The cracker node's drawing in the legacy viewport: its capsule.
#include <GL/gl.h>
#include <maya/MConditionMessage.h>
#include <maya/MDagPath.h>
#include <maya/MFnDagNode.h>
#include <maya/MGlobal.h>
#include <maya/MItSelectionList.h>
#include <maya/MSelectionList.h>

#include "engine/bodies/ZovCrackerBody.h"
#include "src/draw/DrawShapes.h"
#include "src/draw/bodyDrawing.h"
#include "src/draw/glDrawing.h"
#include "src/simulation/solverNode.h"
#include "src/simulation/zovCrackerNode.h"

namespace {

using zovdraw::kAllAttributeGroups;
using zovdraw::kLines;

constexpr float kCrackerColour[4] = {0.0f, 0.0f, 1.0f, 1.0f};
constexpr float kSelectedCrackerColour[4] = {0.0f, 1.0f, 1.0f, 1.0f};
// Axis codes of the circle helpers at the two ends: a circle about x, and
// the halves about y and z that face away from the other end.
constexpr unsigned int kLowerEnd[3] = {0, 1, 2};
constexpr unsigned int kUpperEnd[3] = {0, 4, 5};

/// The circle and half circles at one end of the capsule.
void drawCrackerEnd(const MPoint& end, const unsigned int axes[3], float radius) {
  const float at[16] = {1,
                        0,
                        0,
                        0,
                        0,
                        1,
                        0,
                        0,
                        0,
                        0,
                        1,
                        0,
                        static_cast<float>(end.x),
                        static_cast<float>(end.y),
                        static_cast<float>(end.z),
                        1};
  glPushModelMatrix(at);
  glDrawAxisCircle(axes[0], radius);
  glDrawAxisSemicircle(axes[1], radius);
  glDrawAxisSemicircle(axes[2], radius);
  glPopModelMatrix();
}

}  // namespace

void zovCrackerNode::draw(M3dView& view, const MDagPath&, M3dView::DisplayStyle style, M3dView::DisplayStatus) {
  if (style == M3dView::kWireFrame) return;

  // Selected: the locator itself, or the transform above it, is on the list.
  MSelectionList list;
  MGlobal::getActiveSelectionList(list);
  bool isPicked = false;
  for (MItSelectionList it(list, MFn::kPluginLocatorNode); !it.isDone() && !isPicked; it.next()) {
    MObject item;
    it.getDependNode(item);
    isPicked = item == thisMObject();
  }
  for (MItSelectionList it(list, MFn::kTransform); !it.isDone() && !isPicked; it.next()) {
    MDagPath transform;
    if (!it.getDagPath(transform)) continue;
    for (unsigned int i = 0; i < transform.childCount() && !isPicked; ++i)
      isPicked = transform.child(i) == thisMObject();
  }
  if (g_displaySelected && !isPicked) return;
  if (MConditionMessage::getConditionState("playingBack") || MConditionMessage::getConditionState("busy")) return;

  if (!view.beginGL()) return;
  glPushAttrib(kAllAttributeGroups);
  if (body) {
    glPushModelMatrix(zovdraw::kIdentity);
    glSetFrontPolygonMode(kLines);
    glSetBackPolygonMode(kLines);
    const float* colour = isPicked ? kSelectedCrackerColour : kCrackerColour;
    glSetColor(colour[0], colour[1], colour[2], colour[3]);
    const ZOVcapsule* capsule = body->getType() == kCrackerBody ? body->getBoundingVolume(0) : nullptr;
    if (capsule != nullptr) {
      const std::array<MPoint, 2> ends = zovdraw::capsuleEnds(*capsule, offset.inverse());
      const float r = static_cast<float>(capsule->radius);
      const MVector sides[4] = {MVector(0.0, r, 0.0), MVector(0.0, -r, 0.0), MVector(r, 0.0, 0.0),
                                MVector(-r, 0.0, 0.0)};
      float from[3], to[3];
      for (const MVector& side : sides) {
        zovdraw::storePoint(ends[0] + side, from);
        zovdraw::storePoint(ends[1] + side, to);
        glDrawLine(from, to);
      }
      drawCrackerEnd(ends[0], kLowerEnd, r);
      drawCrackerEnd(ends[1], kUpperEnd, r);
    }
    glPopModelMatrix();
  }
  glPopAttrib();
  view.endGL();
}
