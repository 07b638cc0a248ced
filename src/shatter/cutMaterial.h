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

/// The lambert named `name` that carries the "cutmat" tag, with the group
/// its outColor feeds (else name + "SG", made anew when the scene has no
/// such group); made (tagged, with a new shading group, coloured
/// (0, 0.5, 0)) when there is none. A failed host command does not stop the
/// shatter: the names are what the host answered.
CutMaterial findOrCreateCutMaterial(const MString& name);

/// The cut material a shatter's record names: its name, or "" (none) when
/// it names none or, with a warning naming the record, when the name it
/// holds (from a scene file, say) cannot name a node or the material's
/// shading group (its name + "SG") is not in the scene.
MString recordedCutMaterial(const MString& recordName, const MString& stored);

/// Defines the cut-face tag's blind-data type unless the scene has it.
void ensureCutFaceType();
