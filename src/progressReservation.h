#pragma once

#include <maya/MStatus.h>

/// Holds the host's progress window for a tool's run and gives it back on
/// every way out of the scope that reserved it.
class ProgressReservation {
 public:
  ProgressReservation() = default;
  ~ProgressReservation();
  ProgressReservation(const ProgressReservation&) = delete;
  ProgressReservation& operator=(const ProgressReservation&) = delete;

  /// False when another tool holds the window.
  bool reserve();
  /// Sets the window up (range, title, whether the user may interrupt) and
  /// starts it at progress 0; failed host calls are reported against
  /// `source`.
  void start(int maxValue, const char* title, const char* source, bool interruptable = true);
  /// Ends the progress now.
  void end();
  bool isHeld() const { return held; }

 private:
  bool held = false;
};

/// A failed host call on the progress window: reported on the error stream
/// as "API error detected in <source> at line <line>" and the status's own
/// message. The run goes on.
void reportProgressError(const MStatus& status, const char* source, int line);
