#pragma once

#include <maya/MFnBase.h>
#include <maya/MPxNode.h>
#include <maya/MString.h>
#include <maya/MSyntax.h>
#include <maya/MTypeId.h>
#include <maya/MTypes.h>

/// Creates the syntax of a command.
typedef MSyntax (*MCreateSyntaxFunction)();

/// Function set for a plug-in: its identity and the registration of its node
/// types, commands and context commands. A node type whose name or id is
/// taken, or a command whose name is taken, fails to register; the plug-in's
/// other registrations are not affected.
///
/// A module declares its host API version by exporting, beside its
/// initializePlugin and uninitializePlugin functions:
///   extern "C" const char MApiVersion[] = "20180000";
class MFnPlugin : public MFnBase {
 public:
  MFnPlugin() = default;
  explicit MFnPlugin(const MObject& plugin, const char* vendor = "Unknown", const char* version = "Unknown",
                     const char* requiredApiVersion = "Any", MStatus* status = nullptr);

  MFn::Type type() const override { return MFn::kPlugin; }

  MString vendor(MStatus* status = nullptr) const;
  MString version(MStatus* status = nullptr) const;
  /// The API version the plug-in asked for ("Any" when it did not say).
  MString apiVersion(MStatus* status = nullptr) const;
  MString name(MStatus* status = nullptr) const;
  MString loadPath(MStatus* status = nullptr) const;

  /// Registers a node type and runs its initialize function. classification
  /// (a draw classification such as "drawdb/geometry/...") may be null.
  MStatus registerNode(const MString& typeName, const MTypeId& typeId, MCreatorFunction creator,
                       MInitializeFunction initialize, MPxNode::Type type = MPxNode::kDependNode,
                       const MString* classification = nullptr);
  /// Deregisters a node type; nodes of the type leave the scene.
  MStatus deregisterNode(const MTypeId& typeId);
  MStatus registerCommand(const MString& commandName, MCreatorFunction creator,
                          MCreateSyntaxFunction createSyntax = nullptr);
  MStatus deregisterCommand(const MString& commandName);
  /// Registers a tool-context command; running it makes a context.
  MStatus registerContextCommand(const MString& commandName, MCreatorFunction creator);
  MStatus deregisterContextCommand(const MString& commandName);

 private:
  std::string pluginName() const;
};
