#pragma once

#include <maya/MDagPath.h>

// The pieces of one shatter share its group id in a fracture body. Where a
// shatter keeps its group is the shatter tools' to know: they register how
// to find it when the module loads, and fracture bodies ask through here.

/// Answers through `group` the number of the shatter group that holds
/// `path`; false when no shatter group holds it.
using ShatterGroupFinder = bool (*)(const MDagPath& path, int& group);

/// The finder asked from now on; null: none, so that no piece is in a group.
void registerShatterGroupFinder(ShatterGroupFinder finder);
/// The registered finder's answer; false without one.
bool findShatterGroup(const MDagPath& path, int& group);
