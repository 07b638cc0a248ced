#pragma once

#include <maya/MEvent.h>
#include <maya/MGlobal.h>
#include <maya/MPxContext.h>
#include <maya/MPxContextCommand.h>
#include <maya/MPxSelectionContext.h>
#include <maya/MSelectionMask.h>
#include <maya/MStatus.h>

/// The module's interactive selection tool, for picking its objects while
/// one of its windows is open: a marquee (or click) picks objects, always
/// replacing the selection, and then the user interface's "zovSelectPath()"
/// reads the new selection. The tool picks in object mode; switching to
/// another tool gives back the selection mode and mask that were active
/// before it was chosen.
class SelectZovContext : public MPxSelectionContext {
 public:
  SelectZovContext();

  void toolOnSetup(MEvent& event) override;
  void toolOffCleanup() override;
  MStatus doPress(MEvent& event) override;
  MStatus doHold(MEvent& event) override;
  MStatus doRelease(MEvent& event) override;

 protected:
  /// The host's marquee, passed through unchanged.
  virtual MStatus beginMarqueeSelection(MEvent& event);
  virtual MStatus dragMarqueeSelection(MEvent& event);
  virtual MStatus releaseMarqueeSelection(MEvent& event, short& top, short& left, short& bottom, short& right);

 private:
  MGlobal::MSelectionMode savedMode = MGlobal::kSelectObjectMode;
  MSelectionMask savedComponentMask;
  MSelectionMask savedObjectMask;
};

/// `selectZovContext`: the context command that makes the selection tool.
class SelectZovContextCmd : public MPxContextCommand {
 public:
  MPxContext* makeObj() override;
};
