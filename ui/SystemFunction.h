#pragma once

#include <windows.h>

// Binds a function of a System32 DLL at its first use instead of at load time, so that
// start-up does not load the DLLs only Browse and About need. The pointer has the type the
// function's header declares; nullptr when the DLL or the function cannot be had. The DLL stays
// loaded for the life of the process.
template <class Function>
Function* BindSystemFunction(const wchar_t* dll, const char* name) noexcept {
    const HMODULE module = LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Through void (*)(), which converts to any function pointer type without a warning.
    return module ? reinterpret_cast<Function*>(
                        reinterpret_cast<void (*)()>(GetProcAddress(module, name)))
                  : nullptr;
}

// SYSTEM_FUNCTION(L"shell32.dll", ShellExecuteA): the name looked up is the declared one.
#define SYSTEM_FUNCTION(dll, function) BindSystemFunction<decltype(::function)>(dll, #function)
