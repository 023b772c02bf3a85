#pragma once

#include <windows.h>

#include "platform/scoped_handle.h"

namespace platform {

// A kernel object's handle. Windows has two values that own nothing: null
// (most calls) and INVALID_HANDLE_VALUE (CreateFile); both are taken as null.
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle invalid() noexcept { return nullptr; }
    static void free(Handle handle) noexcept { ::CloseHandle(handle); }
};

class ScopedKernelHandle : public ScopedHandle<KernelHandleTraits> {
public:
    ScopedKernelHandle() noexcept = default;
    explicit ScopedKernelHandle(HANDLE handle) noexcept : ScopedHandle(owned(handle)) {}
    void reset(HANDLE handle = nullptr) noexcept { ScopedHandle::reset(owned(handle)); }

private:
    static HANDLE owned(HANDLE handle) noexcept { return handle == INVALID_HANDLE_VALUE ? nullptr : handle; }
};

} // namespace platform
