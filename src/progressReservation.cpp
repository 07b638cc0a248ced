#include "src/progressReservation.h"

#include <maya/MProgressWindow.h>

#include <iostream>

ProgressReservation::~ProgressReservation() { end(); }

bool ProgressReservation::reserve() {
  held = MProgressWindow::reserve();
  return held;
}

void ProgressReservation::start(int maxValue, const char* title, const char* source, bool interruptable) {
  reportProgressError(MProgressWindow::setProgressRange(0, maxValue), source, __LINE__);
  reportProgressError(MProgressWindow::setTitle(title), source, __LINE__);
  reportProgressError(MProgressWindow::setInterruptable(interruptable), source, __LINE__);
  reportProgressError(MProgressWindow::startProgress(), source, __LINE__);
  reportProgressError(MProgressWindow::setProgress(0), source, __LINE__);
}

void ProgressReservation::end() {
  if (!held) return;
  MProgressWindow::endProgress();
  held = false;
}

void reportProgressError(const MStatus& status, const char* source, int line) {
  if (status) return;
  std::cerr << "\nAPI error detected in " << source << " at line " << line << "\n";
  status.perror("");
}
