#pragma once

/// Most collision workers the engine runs: one per processor but one, capped.
constexpr int kMaxWorkerThreads = 32;

/// Per-thread slots of bodies and joints. Thread index 0 is the calling (host)
/// thread and 1 up to the worker count are the workers, so a full worker table
/// needs one slot more than it has workers.
constexpr int kThreadSlotCount = kMaxWorkerThreads + 1;

/// Whether t names one of the per-thread slots.
inline bool isThreadSlot(int t) { return t >= 0 && t < kThreadSlotCount; }
