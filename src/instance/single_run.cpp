#include "instance/single_run.h"

#include "host/launcher_host.h"
#include "messages/message_texts.h"
#include "messages/messages.h"
#include "messages/start_log.h"
#include "platform/named_mutex.h"
#include "platform/process_record.h"
#include "settings/settings.h"

// Where the launcher that started the application keeps its process id: in
// the user's session, also for a Global\ mutex (a shared block there needs a
// privilege standard users lack, and another session's window cannot be
// brought forward anyway).
std::wstring processRecordName(const std::wstring& a_mutexName) {
    const wchar_t* const global = L"Global\\";
    const std::wstring name =
        a_mutexName.compare(0, 7, global) == 0 ? L"Local\\" + a_mutexName.substr(7) : a_mutexName;
    return name + L".tavrin-application";
}

namespace {

constexpr DWORD mutexWaitMs = 100;

// With single-run-activate, the running application's window comes forward
// when it has one; otherwise the "Wait" message.
void refuseSecondInstance(LauncherHost& a_host, const SingleRunRule& a_rule,
                          const MessageTexts& a_texts) {
    if (a_rule.activate) {
        const DWORD running = ProcessRecord::read(processRecordName(a_rule.mutexName));
        if (running != 0 && a_host.activateWindowOf(running)) {
            return;
        }
    }
    a_host.showMessage(a_texts.text(MessageKey::alreadyStarted), messages::alreadyRunningCaption,
                       messages::alreadyRunningBox);
}

// The application started by another launcher, when it still runs (its own
// process, told apart from a later one with its id by its start time).
bool applicationRuns(const SingleRunRule& a_rule) {
    return a_rule.activate && ProcessRecord::read(processRecordName(a_rule.mutexName)) != 0;
}

// Creates the mutex owned, or finds another launcher holding it, or, with
// activation, the application another launcher started still running: both
// end this start.
SingleRunVerdict acquireSingleRunMutex(NamedMutex& a_mutex, const SingleRunRule& a_rule,
                                       LauncherHost& a_host, const MessageTexts& a_texts,
                                       StartLog& a_log) {
    const std::wstring logged = L"single-run-mutex " + a_rule.mutexName + L": ";
    const NamedMutex::Opened opened = a_mutex.open(a_rule.mutexName, true);
    if (opened == NamedMutex::Opened::failed) {
        a_mutex.release();
        a_log.line(logged + L"the name cannot be used for a mutex");
        return SingleRunVerdict::unusableName;
    }
    if (opened == NamedMutex::Opened::existed ||
        a_mutex.acquire(mutexWaitMs) == NamedMutex::Acquired::timedOut) {
        a_mutex.release(); // what is owned, if anything, and the handle
        a_log.line(logged + L"held by another launcher");
        refuseSecondInstance(a_host, a_rule, a_texts);
        return SingleRunVerdict::refused;
    }
    if (applicationRuns(a_rule)) {
        a_mutex.release();
        a_log.line(logged + L"the application another launcher started still runs");
        refuseSecondInstance(a_host, a_rule, a_texts);
        return SingleRunVerdict::refused;
    }
    a_log.line(logged + L"acquired");
    return SingleRunVerdict::goOn;
}

} // namespace

SingleRunVerdict applySingleRunRule(const SettingsFile& a_settings, NamedMutex& a_mutex,
                                    ProcessRecord& a_record, LauncherHost& a_host,
                                    const MessageTexts& a_texts, StartLog& a_log) {
    SingleRunRule rule;
    rule.mutexName = readSingleRunMutexName(a_settings);
    rule.activate = !rule.mutexName.empty() && readSingleRunActivate(a_settings);
    if (rule.mutexName.empty()) {
        return SingleRunVerdict::goOn;
    }
    const SingleRunVerdict verdict =
        isUsableMutexName(rule.mutexName)
            ? acquireSingleRunMutex(a_mutex, rule, a_host, a_texts, a_log)
            : SingleRunVerdict::unusableName;
    if (verdict == SingleRunVerdict::unusableName) {
        a_host.showMessage(a_texts.text(MessageKey::iniInvalid), messages::errorCaption,
                           messages::plainBox);
    }
    // The application is given a handle to it, and keeps it while it runs.
    if (verdict == SingleRunVerdict::goOn && rule.activate) {
        a_record.create(processRecordName(rule.mutexName)); // without it, no activation: no matter
    }
    return verdict;
}
