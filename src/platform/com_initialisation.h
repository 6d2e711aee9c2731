#pragma once

#include "platform/system_library.h"

#include <windows.h>

#include <objbase.h>

// COM on this thread for one object's lifetime (ole32 loaded when first
// needed). It is undone only when it succeeded, so every user leaves the
// thread's COM state as it found it.
class ComInitialisation {
public:
    ComInitialisation() {
        const auto initialise =
            systemFunction<decltype(CoInitialize)>(L"ole32.dll", "CoInitialize");
        m_result = initialise != nullptr ? initialise(nullptr) : E_FAIL;
    }
    ~ComInitialisation() {
        if (SUCCEEDED(m_result)) {
            systemFunction<decltype(CoUninitialize)>(L"ole32.dll", "CoUninitialize")();
        }
    }
    ComInitialisation(const ComInitialisation&) = delete;
    ComInitialisation& operator=(const ComInitialisation&) = delete;

private:
    HRESULT m_result;
};
