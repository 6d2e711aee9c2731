#include "launch/java_launcher_library.h"

#include "platform/paths.h"
#include "platform/text.h"

std::wstring JavaLauncherLibrary::load(const std::wstring& a_javaExecutable) {
    const std::wstring library = folderOf(a_javaExecutable) + L"jli.dll";
    if (!fileExists(library)) {
        return library + L" does not exist";
    }
    m_library.reset(LoadLibraryExW(
        library.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (!m_library && GetLastError() == ERROR_INVALID_PARAMETER) {
        // Windows 7 without KB2533623 knows no such search: the folder of
        // the library first, as java.exe's own loading has it.
        m_library.reset(LoadLibraryExW(library.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    }
    if (!m_library) {
        return formatWideString(L"%s cannot be loaded (error %lu)", library.c_str(),
                                GetLastError());
    }
    // Through void (*)(), the type any function pointer may pass through.
    const auto untyped =
        reinterpret_cast<void (*)()>(GetProcAddress(m_library.get(), "JLI_Launch"));
    m_launch = reinterpret_cast<Launch>(untyped);
    if (m_launch == nullptr) {
        m_library.reset();
        return library + L" has no JLI_Launch";
    }
    return std::wstring();
}

int JavaLauncherLibrary::launch(const std::vector<std::wstring>& a_arguments,
                                const std::wstring& a_programName, bool a_javaw) {
    std::vector<std::string> texts(a_arguments.size());
    std::vector<char*> argv;
    for (std::size_t i = 0; i < a_arguments.size(); ++i) {
        encodeAnsi(a_arguments[i], texts[i]);
        argv.push_back(texts[i].data());
    }
    argv.push_back(nullptr);
    std::string name;
    encodeAnsi(a_programName, name);
    // From here on the library stays loaded until the process ends, as
    // java.exe keeps it: the runtime it starts may leave threads and exit
    // handlers in it after JLI_Launch returns.
    m_library.release();
    return m_launch(static_cast<int>(a_arguments.size()), argv.data(), 0, nullptr, 0, nullptr, "",
                    "", name.c_str(), name.c_str(), 0, 1, a_javaw ? 1 : 0, 0);
}
