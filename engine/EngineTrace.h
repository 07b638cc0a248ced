#pragma once

// The engine's trace lines (dumps of the world, bodies put to sleep and woken,
// pairs resolved) go through one printf-style function that writes nothing:
// they document what the engine does without producing output.

/// The stream the trace would write to; nothing sets it.
extern void* g_engineTraceStream;

/// Takes a stream, a printf format and its arguments, and writes nothing.
void engineTrace(void* stream, const char* format, ...);
