#include "launch/argument_file.h"

#include "launch/launch_line.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

std::optional<std::string> argumentFileBytes(const LauncherSettings& a_settings) {
    std::string value;
    if (!encodeAnsi(pathOptionValue(a_settings), value)) {
        return std::nullopt;
    }
    std::string name;
    encodeAnsi(pathOptionName(a_settings), name); // ASCII
    return name + "\r\n\"" + escapedForArgumentFile(value) + "\"\r\n";
}

std::string escapedForArgumentFile(const std::string& a_value) {
    std::string escaped;
    for (char byte : a_value) {
        escaped += byte == '\\' ? std::string("\\\\") : std::string(1, byte);
    }
    return escaped;
}

std::wstring argumentFilePath(const std::string& a_bytes) {
    const std::wstring folder = temporaryFolder();
    if (folder.empty()) {
        return std::wstring();
    }
    return folder + L"tavrin-" + hexDigits(fnv1aHash(a_bytes.data(), a_bytes.size())) + L".args";
}

bool writeArgumentFile(const std::wstring& a_path, const std::string& a_bytes) {
    std::string existing;
    if (readWholeFile(a_path, existing) && existing == a_bytes) {
        return true; // written by an earlier start
    }
    return replaceFileContents(a_path, a_bytes) == ReplaceResult::replaced;
}
