#pragma once

#include <maya/MBoundingBox.h>
#include <maya/MPxNode.h>

/// Base of plug-in locator nodes: nodes drawn in the viewport.
class MPxLocatorNode : public MPxNode {
 public:
  MPxLocatorNode() = default;
  ~MPxLocatorNode() override = default;

  Type type() const override { return kLocatorNode; }
  /// True when boundingBox gives the locator's extent.
  virtual bool isBounded() const { return false; }
  /// The locator's box in its own space (used when isBounded is true).
  virtual MBoundingBox boundingBox() const { return MBoundingBox(); }
  virtual bool excludeAsLocator() const { return true; }
  virtual bool isTransparent() const { return false; }
};
