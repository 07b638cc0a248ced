#pragma once

#include <maya/MArgList.h>
#include <maya/MDGModifier.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MPlugArray.h>
#include <maya/MPxCommand.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MSyntax.h>

#include <memory>

#include "src/moduleCommand.h"

class rigidBodyNode;

/// The animation hand-over, command text "zovTrans": moves the animation
/// curves of a rigid body's transform between the transform's translate and
/// rotate channels and the body node's key attributes (`keysTX` .. `keysRZ`).
/// "-dyn"/"-dynamics" hangs the curves on the keys, so that the body
/// simulates from its animated state; "-ani"/"-animation" gives them back to
/// the transform. "-nod"/"-node" names one `zovRigidBody`; "-fno"/"-fnode"
/// names a `zovFbodyNode` whose pieces are handed over, and that then become
/// dynamic (-dynamics) or passive (-animation); -node wins when both are
/// given. "-fr"/"-frame" (unsigned) is accepted and read by nothing.
///
/// A key attribute that held the transform's rotate pivot (the pivot helpers
/// of a body made before its transform was keyed) lets the pivot go when it
/// takes a curve: the pivot keeps its value, and a keyed transform's body
/// holds no pivot.
///
/// The module builds the class, its creator and its syntax, but registers no
/// command with them: nothing in the module runs it. A name that finds no
/// node, no node flag, or both -dynamics and -animation fail with an error
/// and change nothing. Not undoable.
class resumeCmd : public ModuleCommand {
 public:
  resumeCmd() : ModuleCommand("zovTrans") {}

  static void* creator();
  static MSyntax newSyntax();

  MStatus doIt(const MArgList& arguments) override;

  /// "zovTrans".
  static const MString commandName;

 private:
  /// The curve on the channel moves onto the key attribute (a curve the key
  /// held goes); false when the channel had none.
  bool moveToKeys(const MPlug& channel, const MPlug& key);
  /// The curve on the key attribute goes back to the channel, unless the
  /// channel has one again.
  void moveBack(const MPlug& channel, const MPlug& key);
  /// The six channels of the body's transform to the keys or back, queued on
  /// the modifier.
  void moveChannels(const rigidBodyNode& body, bool toKeys);
  /// The pieces of the named fracture body node handed over.
  MStatus handOverFracture(const MString& name, bool toDynamics, bool toAnimation);
  /// The named rigid body handed over.
  MStatus handOverBody(const MString& name, bool toDynamics, bool toAnimation);

  std::unique_ptr<MDGModifier> modifier;
  /// Scratch lists of a plug's connections.
  MPlugArray sources;
  MPlugArray destinations;
};
