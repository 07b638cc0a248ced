#include "engine/EngineTrace.h"

void* g_engineTraceStream = nullptr;

void engineTrace(void* /*stream*/, const char* /*format*/, ...) {}
