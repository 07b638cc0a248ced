// The voronoi node's cells in the legacy viewport.
#include <GL/gl.h>
#include <maya/MAnimControl.h>

#include "src/draw/cellDrawing.h"
#include "src/shatter/voronoiNode.h"

namespace {

/// All of OpenGL's attribute groups.
constexpr GLbitfield kCellAllAttributeBits = 0xFFFFF;
constexpr float kCellLineWidth = 2.0f;

}  // namespace

void voronoiNode::draw(M3dView& view, const MDagPath&, M3dView::DisplayStyle, M3dView::DisplayStatus) {
  if (!showsCells()) return;
  if (MAnimControl::isPlaying() || MAnimControl::isScrubbing()) return;
  view.beginGL();
  glPushAttrib(kCellAllAttributeBits);
  glLineWidth(kCellLineWidth);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
  glColor4f(zovdraw::kCellGrey, zovdraw::kCellGrey, zovdraw::kCellGrey, 1.0f);
  zovdraw::forEachCellFace(*displayCells, [](const float* points, unsigned int count) {
    glBegin(GL_POLYGON);
    for (unsigned int k = 0; k < count; ++k) glVertex3fv(points + 3 * k);
    glEnd();
  });
  glPopMatrix();
  glPopAttrib();
  view.endGL();
}
