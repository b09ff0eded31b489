#include "registry/KeyWatch.h"

#include <utility>

// The watch calls advapi32 itself, not through the Advapi() seam (registry/clsRegistry.h): tests
// replace that from the UI thread, so its own thread reading it would race.

namespace {

std::wstring Above(const std::wstring& path) {
    const size_t end = path.rfind(L'\\');
    return path.substr(0, end == std::wstring::npos ? 0 : end);
}

// The key, opened and set to signal `changed` once; nothing where either fails.
KeyWatch::UniqueKey Notify(HKEY root, const std::wstring& path, BOOL subtree, DWORD filter,
                           HANDLE changed) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_NOTIFY, &opened) != ERROR_SUCCESS) return nullptr;
    KeyWatch::UniqueKey key(opened);
    if (RegNotifyChangeKeyValue(opened, subtree, filter, changed, TRUE) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

// Watches the key with everything below it, and the names in the key above it: the watch of a key
// that is deleted need not fire (Wine's does not), but the names above it change. The key above is
// set first, so that is seen from the moment the key is opened; a key deleted before its own watch
// is set fails to be set, and the loop goes up. A key not there yet is waited for by the names of
// the nearest key above it that is, and nothing else below that: others write there all the time.
void Arm(const KeyWatch::Key& target, KeyWatch::UniqueKey& key, KeyWatch::UniqueKey& above,
         HANDLE changed) {
    for (std::wstring path = target.path;; path = Above(path)) {
        key.reset(), above.reset();  // closing a watched key signals
        ResetEvent(changed);
        if (!path.empty())
            above = Notify(target.root, Above(path), FALSE, REG_NOTIFY_CHANGE_NAME, changed);
        const bool whole = path == target.path;
        key = Notify(
            target.root, path, whole,
            whole ? REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET : REG_NOTIFY_CHANGE_NAME,
            changed);
        if (key || path.empty()) return;
    }
}

}  // namespace

// The keys are watched from here, on the caller's thread, which lives as long as the watch: a
// registration ends with the thread that made it. The watch's own thread only waits and sets them
// again, so the caller does not wait for it to start.
KeyWatch::KeyWatch(HWND window, UINT message, std::vector<Key> keys)
    : window_(window),
      message_(message),
      keys_(std::move(keys)),
      slots_(keys_.size()),
      stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    waits_.push_back(stop_.get());
    for (size_t i = 0; i < slots_.size(); ++i) {
        // Reset by the wait that sees it: a watch not set again waits, never spins.
        slots_[i].changed.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
        if (!stop_ || !slots_[i].changed) return;  // out of handles: nothing is watched
        waits_.push_back(slots_[i].changed.get());
        Arm(keys_[i], slots_[i].key, slots_[i].above, slots_[i].changed.get());
    }
    thread_.reset(CreateThread(nullptr, 0, Run, this, 0, nullptr));
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
        // Out of memory: the watch ends; its keys are closed with it.
    }
    return 0;
}

void KeyWatch::Watch() {
    for (;;) {
        const DWORD index =
            WaitForMultipleObjects(DWORD(waits_.size()), waits_.data(), FALSE, INFINITE) -
            WAIT_OBJECT_0;
        if (index == 0 || index >= waits_.size()) return;  // stopped, or the wait failed
        Slot& slot = slots_[index - 1];
        Arm(keys_[index - 1], slot.key, slot.above, slot.changed.get());
        // Armed again before the window hears of it: what changes from here on fires again.
        Post();
    }
}

void KeyWatch::Post() noexcept {
    // Where it cannot be posted the next change tries again.
    if (!pending_.exchange(true) && !PostMessageW(window_, message_, 0, 0)) pending_ = false;
}
