#pragma once

/// The narrow-phase query engine: overlap and contact queries between convex
/// shapes. Exactly one instance exists while the collision manager exists.
class Pk_jump;

/// The one query engine, published by the collision manager when it builds it
/// and null before. Services that would ask it answer "may overlap" while it
/// is null.
extern Pk_jump* g_pkJump;
