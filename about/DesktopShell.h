#pragma once

#include <string>

// Opens the address as the desktop's shell opens it, in Explorer's process and so with the
// signed-in user's rights, never this elevated program's. False when the desktop's shell cannot
// be reached. Call it inside a COM apartment.
bool OpenThroughDesktop(const std::wstring& address);
