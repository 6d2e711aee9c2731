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
    // Doubled for each quick end before this one: at most three doublings.
    const unsigned long doubled = a_settings.restartDelaySeconds
                                  << (m_quickEnds > 1 ? m_quickEnds - 1 : 0);
    verdict.delaySeconds = doubled < longestDelaySeconds ? doubled : longestDelaySeconds;
    return verdict;
}
