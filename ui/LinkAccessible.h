#pragma once

#include <windows.h>

// Answers WM_GETOBJECT for a label that works as a link: screen readers get the system's own
// object for the label, but in the role of a link whose default action clicks it (its parent
// hears STN_CLICKED). 0 where the system's answer stands.
LRESULT AnswerAsLink(HWND label, WPARAM wParam, LPARAM lParam);
