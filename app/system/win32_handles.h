// One move-only owner for every kind of Windows handle, and an alias per kind with its close
// function and the value that kind uses for "no handle".
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdio>
#include <utility>

#include "error_log.h"

namespace tolvar {

// "No handle" for the kinds whose functions report failure with null.
template <typename Handle>
constexpr Handle NullHandle() noexcept {
    return nullptr;
}

// "No handle" for files and find handles, whose functions report failure with it.
inline HANDLE InvalidHandleValue() noexcept {
    return INVALID_HANDLE_VALUE;
}

namespace handles_detail {

inline constexpr char kClosing[] = "closing a handle";
inline constexpr std::size_t kErrorTextChars = 32;

// The error a close function reported, ERROR_SUCCESS for none: the registry's returns it, the
// others return FALSE and leave it as the thread's last error.
inline DWORD CloseError(BOOL closed) noexcept {
    return closed ? ERROR_SUCCESS : GetLastError();
}
inline DWORD CloseError(LSTATUS status) noexcept {
    return static_cast<DWORD>(status);
}

// A handle that does not close is a fault in its owner's use, never a reason to stop.
inline void LogCloseError(DWORD error) noexcept {
    char what[kErrorTextChars];
    std::snprintf(what, sizeof what, "error %lu", static_cast<unsigned long>(error));
    LogFailure(kClosing, what);
}

}  // namespace handles_detail

// Owns one handle and closes it with Close when it is replaced or the owner goes, unless it was
// released first. Invalid() is the value that means "no handle" for this kind.
template <typename Handle, auto Close, Handle (*Invalid)() noexcept = &NullHandle<Handle>>
class UniqueAny {
  public:
    static constexpr bool kNullIsInvalid = Invalid == &NullHandle<Handle>;

    UniqueAny() noexcept = default;
    // Lets a function that returns an owner say "none" as it would with a raw handle.
    UniqueAny(std::nullptr_t) noexcept requires kNullIsInvalid {}
    explicit UniqueAny(Handle handle) noexcept : m_handle(handle) {}
    UniqueAny(UniqueAny&& other) noexcept : m_handle(other.release()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;
    ~UniqueAny() { reset(); }

    Handle get() const noexcept { return m_handle; }
    bool is_valid() const noexcept { return m_handle != Invalid(); }
    explicit operator bool() const noexcept { return is_valid(); }

    // Gives the handle up without closing it.
    [[nodiscard]] Handle release() noexcept { return std::exchange(m_handle, Invalid()); }

    // Closes the handle held, if any, and holds the new one.
    void reset(Handle handle = Invalid()) noexcept {
        const Handle old = std::exchange(m_handle, handle);
        if (old == Invalid()) return;
        if (const DWORD error = handles_detail::CloseError(Close(old))) {
            handles_detail::LogCloseError(error);
        }
    }

    friend bool operator==(const UniqueAny& owner,
                           std::nullptr_t) noexcept requires kNullIsInvalid {
        return !owner.is_valid();
    }

  private:
    Handle m_handle = Invalid();
};

// Kernel objects such as processes and threads.
using UniqueHandle = UniqueAny<HANDLE, &CloseHandle>;
// A mutex owned after a wait for it: the ownership is given back when the owner goes. The mutex's
// own handle (a UniqueHandle) must outlive it.
using UniqueMutexOwnership = UniqueAny<HANDLE, &ReleaseMutex>;
// CreateFile's handles.
using UniqueFile = UniqueAny<HANDLE, &CloseHandle, &InvalidHandleValue>;
// FindFirstFile's handles.
using UniqueFind = UniqueAny<HANDLE, &FindClose, &InvalidHandleValue>;
// FindFirstChangeNotification's handles.
using UniqueChangeNotification =
    UniqueAny<HANDLE, &FindCloseChangeNotification, &InvalidHandleValue>;
using UniqueFont = UniqueAny<HFONT, &DeleteObject>;
using UniqueIcon = UniqueAny<HICON, &DestroyIcon>;
using UniqueBitmap = UniqueAny<HBITMAP, &DeleteObject>;
using UniqueMenu = UniqueAny<HMENU, &DestroyMenu>;
// CreateCompatibleDC's memory device contexts.
using UniqueMemoryDC = UniqueAny<HDC, &DeleteDC>;
using UniqueRegKey = UniqueAny<HKEY, &RegCloseKey>;
using UniqueModule = UniqueAny<HMODULE, &FreeLibrary>;
using UniqueWinEventHook = UniqueAny<HWINEVENTHOOK, &UnhookWinEvent>;
// MapViewOfFile's views.
using UniqueMapView = UniqueAny<LPCVOID, &UnmapViewOfFile>;

// Owns one reference to a COM object and releases it when replaced or when the owner goes.
// Release reports a count, not an error, so it has an owner of its own.
template <typename Interface>
class UniqueCom {
  public:
    UniqueCom() noexcept = default;
    UniqueCom(UniqueCom&& other) noexcept : m_object(std::exchange(other.m_object, nullptr)) {}
    UniqueCom& operator=(UniqueCom&& other) noexcept {
        if (this != &other) reset(std::exchange(other.m_object, nullptr));
        return *this;
    }
    UniqueCom(const UniqueCom&) = delete;
    UniqueCom& operator=(const UniqueCom&) = delete;
    ~UniqueCom() { reset(); }

    Interface* get() const noexcept { return m_object; }
    Interface* operator->() const noexcept { return m_object; }
    explicit operator bool() const noexcept { return m_object != nullptr; }

    // Where a function that hands out a reference (CoCreateInstance, QueryInterface) puts it;
    // the reference held before is released first.
    void** put() noexcept {
        reset();
        return reinterpret_cast<void**>(&m_object);
    }

    void reset(Interface* object = nullptr) noexcept {
        if (Interface* old = std::exchange(m_object, object)) old->Release();
    }

  private:
    Interface* m_object = nullptr;
};

}  // namespace tolvar
