#pragma once

#include "registry/UniqueHandle.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

// Tells a window that something changed under any of a few registry keys: a value, or a sub-key
// made or removed anywhere below, or the key itself removed or made again. A key not there yet is
// waited for from the nearest key above it that is, so its making is seen too. Costs nothing while
// nothing changes: the system signals each change.
class KeyWatch {
  public:
    struct Key {
        HKEY root;
        std::wstring path;
    };

    // Watches from before it returns, so the keys read after it are read with every later change
    // seen. Posts `message` to `window` after a change, but never while one it posted is not yet
    // Handled. A few keys: each takes one of the 64 handles a thread can wait on. Where no thread
    // can be started, nothing is watched.
    KeyWatch(HWND window, UINT message, std::vector<Key> keys);
    ~KeyWatch();
    KeyWatch(const KeyWatch&) = delete;
    KeyWatch& operator=(const KeyWatch&) = delete;

    // For the window to call when the message arrives, before it reads the keys again: a change
    // from then on posts the message again.
    void Handled() noexcept { pending_ = false; }

    struct KeyClose {
        void operator()(HKEY key) const noexcept { RegCloseKey(key); }
    };
    using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyClose>;

  private:
    // A key watched, the key above it, and the event they signal.
    struct Slot {
        UniqueKey key, above;
        UniqueHandle changed;
    };

    static DWORD WINAPI Run(void* self) noexcept;
    void Watch();
    void Post() noexcept;

    const HWND window_;
    const UINT message_;
    const std::vector<Key> keys_;
    std::atomic<bool> pending_ = false;
    std::vector<Slot> slots_;
    UniqueHandle stop_;
    std::vector<HANDLE> waits_;  // stop_, then each slot's event
    UniqueHandle thread_;
};
