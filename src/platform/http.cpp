#include "platform/http.h"

#include "platform/com_initialisation.h"
#include "platform/system_library.h"
#include "platform/text.h"
#include "platform/unique_handle.h"

#include <winsock2.h>

#include <netlistmgr.h>
#include <winhttp.h>

namespace {

constexpr const wchar_t* winhttp = L"winhttp.dll";

template <typename Function> Function* winhttpFunction(const char* a_name) {
    return systemFunction<Function>(winhttp, a_name);
}

struct InternetTraits {
    using Type = HINTERNET;
    static HINTERNET empty() noexcept { return nullptr; }
    static void close(HINTERNET a_handle) noexcept {
        // Only a handle that was opened gets here, so the library is loaded.
        winhttpFunction<decltype(WinHttpCloseHandle)>("WinHttpCloseHandle")(a_handle);
    }
};
using InternetHandle = UniqueResource<InternetTraits>;

// Why a step failed, in the log's words, with WinHTTP's error.
std::wstring failed(const wchar_t* a_step) {
    const DWORD error = GetLastError();
    // Wine's WinHTTP reports a response's time-out as WSAETIMEDOUT.
    const wchar_t* why = error == ERROR_WINHTTP_TIMEOUT || error == WSAETIMEDOUT ? L"timed out"
                         : error == ERROR_WINHTTP_NAME_NOT_RESOLVED ? L"the name is not known"
                         : error == ERROR_WINHTTP_CANNOT_CONNECT    ? L"no connection"
                         : error == ERROR_WINHTTP_CONNECTION_ERROR  ? L"the connection broke"
                         : error == ERROR_WINHTTP_SECURE_FAILURE    ? L"not a trusted server"
                                                                    : L"failed";
    return formatWideString(L"%ls: %ls (error %lu)", a_step, why, error);
}

// The session, with the system's proxy: the automatic one from Windows 8.1
// on, the configured one before.
InternetHandle openSession(DWORD a_stepMs) {
    const auto open = winhttpFunction<decltype(WinHttpOpen)>("WinHttpOpen");
    if (open == nullptr) {
        return InternetHandle();
    }
    InternetHandle session(
        open(L"tavrin", WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, nullptr, nullptr, 0));
    if (!session) {
        session.reset(open(L"tavrin", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, nullptr, nullptr, 0));
    }
    const int step = static_cast<int>(a_stepMs);
    if (session && !winhttpFunction<decltype(WinHttpSetTimeouts)>("WinHttpSetTimeouts")(
                       session.get(), step, step, step, step)) {
        session.reset();
    }
    return session;
}

// The request for a_address, sent, its response received.
std::wstring sendRequest(HINTERNET a_session, const std::wstring& a_address, DWORD a_stepMs,
                         InternetHandle& a_connection, InternetHandle& a_request) {
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength =
        static_cast<DWORD>(-1);
    if (!winhttpFunction<decltype(WinHttpCrackUrl)>("WinHttpCrackUrl")(a_address.c_str(), 0, 0,
                                                                       &parts)) {
        return failed(L"not an address");
    }
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    // The query follows the path in the address.
    const std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength + parts.dwExtraInfoLength);
    a_connection.reset(winhttpFunction<decltype(WinHttpConnect)>("WinHttpConnect")(
        a_session, host.c_str(), parts.nPort, 0));
    if (a_connection) {
        a_request.reset(winhttpFunction<decltype(WinHttpOpenRequest)>("WinHttpOpenRequest")(
            a_connection.get(), L"GET", path.c_str(), nullptr, WINHTTP_NO_REFERER,
            WINHTTP_DEFAULT_ACCEPT_TYPES,
            parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0));
    }
    // WinHttpSetTimeouts alone does not bound the wait for a response
    // everywhere (Wine): the response's own time-out does.
    DWORD stepMs = a_stepMs;
    if (!a_request ||
        !winhttpFunction<decltype(WinHttpSetOption)>("WinHttpSetOption")(
            a_request.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &stepMs, sizeof stepMs)) {
        return failed(L"no request");
    }
    if (!winhttpFunction<decltype(WinHttpSendRequest)>("WinHttpSendRequest")(
            a_request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0)) {
        return failed(L"sending");
    }
    if (!winhttpFunction<decltype(WinHttpReceiveResponse)>("WinHttpReceiveResponse")(
            a_request.get(), nullptr)) {
        return failed(L"the response");
    }
    return std::wstring();
}

// The response's status code; 0 when it has none.
DWORD statusOf(HINTERNET a_request) {
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!winhttpFunction<decltype(WinHttpQueryHeaders)>("WinHttpQueryHeaders")(
            a_request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
            WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX)) {
        return 0;
    }
    return status;
}

std::wstring readBody(HINTERNET a_request, unsigned long long a_limit, DownloadSink& a_sink) {
    const auto read = winhttpFunction<decltype(WinHttpReadData)>("WinHttpReadData");
    std::string chunk(64 * 1024, '\0');
    unsigned long long total = 0;
    for (;;) {
        DWORD got = 0;
        if (!read(a_request, chunk.data(), static_cast<DWORD>(chunk.size()), &got)) {
            return failed(L"reading");
        }
        if (got == 0) {
            return std::wstring();
        }
        total += got;
        if (total > a_limit) {
            return formatWideString(L"more than %llu bytes", a_limit);
        }
        if (!a_sink.take(chunk.data(), got)) {
            return L"the bytes cannot be kept";
        }
    }
}

} // namespace

std::wstring download(const std::wstring& a_address, unsigned long long a_limit, DWORD a_stepMs,
                      DownloadSink& a_sink) {
    const InternetHandle session = openSession(a_stepMs);
    if (!session) {
        return failed(L"no WinHTTP session");
    }
    InternetHandle connection;
    InternetHandle request;
    const std::wstring notSent =
        sendRequest(session.get(), a_address, a_stepMs, connection, request);
    if (!notSent.empty()) {
        return notSent;
    }
    const DWORD status = statusOf(request.get());
    if (status != HTTP_STATUS_OK) {
        return formatWideString(L"the server answered %lu", status);
    }
    return readBody(request.get(), a_limit, a_sink);
}

bool connectionIsMetered() {
    // CLSID_NetworkListManager and IID_INetworkCostManager.
    constexpr GUID manager{
        0xdcb00c01, 0x570f, 0x4a9b, {0x8d, 0x69, 0x19, 0x9f, 0xdb, 0xa5, 0x72, 0x3b}};
    constexpr GUID costs{
        0xdcb00008, 0x570f, 0x4a9b, {0x8d, 0x69, 0x19, 0x9f, 0xdb, 0xa5, 0x72, 0x3b}};
    const ComInitialisation com;
    const auto create =
        systemFunction<decltype(CoCreateInstance)>(L"ole32.dll", "CoCreateInstance");
    INetworkCostManager* costManager = nullptr;
    if (create == nullptr || FAILED(create(manager, nullptr, CLSCTX_ALL, costs,
                                           reinterpret_cast<void**>(&costManager)))) {
        return false;
    }
    DWORD cost = NLM_CONNECTION_COST_UNKNOWN;
    const bool known = SUCCEEDED(costManager->GetCost(&cost, nullptr));
    costManager->Release();
    return known && (cost & (NLM_CONNECTION_COST_FIXED | NLM_CONNECTION_COST_VARIABLE |
                             NLM_CONNECTION_COST_OVERDATALIMIT | NLM_CONNECTION_COST_ROAMING)) != 0;
}
