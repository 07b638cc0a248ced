#include <maya/MProgressWindow.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "interpreter/HostSettings.h"
#include "mathtypes/StatusOut.h"

using zovhost::setStatus;

namespace {

zovhost::ProgressWindowState& window() { return zovhost::hostSettings().progressWindow; }

/// Changes to the window need the reservation; a test may make one call of
/// a run fail.
MStatus held() {
  if (!window().reserved) return MS::kFailure;
  return ++window().calls == window().failingCall ? MS::kFailure : MS::kSuccess;
}

/// A fresh window that keeps what the test asked of the user.
void resetWindow() {
  const int cancelAfter = window().cancelAfterChecks;
  const int failing = window().failingCall;
  std::string title = std::move(window().lastTitle);
  std::vector<int> progress = std::move(window().lastProgress);
  window() = zovhost::ProgressWindowState();
  window().cancelAfterChecks = cancelAfter;
  window().failingCall = failing;
  window().lastTitle = std::move(title);
  window().lastProgress = std::move(progress);
}

}  // namespace

bool MProgressWindow::reserve() {
  if (window().reserved) return false;
  resetWindow();
  window().reserved = true;
  window().lastTitle.clear();
  window().lastProgress.clear();
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
  window().lastTitle = window().title;
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
  window().lastProgress.push_back(window().progress);
  return MS::kSuccess;
}

MStatus MProgressWindow::advanceProgress(int amount) {
  if (!held()) return MS::kFailure;
  const long long value = static_cast<long long>(window().progress) + amount;
  window().progress = static_cast<int>(std::clamp<long long>(value, window().minValue, window().maxValue));
  window().lastProgress.push_back(window().progress);
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
  const MStatus status = held();
  if (window().reserved) resetWindow();
  return status;
}
