#include <maya/MProgressWindow.h>

#include <algorithm>

#include "interpreter/HostSettings.h"
#include "mathtypes/StatusOut.h"

using zovhost::setStatus;

namespace {

zovhost::ProgressWindowState& window() { return zovhost::hostSettings().progressWindow; }

/// Changes to the window need the reservation.
MStatus held() { return window().reserved ? MS::kSuccess : MS::kFailure; }

}  // namespace

bool MProgressWindow::reserve() {
  if (window().reserved) return false;
  const int cancelAfter = window().cancelAfterChecks;
  window() = zovhost::ProgressWindowState();
  window().cancelAfterChecks = cancelAfter;
  window().reserved = true;
  return true;
}

MStatus MProgressWindow::setProgressRange(int minValue, int maxValue) {
  if (!held() || maxValue < minValue) return MS::kFailure;
  window().minValue = minValue;
  window().maxValue = maxValue;
  window().progress = std::clamp(window().progress, minValue, maxValue);
  return MS::kSuccess;
}

MStatus MProgressWindow::setTitle(const MString& title) {
  if (!held()) return MS::kFailure;
  window().title = title.asChar();
  return MS::kSuccess;
}

MStatus MProgressWindow::setProgressStatus(const MString& text) {
  if (!held()) return MS::kFailure;
  window().status = text.asChar();
  return MS::kSuccess;
}

MStatus MProgressWindow::setInterruptable(bool value) {
  if (!held()) return MS::kFailure;
  window().interruptable = value;
  return MS::kSuccess;
}

MStatus MProgressWindow::startProgress() {
  if (!held()) return MS::kFailure;
  window().started = true;
  return MS::kSuccess;
}

MStatus MProgressWindow::setProgress(int value) {
  if (!held()) return MS::kFailure;
  window().progress = std::clamp(value, window().minValue, window().maxValue);
  return MS::kSuccess;
}

MStatus MProgressWindow::advanceProgress(int amount) {
  if (!held()) return MS::kFailure;
  const long long value = static_cast<long long>(window().progress) + amount;
  window().progress = static_cast<int>(std::clamp<long long>(value, window().minValue, window().maxValue));
  return MS::kSuccess;
}

int MProgressWindow::progress(MStatus* status) {
  setStatus(status, held());
  return window().progress;
}

int MProgressWindow::progressMin(MStatus* status) {
  setStatus(status, held());
  return window().minValue;
}

int MProgressWindow::progressMax(MStatus* status) {
  setStatus(status, held());
  return window().maxValue;
}

MString MProgressWindow::title(MStatus* status) {
  setStatus(status, held());
  return MString(window().title.c_str());
}

MString MProgressWindow::progressStatus(MStatus* status) {
  setStatus(status, held());
  return MString(window().status.c_str());
}

bool MProgressWindow::isCancelled(MStatus* status) {
  setStatus(status, held());
  zovhost::ProgressWindowState& state = window();
  if (!state.reserved || !state.started || !state.interruptable || state.cancelAfterChecks < 0) return false;
  return state.checks++ >= state.cancelAfterChecks;
}

bool MProgressWindow::isInterruptable(MStatus* status) {
  setStatus(status, held());
  return window().interruptable;
}

MStatus MProgressWindow::endProgress() {
  if (!held()) return MS::kFailure;
  const int cancelAfter = window().cancelAfterChecks;
  window() = zovhost::ProgressWindowState();
  window().cancelAfterChecks = cancelAfter;
  return MS::kSuccess;
}
