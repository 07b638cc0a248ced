#pragma once

#include <maya/MArgDatabase.h>
#include <maya/MArgList.h>
#include <maya/MDagModifier.h>
#include <maya/MObject.h>
#include <maya/MPxCommand.h>
#include <maya/MStatus.h>
#include <maya/MSyntax.h>

#include <memory>

/// Most seeds a preview shows.
constexpr unsigned int kMaxPreviewShards = 128;

/// `zovShatterPreview` (`-dp`): puts the seeds that a shatter of the mesh
/// with these settings would use into the `ShatterLocator` under its
/// transform, with the settings, so that the locator shows them and makes
/// them again when its centres move; an earlier shatter's seeds go with
/// them. Without `-dp` it only checks its arguments; an object without a
/// locator computes and changes nothing. What it writes into the locator
/// (settings, points, centres it adds, the reference link) cannot be taken
/// back: a run that filled a locator is undoable, and its undo empties the
/// undo queue, so that no undo reaches past it (one that took back the
/// locator's making would take the preview with it).
class shatterLocatorCmd : public MPxCommand {
 public:
  static void* creator();
  static MSyntax newSyntax();

  MStatus doIt(const MArgList& arguments) override;
  /// Empties the undo queue.
  MStatus undoIt() override;
  bool isUndoable() const override { return m_filledLocator; }
  bool hasSyntax() const override { return true; }

  /// Gives the reference the message attribute "zovRefObj" (once) and
  /// connects it to the locator's `refObject`. Nothing for a null
  /// reference; failures are written to the error stream.
  void SetRefObject(const MObject& locator, const MObject& reference);

 private:
  std::unique_ptr<MArgDatabase> m_arguments;
  std::unique_ptr<MDagModifier> m_modifier;
  /// Whether the run wrote a preview into a locator.
  bool m_filledLocator = false;
};
