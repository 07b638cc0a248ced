#pragma once

#include <maya/MObject.h>
#include <maya/MStatus.h>
#include <maya/MString.h>

namespace MHWRender {

class MPxDrawOverride;

/// The registry of draw-override creators by draw classification.
class MDrawRegistry {
 public:
  typedef MPxDrawOverride* (*DrawOverrideCreator)(const MObject& object);

  /// Registers a creator for a classification under a registrant id; a pair
  /// already registered fails.
  static MStatus registerDrawOverrideCreator(const MString& drawClassification, const MString& registrantId,
                                             DrawOverrideCreator creator);
  static MStatus deregisterDrawOverrideCreator(const MString& drawClassification, const MString& registrantId);
};

}  // namespace MHWRender
