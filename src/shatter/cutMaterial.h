#pragma once

#include <maya/MString.h>

// The scene content that every shatter shares: the cut material that cut
// faces receive and the blind-data type that tags them.

/// The shader and shading group that cut faces receive.
struct CutMaterial {
  /// The lambert's name (the host may have numbered it).
  MString shader;
  MString shadingGroup;
};

/// The cut material named `name` as the scene holds it, found the one way
/// every shatter finds it: `shader` is the name when a lambert of that name
/// carries the "cutmat" tag, else ""; `shadingGroup` is the first shading
/// group that lambert's outColor feeds (its own name, whatever the user
/// renamed it to), else name + "SG" when the scene holds a shading group of
/// that name, else "".
CutMaterial findCutMaterial(const MString& name);

/// The cut material named `name` with its group as findCutMaterial finds
/// them; what is missing is made: a group the shader's outColor feeds when
/// it has none, or the whole material (tagged, with a new shading group,
/// coloured (0, 0.5, 0)) when there is no tagged lambert of the name. A
/// failed host command does not stop the shatter: the names are what the
/// host answered.
CutMaterial findOrCreateCutMaterial(const MString& name);

/// The cut material a shatter's record names, with its shading group as
/// findCutMaterial finds it; nothing is made. Empty names (none) when the
/// record names none or, with a warning naming the record, when the name it
/// holds (from a scene file, say) cannot name a node or no shading group of
/// the material is in the scene: only then do the cut faces go without it.
CutMaterial recordedCutMaterial(const MString& recordName, const MString& stored);

/// Defines the cut-face tag's blind-data type unless the scene has it.
void ensureCutFaceType();
