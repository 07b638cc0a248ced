#pragma once

#include <maya/MPxContext.h>
#include <maya/MStatus.h>

/// Base of plug-in context commands: running the command makes a context.
class MPxContextCommand {
 public:
  MPxContextCommand() = default;
  virtual ~MPxContextCommand() = default;
  /// Makes the context object; the host owns it.
  virtual MPxContext* makeObj() = 0;
};
