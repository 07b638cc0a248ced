#pragma once

#include "geometry/EngineList.h"

// The steps of an outside walk over an engine list: the owner keeps the
// cursor and a byte that says a walk is under way, and its getFirst/getNext
// members hand out one value a call.

/// Puts the cursor on the list's first node and marks the walk as running;
/// the first value, or null for an empty list.
template <typename T, typename Flag>
T walkFirst(const EngineList<T>& list, typename EngineList<T>::Node*& cursor, Flag& walking) {
  cursor = list.getFirst();
  walking = 1;
  return cursor != nullptr ? cursor->value : nullptr;
}

/// Moves the cursor one node on; the value there, or null (and the walk
/// marked as over) past the last node or with no cursor.
template <typename T, typename Flag>
T walkNext(typename EngineList<T>::Node*& cursor, Flag& walking) {
  if (cursor != nullptr) cursor = cursor->next;
  if (cursor == nullptr) {
    walking = 0;
    return nullptr;
  }
  return cursor->value;
}
