// The launcher is built without C++ exceptions. Where the C++ library would
// throw (memory running out, a string grown past its limit), the process
// ends with the exit code for an unexpected failure instead. Defining these
// here also keeps the library's exception machinery out of the executable.

#include "launcher/exit_codes.h"

#include <windows.h>

#include <cstdlib>
#include <new>

namespace {

[[noreturn]] void endWithUnexpectedFailure() {
    ExitProcess(static_cast<UINT>(exit_codes::unexpectedFailure));
}

void* allocate(std::size_t a_size) {
    void* memory = std::malloc(a_size == 0 ? 1 : a_size);
    if (memory == nullptr) {
        endWithUnexpectedFailure();
    }
    return memory;
}

} // namespace

void* operator new(std::size_t a_size) {
    return allocate(a_size);
}
void* operator new[](std::size_t a_size) {
    return allocate(a_size);
}
void operator delete(void* a_memory) noexcept {
    std::free(a_memory);
}
void operator delete[](void* a_memory) noexcept {
    std::free(a_memory);
}
void operator delete(void* a_memory, std::size_t) noexcept {
    std::free(a_memory);
}
void operator delete[](void* a_memory, std::size_t) noexcept {
    std::free(a_memory);
}

// The library's failure hooks that the launcher's code reaches.
namespace std {
void __throw_bad_alloc() {
    endWithUnexpectedFailure();
}
void __throw_bad_array_new_length() {
    endWithUnexpectedFailure();
}
void __throw_length_error(const char*) {
    endWithUnexpectedFailure();
}
void __throw_logic_error(const char*) {
    endWithUnexpectedFailure();
}
void __throw_out_of_range(const char*) {
    endWithUnexpectedFailure();
}
void __throw_out_of_range_fmt(const char*, ...) {
    endWithUnexpectedFailure();
}
void __throw_invalid_argument(const char*) {
    endWithUnexpectedFailure();
}
void __throw_bad_optional_access() {
    endWithUnexpectedFailure();
}
} // namespace std
