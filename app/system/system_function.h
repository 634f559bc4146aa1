// Functions of system DLLs looked up at run time: those of newer systems, so the program still
// starts on Windows 7, and those kept out of the start-up's imports.
#pragma once

#include <windows.h>

namespace tolvar {

// Null when the module or the function is missing.
template <typename Function>
Function SystemFunction(HMODULE module, const char* name) {
    return module
               ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)))
               : nullptr;
}

// A function of user32, which every window program has loaded.
template <typename Function>
Function User32Function(const char* name) {
    static const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return SystemFunction<Function>(user32, name);
}

}  // namespace tolvar
