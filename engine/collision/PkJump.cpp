#include "engine/collision/PkJump.h"

Pk_jump* g_pkJump = nullptr;
