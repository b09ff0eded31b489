#include "app/basViewer.h"

#include "app/basDeleted.h"
#include "registry/KeyTree.h"
#include "registry/clsRegistry.h"

#include <algorithm>
#include <new>

namespace {

// Each write goes only where the one before it went; a failure undoes them all.
LONG Save(const Viewer& old, bool isNew, const ViewerEdit& edit) {
    clsRegistry registry;
    const HKEY root = HiveRoot(old.hive);
    const std::wstring verbKey = VerbKey(old.key), commandKey = CommandKey(old.key);
    const KeyTreeRead before = ReadKeyTree(root, verbKey);
    // An edited viewer gone since it was read is not made again.
    const LONG unread = !isNew && !before.tree && !before.error ? ERROR_KEY_DELETED : before.error;
    if (unread != ERROR_SUCCESS) return unread;
    const auto set = [&](const std::wstring& where, const wchar_t* value, const std::wstring& data,
                         DWORD type = REG_SZ) {
        return registry.setValue(root, where, value, data, type) == VARIANT_TRUE;
    };
    // A value that is not there needs no deleting.
    const auto remove = [&](const wchar_t* value) {
        const bool there = before.tree && std::ranges::any_of(before.tree->values, [&](auto& v) {
                               return _wcsicmp(v.name.c_str(), value) == 0;
                           });
        return !there || registry.deleteValueName(root, verbKey, value) == VARIANT_TRUE;
    };
    // The program's icon replaces one of the old program, never one of some other file.
    const bool keepIcon = !isNew && !old.icon.empty() && !IconOfCommand(old.icon, old.command);
    const bool saved =
        (!isNew || registry.createKey(root, verbKey) == VARIANT_TRUE) &&
        (!edit.textChanged || set(verbKey, old.textInMenuTextValue ? kMenuTextValue : L"",
                                  edit.text, old.textExpands ? REG_EXPAND_SZ : REG_SZ)) &&
        (!edit.programChanged || (registry.createKey(root, commandKey) == VARIANT_TRUE &&
                                  set(commandKey, L"", CommandFor(edit.program)) &&
                                  (keepIcon || set(verbKey, kIconValue, IconFor(edit.program))))) &&
        (edit.shown != old.hidden ||
         (edit.shown ? remove(kHiddenValue) && remove(kLegacyHiddenValue)
                     : set(verbKey, kHiddenValue, L""))) &&
        (edit.shiftOnly == old.shiftOnly ||
         (edit.shiftOnly ? set(verbKey, kShiftOnlyValue, L"") : remove(kShiftOnlyValue)));
    if (saved) return ERROR_SUCCESS;
    RestoreKeyTree(root, verbKey, before.tree);
    return registry.LastError();
}

}  // namespace

bool MayWriteForAllUsers() {
    return clsRegistry().SubKeyWritable(HiveRoot(Hive::AllUsers), kViewersKey) == VARIANT_TRUE;
}

LONG SaveNewViewer(Hive hive, const ViewerEdit& edit) noexcept {
    try {
        clsRegistry registry;
        return Save(ReadViewer(registry, hive, edit.text).value_or(Viewer{hive, edit.text}), true,
                    edit);
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

LONG SaveEditedViewer(const Viewer& viewer, const ViewerEdit& edit) noexcept {
    try {
        return Save(viewer, false, edit);
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

DeleteOutcome DeleteViewer(const Viewer& viewer, const std::wstring& folder) noexcept {
    try {
        const HKEY root = HiveRoot(viewer.hive);
        const std::wstring verbKey = VerbKey(viewer.key);
        // Refused at once, as in the machine's hive without an administrator: no copy to leave.
        if (clsRegistry().SubKeyWritable(root, verbKey) != VARIANT_TRUE)
            return {ERROR_ACCESS_DENIED};
        const KeyTreeRead read = ReadKeyTree(root, verbKey);
        // A viewer gone since the list was read needs nothing more than the list read again.
        if (!read.tree) return {read.error, read.error != ERROR_SUCCESS};
        std::wstring copy;
        if (const LONG error = WriteDeletedCopy(folder, viewer.hive, viewer.key, *read.tree, copy))
            return {error, true};
        const LONG error = DeleteKeyTree(root, verbKey, *read.tree);
        // Put back whole, the viewer needs no copy.
        if (error != ERROR_SUCCESS && ReadKeyTree(root, verbKey).tree == read.tree)
            DeleteFileW(copy.c_str());
        return {error};
    } catch (const std::bad_alloc&) {
        return {ERROR_NOT_ENOUGH_MEMORY, true};
    }
}
