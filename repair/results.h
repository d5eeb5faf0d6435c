// The program's own result codes, beside 0 and the Windows error codes the routines return.
#pragma once

#include <windows.h>

// A listing or reading routine was given no row or text sink.
inline constexpr DWORD kNoSink = 0xB0000001;
// The buffers a routine needs could not be allocated.
inline constexpr DWORD kNoBuffers = 0xB0000002;
