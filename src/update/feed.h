#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

// A feed: what its author says of the application's next version, in a
// small UTF-8 text of key=value lines whose last line is the signature of
// every byte before it:
//
//   version=1.1.0
//   package=Example-1.1.0.msi
//   size=3145728
//   sha256=<64 hexadecimal digits>
//   upgrade-code=01234567-89AB-CDEF-0123-456789ABCDEF
//   valid-until=2027-06-30
//   signature=<base64 of r and s, ECDSA P-256 over SHA-256>
struct Feed {
    unsigned long long version = 0; // as executableVersion() gives one
    std::wstring versionText;       // "1.1.0"
    std::wstring package;           // its address: absolute, or relative to the feed's
    unsigned long long size = 0;
    std::wstring sha256;      // lower case
    std::wstring upgradeCode; // upper case, without braces
    std::wstring validUntil;  // YYYY-MM-DD
};

struct FeedReading {
    std::optional<Feed> feed;
    std::wstring why; // when there is none: for the log
};

// a_bytes as a feed, believed only once its signature verifies with the
// P-256 point a_point (x and y): nothing in it is read before.
FeedReading readFeed(const std::string& a_bytes, const std::string& a_point);

// Why a verified feed is not installed over a_ownVersion on a_today
// (YYYY-MM-DD): a version not higher, or a date past its valid-until; empty
// when it may be.
std::wstring refusalOf(const Feed& a_feed, unsigned long long a_ownVersion,
                       const std::wstring& a_today);

// The key=value lines of a feed or a record (LF or CR LF), in their order;
// other lines are left out.
using KeyValueLines = std::vector<std::pair<std::wstring, std::wstring>>;
KeyValueLines keyValueLines(const std::wstring& a_text);

// A version as the feed writes it ("1.1.0").
std::wstring versionText(unsigned long long a_version);

// The package's address: a_package as it stands when it has a scheme,
// else in a_feedAddress's folder.
std::wstring packageAddress(const std::wstring& a_feedAddress, const std::wstring& a_package);
