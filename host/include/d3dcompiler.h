#pragma once

// The host's shader compiler for Direct3D 11: compiles one entry point of a
// shader source for a target ("vs_5_0", "ps_5_0") into a blob of code that
// the device turns into a shader; failures come with a blob of messages.

#include <d3d11.h>

/// A block of bytes: compiled code or compiler messages (text with a
/// terminating zero).
struct ID3DBlob : IUnknown {
  virtual void* GetBufferPointer() = 0;
  virtual SIZE_T GetBufferSize() = 0;
};
typedef ID3DBlob ID3D10Blob;

struct D3D_SHADER_MACRO {
  LPCSTR Name;
  LPCSTR Definition;
};
/// Not supported by the stand-in: always passed as null.
struct ID3DInclude;

/// Compile flag: refuse deprecated syntax.
constexpr UINT D3DCOMPILE_ENABLE_STRICTNESS = 1u << 11;

/// Compiles `entryPoint` of the source for `target`. On success *code holds
/// the compiled code; on failure *errors (when given) holds the messages.
HRESULT D3DCompile(const void* sourceData, SIZE_T sourceSize, LPCSTR sourceName, const D3D_SHADER_MACRO* defines,
                   ID3DInclude* include, LPCSTR entryPoint, LPCSTR target, UINT flags, UINT effectFlags,
                   ID3DBlob** code, ID3DBlob** errors);
