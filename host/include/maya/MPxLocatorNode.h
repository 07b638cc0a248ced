#pragma once

#include <maya/MPxNode.h>

/// Base of plug-in locator nodes: nodes drawn in the viewport.
class MPxLocatorNode : public MPxNode {
public:
  MPxLocatorNode() = default;
  ~MPxLocatorNode() override = default;

  Type type() const override { return kLocatorNode; }
  virtual bool isBounded() const { return false; }
  virtual bool excludeAsLocator() const { return true; }
  virtual bool isTransparent() const { return false; }
};
