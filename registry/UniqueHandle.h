#pragma once

#include <windows.h>

#include <memory>

// A kernel handle (a file, an event, a thread) closed when it goes.
struct HandleClose {
    void operator()(HANDLE handle) const noexcept { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleClose>;
