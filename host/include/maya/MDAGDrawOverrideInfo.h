#pragma once

/// How the host's drawing overrides of a DAG path (display layers, the
/// node's own overrides) ask for it to be drawn.
class MDAGDrawOverrideInfo {
 public:
  /// Normal (0), template (1) or reference (2).
  int fDisplayType = 0;
  /// Full (0) or bounding box (1).
  int fLOD = 0;
  bool fEnableShading = true;
  bool fEnableTexturing = true;
  bool fEnableVisible = true;
  bool fPlaybackVisible = true;
};
