#include "service/restart_policy.h"

namespace {

constexpr unsigned long long quickEndMs = 60000;
constexpr unsigned long longestDelaySeconds = 300;

} // namespace

RestartPolicy::Verdict RestartPolicy::ended(const ServiceSettings& a_settings,
                                            unsigned long long a_ranMs) {
    Verdict verdict;
    if (!a_settings.restartOnFailure) {
        return verdict;
    }
    m_quickEnds = a_ranMs < quickEndMs ? m_quickEnds + 1 : 0;
    if (m_quickEnds >= quickEndsToGiveUp) {
        verdict.gaveUp = true;
        return verdict;
    }
    verdict.restart = true;
    verdict.delaySeconds = a_settings.restartDelaySeconds;
    for (unsigned long doubled = 1; doubled < m_quickEnds; ++doubled) {
        verdict.delaySeconds = verdict.delaySeconds * 2 > longestDelaySeconds
                                   ? longestDelaySeconds
                                   : verdict.delaySeconds * 2;
    }
    return verdict;
}
