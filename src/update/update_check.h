#pragma once

#include <string>
#include <vector>

class LauncherHost;
class StartLog;
struct LauncherSettings;

// Once the application runs: when updates are on and a check is due, the
// check starts as the updater's own process, which holds nothing of the
// application's folder and which neither the launcher's end nor the
// application's waits for. The log says whether it started.
void startUpdateCheck(LauncherHost& a_host, const LauncherSettings& a_settings, StartLog& a_log);

// The updater's check, a_arguments being the launcher's path: at most one
// at a time for the user; the feed fetched and believed only once its
// signature verifies; a newer version of the product installed in the
// launcher's folder downloaded beside the updater, and staged once its size
// and SHA-256 are the feed's. Every step's outcome goes to the updater's
// log; any failure leaves nothing staged. Returns the updater's exit code.
int runUpdateCheck(const std::vector<std::wstring>& a_arguments);
