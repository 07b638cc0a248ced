#pragma once

#include <maya/M3dView.h>
#include <maya/MBoundingBox.h>
#include <maya/MDagPath.h>
#include <maya/MPxNode.h>

/// Base of plug-in locator nodes: nodes drawn in the viewport.
class MPxLocatorNode : public MPxNode {
 public:
  MPxLocatorNode() = default;
  ~MPxLocatorNode() override = default;

  Type type() const override { return kLocatorNode; }
  /// Draws the locator in the legacy viewport, with OpenGL between the
  /// view's beginGL and endGL; path is the locator's own path. The base
  /// draws nothing.
  virtual void draw(M3dView& view, const MDagPath& path, M3dView::DisplayStyle style, M3dView::DisplayStatus status) {
    static_cast<void>(view);
    static_cast<void>(path);
    static_cast<void>(style);
    static_cast<void>(status);
  }
  /// True when boundingBox gives the locator's extent.
  virtual bool isBounded() const { return false; }
  /// The locator's box in its own space (used when isBounded is true).
  virtual MBoundingBox boundingBox() const { return MBoundingBox(); }
  virtual bool excludeAsLocator() const { return true; }
  virtual bool isTransparent() const { return false; }
};
