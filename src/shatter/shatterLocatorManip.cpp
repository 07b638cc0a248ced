#include "src/shatter/shatterLocatorManip.h"

#include <GL/gl.h>
#include <maya/MFnFreePointTriadManip.h>
#include <maya/MPlug.h>
#include <maya/MPoint.h>

#include "src/nodeLinks.h"
#include "src/shatter/shatterLocatorNode.h"

const MTypeId ShatterLocatorManip::id(0x113A88);

MStatus ShatterLocatorManip::createChildren() {
  for (MDagPath& handle : handles) handle = addFreePointTriadManip("pointManip", "freePoint");
  return MS::kSuccess;
}

MStatus ShatterLocatorManip::connectToDependNode(const MObject& node) {
  if (node.isNull()) return MS::kFailure;
  locator = node;
  const MPlug centres(node, ShatterLocatorNode::shatter_pos);
  centreCount = MPlug(node, ShatterLocatorNode::numLoc).asInt();
  for (int k = 0; k < kMaxHandles; ++k) {
    MFnFreePointTriadManip handle(handles[k]);
    if (k >= centreCount) {
      handle.hide();
      continue;
    }
    const MPlug element = centres.elementByLogicalIndex(static_cast<unsigned int>(k));
    const MVector at(element.child(0).asDouble(), element.child(1).asDouble(), element.child(2).asDouble());
    handle.connectToPointPlug(element);
    handle.setPoint(MPoint(at));
    positions[k] = at;
    handle.show();
  }
  finishAddingManips();
  return MPxManipContainer::connectToDependNode(node);
}

void ShatterLocatorManip::draw(M3dView& view, const MDagPath& path, M3dView::DisplayStyle style,
                               M3dView::DisplayStatus status) {
  view.beginGL();
  glPushAttrib(GL_CURRENT_BIT);
  glBegin(GL_POINTS);
  MPxManipContainer::draw(view, path, style, status);
  glEnd();
  glPopAttrib();
  view.endGL();
}

MStatus ShatterLocatorManip::doDrag() {
  pullPlug(locator, ShatterLocatorNode::ca_shatter_pos);
  return MPxManipContainer::doDrag();
}

MStatus ShatterLocatorManip::doRelease() {
  pullPlug(locator, ShatterLocatorNode::ca_shatter_pos);
  return MPxManipContainer::doRelease();
}
