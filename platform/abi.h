#pragma once

// The calling convention of Windows system entry points (a no-op on x64 and
// everywhere else), for function types called across a DLL boundary.
#if defined(_WIN32) && !defined(_WIN64)
#define PELLICOR_STDCALL __stdcall
#else
#define PELLICOR_STDCALL
#endif

// Marks a function a shared library exports with C linkage.
#if defined(_WIN32)
#define PELLICOR_EXPORT extern "C" __declspec(dllexport)
#else
#define PELLICOR_EXPORT extern "C" __attribute__((visibility("default")))
#endif
