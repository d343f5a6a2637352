#pragma once
// Small helpers shared by the emulator tests: a client for the running
// emulator and readers of its pages.

#include "EmulatorProcess.h"

#include <httplib.h>

#include <QString>
#include <QStringList>

#include <memory>

inline const char kCgi[] = "/cgi-bin/cgi.exe";
inline const char kLoginPath[] = "/cgi-bin/cgi.exe?function=is_login";
inline const char kFormPath[] = "/cgi-bin/cgi.exe?function=is_newlog";
inline const char kAccountPath[] = "/cgi-bin/cgi.exe?function=is_account";

// A phone with every figure set, so that each one can be found on the page.
EmulatorPhone FullPhone(const QString &number, const QString &behaviour = QStringLiteral("ok"),
                        const QString &layout = QStringLiteral("labels"));

std::unique_ptr<httplib::Client> ClientFor(const EmulatorProcess &emu, int readTimeoutSec = 5);

// POSTs the login body "Lang=2&mobnum=...&Password=..." (passwordKey names the
// password field).
std::string LoginBody(const QString &number, const QString &password, const char *passwordKey,
                      const QString &extra);
template <typename AnyClient>
httplib::Result PostLogin(AnyClient &client, const QString &number, const QString &password,
                          const char *passwordKey = "Password", const QString &extra = {})
{
    return client.Post(kLoginPath, LoginBody(number, password, passwordKey, extra),
                       "application/x-www-form-urlencoded");
}

// The page text decoded by the charset of the Content-Type header, or of the
// page's meta tag when the header names none.
QString PageText(const httplib::Response &res);

// The markers by which the program tells the kinds of pages apart, those that
// occur in text (any letter case).
QStringList MarkersIn(const QString &page);

// The session cookie "ISSASESSION=..." that the answer sets; empty if none.
std::string SessionCookie(const httplib::Response &res);

// The tag-stripped, trimmed text of the line after the first line that contains
// marker (any letter case); a null string when there is none.
QString LineAfter(const QString &page, const QString &marker);
// The tag-stripped, trimmed text of the first line that contains marker.
QString LineWith(const QString &page, const QString &marker);
