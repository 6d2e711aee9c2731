#pragma once

#include "settings/settings_file.h"

#include <string>
#include <vector>

// The keys of updates. The application's tavrin.ini names the feed and the
// key its signature is checked with; the user's own file may only turn the
// checks off.
struct UpdateSettings {
    std::wstring feed;             // update-feed; empty: no updates
    std::wstring key;              // update-key, as written (p256PointOf reads it)
    unsigned long checkHours = 24; // update-check-hours; 0: at every start
    bool off = false;              // update-mode=off, the application's or the user's

    bool active() const { return !feed.empty() && !off; }
};

// Every update key of the application's file; what is wrong with one is
// appended to a_problems as "key: why". update-key's form is the updater's
// to check, which alone uses it.
UpdateSettings readUpdateSettings(const SettingsFile& a_settings,
                                  std::vector<std::wstring>& a_problems);

// update-mode=off in the user's own file turns checks off; any other value
// there changes nothing.
void readUsersUpdateMode(const SettingsFile& a_user, UpdateSettings& a_settings);

// The P-256 point of a public key as openssl prints it (the base64 between
// "-----BEGIN PUBLIC KEY-----" and its end line, with or without those lines
// and its line breaks); empty when it is no such key.
std::string p256PointOf(const std::wstring& a_key);

// An address updates may come from: https://, or http:// on this computer
// (127.0.0.1 or localhost, for tests).
bool isUpdateAddress(const std::wstring& a_address);
