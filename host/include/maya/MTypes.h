#pragma once

#include <cstdint>

/// An unsigned integer the size of a pointer.
typedef std::uintptr_t MUintPtrSz;
/// The identity of an installed callback; 0 is never a valid id.
typedef MUintPtrSz MCallbackId;

#include <maya/MStatus.h>

/// Creates a node or command object for the host; returns it as void*.
typedef void* (*MCreatorFunction)();
/// Creates the attributes of a node type.
typedef MStatus (*MInitializeFunction)();
