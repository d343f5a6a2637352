#pragma once
// The emulator's list of phones: who may log in and what the account page shows.
// The file format is described in README.md next to this file.

#include <map>
#include <string>
#include <vector>

enum class Layout { Labels, Sentences };

enum class Behaviour {
    Ok,  // the login answer is the account page
    Redirect,  // the login answer redirects to the account page
    AuthError,  // "authentication error" page even with the right password
    Unavailable,  // "temporarily unavailable" page
    SessionExpired,  // redirect to the account section, which says the session expired
    ServerError,  // status 500 "Internal Server Error"
    Unrecognised,  // redirect to the account section, which shows an unknown page
    Slow,  // the account page after DelayMs
    Hang,  // no answer until the client gives up (bounded by HangMs)
    RedirectLoop,  // redirects that never end
    Drop,  // the connection is closed without an answer
    Oversized,  // an account page of OversizeMb megabytes
    MetaRefresh,  // a page that refreshes to the account page
    Frames,  // a frameset whose main frame is the account page
    FormOnly,  // the login succeeds only with the key of a served login form
    LoginAgain,  // the login form again with an error line, even with the right password
    ChunkBomb,  // a chunked answer announcing one chunk of 2^62 bytes (plain HTTP only)
    ChunkFlood,  // a chunked answer of 64 KiB chunks without end (plain HTTP only)
    GzipBomb,  // a gzip answer of a few hundred kilobytes that inflates to 256 MiB (plain HTTP only)
};

struct EmuPhone {
    std::string number;  // digits only
    std::string password;
    // Figures, by the names the program gives them.
    std::string licSchet;
    std::string userName;
    std::string phoneNumber;  // as printed; empty: "+7 (xxx) xxx-xx-xx" from the number
    double balance = 0;
    double obPlat = 0;
    double average = 0;
    int turnOff = 0;
    double recomend = 0;
    int sms = 0;
    int minutes = 0;
    int jeansExpired = 0;
    double usdRate = 0;

    Layout layout = Layout::Labels;
    Behaviour behaviour = Behaviour::Ok;
    int delayMs = 0;  // added before the answer to the login; Slow: 2000 when 0
    int hangMs = 60000;  // upper bound of a hang
    int oversizeMb = 20;
    bool utf8 = false;  // Charset=utf-8
    bool charsetInHeader = true;  // false: only the page's meta tag names the charset
};

struct PhoneBook {
    std::vector<EmuPhone> phones;
    const EmuPhone *find(const std::string &number) const;
};

// Reads the phones file (UTF-8). Returns false and sets error on a fault,
// naming the line.
bool LoadPhoneBook(const std::string &path, PhoneBook &book, std::string &error);
bool ParsePhoneBook(const std::string &text, PhoneBook &book, std::string &error);

// Keeps only the digits of a phone number.
std::string DigitsOnly(const std::string &text);
const char *BehaviourName(Behaviour b);
