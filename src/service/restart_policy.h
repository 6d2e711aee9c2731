#pragma once

#include "settings/service_settings.h"

// When a service starts its application again after an end nobody asked
// for: after service-restart-delay seconds; an end within a minute of its
// start doubles the delay of the next (to at most five minutes), and the
// fifth such end in a row gives up.
class RestartPolicy {
public:
    struct Verdict {
        bool restart = false;
        unsigned long delaySeconds = 0;
        bool gaveUp = false; // quickEndsToGiveUp quick ends in a row
    };

    static constexpr unsigned long quickEndsToGiveUp = 5;

    // An end nobody asked for, a_ranMs after the application's start.
    Verdict ended(const ServiceSettings& a_settings, unsigned long long a_ranMs);

private:
    unsigned long m_quickEnds = 0;
};
