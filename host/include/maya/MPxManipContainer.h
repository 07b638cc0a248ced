#pragma once

#include <maya/MPxNode.h>

/// Base of plug-in manipulator containers.
class MPxManipContainer : public MPxNode {
 public:
  MPxManipContainer() = default;
  ~MPxManipContainer() override = default;

  Type type() const override { return kManipContainer; }
  /// The initialize function manipulator containers register with.
  static MStatus initialize();
};
