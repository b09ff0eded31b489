#include "registry/KeyWatch.h"

#include <type_traits>
#include <utility>

// The watch's thread calls advapi32 itself, not through the Advapi() seam (registry/clsRegistry.h):
// tests replace that from the UI thread, so reading it from here would race.

namespace {

struct KeyClose {
    void operator()(HKEY key) const noexcept { RegCloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyClose>;

std::wstring Above(const std::wstring& path) {
    const size_t end = path.rfind(L'\\');
    return path.substr(0, end == std::wstring::npos ? 0 : end);
}

// The key, opened and set to signal `changed` once; nothing where either fails.
UniqueKey Notify(HKEY root, const std::wstring& path, BOOL subtree, DWORD filter, HANDLE changed) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_NOTIFY, &opened) != ERROR_SUCCESS) return nullptr;
    UniqueKey key(opened);
    if (RegNotifyChangeKeyValue(opened, subtree, filter, changed, TRUE) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

// Watches the deepest key of the path that exists, with everything below it, and the names in the
// key above it: the watch of a key that is deleted need not fire (Wine's does not), but the names
// above it change. The key above is set first, so that is seen from the moment the key is opened;
// a key deleted before its own watch is set fails to be set, and the loop goes up.
void Arm(const KeyWatch::Key& target, UniqueKey& key, UniqueKey& above, HANDLE changed) {
    for (std::wstring path = target.path;; path = Above(path)) {
        key.reset(), above.reset();  // closing a watched key signals
        ResetEvent(changed);
        if (!path.empty())
            above = Notify(target.root, Above(path), FALSE, REG_NOTIFY_CHANGE_NAME, changed);
        key = Notify(target.root, path, TRUE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET,
                     changed);
        if (key || path.empty()) return;
    }
}

}  // namespace

KeyWatch::KeyWatch(HWND window, UINT message, std::vector<Key> keys)
    : window_(window),
      message_(message),
      keys_(std::move(keys)),
      stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      armed_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    if (stop_ && armed_) thread_.reset(CreateThread(nullptr, 0, Run, this, 0, nullptr));
    // A thread that ends before it watches, out of handles, does not keep the caller waiting.
    const HANDLE started[] = {armed_.get(), thread_.get()};
    if (thread_) WaitForMultipleObjects(2, started, FALSE, INFINITE);
}

KeyWatch::~KeyWatch() {
    if (!thread_) return;
    SetEvent(stop_.get());
    WaitForSingleObject(thread_.get(), INFINITE);
}

DWORD WINAPI KeyWatch::Run(void* self) noexcept {
    try {
        static_cast<KeyWatch*>(self)->Watch();
    } catch (...) {
        // Out of memory: the watch ends, its keys closed on the way out.
    }
    return 0;
}

// One thread of its own, which makes and ends every registration: one ends with the thread that
// made it, so a pool's thread would not do.
void KeyWatch::Watch() {
    struct Slot {
        UniqueKey key, above;
        UniqueHandle changed;
    };
    std::vector<Slot> slots(keys_.size());
    std::vector<HANDLE> waits{stop_.get()};
    for (size_t i = 0; i < slots.size(); ++i) {
        // Reset by the wait that sees it: a watch not set again waits, never spins.
        slots[i].changed.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
        if (!slots[i].changed) return;  // out of handles: the watch ends
        waits.push_back(slots[i].changed.get());
        Arm(keys_[i], slots[i].key, slots[i].above, slots[i].changed.get());
    }
    SetEvent(armed_.get());
    for (;;) {
        const DWORD index =
            WaitForMultipleObjects(DWORD(waits.size()), waits.data(), FALSE, INFINITE) -
            WAIT_OBJECT_0;
        if (index == 0 || index >= waits.size()) return;  // stopped, or the wait failed
        Slot& slot = slots[index - 1];
        Arm(keys_[index - 1], slot.key, slot.above, slot.changed.get());
        // Armed again before the window hears of it: what changes from here on fires again.
        Post();
    }
}

void KeyWatch::Post() noexcept {
    // Where it cannot be posted the next change tries again.
    if (!pending_.exchange(true) && !PostMessageW(window_, message_, 0, 0)) pending_ = false;
}
