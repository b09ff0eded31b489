#pragma once

// Save and Delete of one viewer, in the hive it is kept in: each whole or not at all.

#include "app/basMain.h"

#include <windows.h>

#include <string>

// What the edit panel asks Save to write.
struct ViewerEdit {
    std::wstring text;  // the menu text; of a new viewer, its key's name too
    std::wstring program;
    bool textChanged = true;
    bool programChanged = true;
    bool shown = true;
    bool shiftOnly = false;
};

// Whether new viewers for every user can be written: the machine's hive lets them be made.
bool MayWriteForAllUsers();

// Writes a new viewer into the hive, setting the switches of an entry of the same key that is
// already there. ERROR_SUCCESS, or why not; a refusal puts back what was written.
LONG SaveNewViewer(Hive hive, const ViewerEdit& edit) noexcept;

// Writes only what changed into the edited viewer's own key; one gone since it was read is not
// made again. ERROR_SUCCESS, or why not; a refusal puts back what was written.
LONG SaveEditedViewer(const Viewer& viewer, const ViewerEdit& edit) noexcept;

struct DeleteOutcome {
    LONG error = ERROR_SUCCESS;
    bool copyFailed = false;  // nothing was deleted since the copy could not be written
};

// Removes the viewer's key with everything below it, after writing its copy into the folder
// (basDeleted.h). A key that cannot be written is not touched and gets no copy; one refused
// part-way is put back, and its copy removed once it is back exactly.
DeleteOutcome DeleteViewer(const Viewer& viewer, const std::wstring& folder) noexcept;
