#pragma once

#include <maya/MStatus.h>
#include <maya/MString.h>

/// The host's one progress window. A tool reserves it for its whole run
/// (reserve fails while another tool holds it), sets it up, starts it,
/// advances it and asks whether the user cancelled; endProgress gives it up.
class MProgressWindow {
 public:
  /// False when another tool holds the window.
  static bool reserve();
  static MStatus setProgressRange(int minValue, int maxValue);
  static MStatus setTitle(const MString& title);
  static MStatus setProgressStatus(const MString& text);
  static MStatus setInterruptable(bool value);
  static MStatus startProgress();
  static MStatus setProgress(int value);
  static MStatus advanceProgress(int amount);
  static int progress(MStatus* status = nullptr);
  static int progressMin(MStatus* status = nullptr);
  static int progressMax(MStatus* status = nullptr);
  static MString title(MStatus* status = nullptr);
  static MString progressStatus(MStatus* status = nullptr);
  /// Whether the user asked an interruptible run to stop.
  static bool isCancelled(MStatus* status = nullptr);
  static bool isInterruptable(MStatus* status = nullptr);
  /// Closes the window and releases the reservation.
  static MStatus endProgress();
};
