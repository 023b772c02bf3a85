#pragma once

#include <utility>

namespace platform {

// Owns one handle of the kind Traits describes, and frees it once:
//   struct Traits {
//       using Handle = ...;
//       static Handle invalid() noexcept;           // the value that owns nothing
//       static void free(Handle handle) noexcept;   // frees a handle that is not invalid()
//   };
// A moved-from handle owns nothing and is harmless to destroy. Where freeing
// can fail in a way the caller must hear of (a close that flushes), the
// caller takes the handle with release() and frees it itself.
template <typename Traits>
class ScopedHandle {
public:
    using Handle = typename Traits::Handle;

    ScopedHandle() noexcept = default;
    explicit ScopedHandle(Handle handle) noexcept : handle_(handle) {}
    ~ScopedHandle() { reset(); }
    ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.release()) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept
    {
        reset(other.release());
        return *this;
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;

    Handle get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Traits::invalid(); }

    // Gives the handle up without freeing it.
    Handle release() noexcept { return std::exchange(handle_, Traits::invalid()); }
    // Frees what it holds and holds handle instead.
    void reset(Handle handle = Traits::invalid()) noexcept
    {
        const Handle old = std::exchange(handle_, handle);
        if (old != Traits::invalid())
            Traits::free(old);
    }

private:
    Handle handle_ = Traits::invalid();
};

// The traits of a pointer that Free releases: a C library's object.
template <typename T, auto Free>
struct PointerTraits {
    using Handle = T*;
    static constexpr Handle invalid() noexcept { return nullptr; }
    static void free(Handle handle) noexcept { Free(handle); }
};

template <typename T, auto Free>
using ScopedPointer = ScopedHandle<PointerTraits<T, Free>>;

} // namespace platform
