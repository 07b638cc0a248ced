#include "engine/PublicWorld.h"

PublicWorld* theWorld = nullptr;

PublicWorld::~PublicWorld() = default;
