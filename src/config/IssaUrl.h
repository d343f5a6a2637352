#pragma once
// Regional ISSA servers: the built-in default region and the regions of
// "servers.ini" (one section per region, named by its long name).

#include <QString>
#include <QStringList>

class TIniFile;

struct TIssaUrlInfo {
    QString LongName;
    QString LoginURL;
    QString ShortName;
    QString LoginStr;
    QString LoginName;
    QString PasswName;
    QString PhoneNumber;  // filled by the request engine, never by the lookups
    QString Password;  // likewise
    // "Разрешить вход без шифрования": a password may go to a plain http://
    // login address (key AllowPlainHttp of the region's section).
    bool AllowPlainHttp = false;
};

inline constexpr char AllowPlainHttpKey[] = "AllowPlainHttp";

// The operator's ISSA server of the built-in region.
inline constexpr char DefaultIssaHost[] = "issa.korvet-mobile.example";
inline constexpr char DefaultIssaLongName[] = "Корвет - Москва";
inline constexpr char DefaultIssaShortName[] = "МСК";
// Used for a region of servers.ini whose key is missing or empty.
inline constexpr char DefaultLoginStr[] = "Lang=2&mobnum=<%PhoneNumber%>&Password=<%Password%>";
inline constexpr char DefaultLoginName[] = "mobnum";
inline constexpr char DefaultPasswName[] = "password";
inline constexpr int IssaShortNameMaxLength = 4;

// The built-in region.
const TIssaUrlInfo &DefaultIssaUrl();
QString DefaultIssaLoginUrl();  // "https://<host>/cgi-bin/cgi.exe?function=is_newlog"

// The region with that short name (letter case ignored, Cyrillic included): the
// built-in one first, else the first section of servers.ini in file order. An
// unknown short name gives empty fields but ShortName.
TIssaUrlInfo GetIssaUrlByShortName(const TIniFile &serversIni, const QString &shortName);

// Trims blanks; "...function=is_newlog<anything>" becomes "...function=is_login".
QString CorrectLoginUrl(const QString &url);

// Long names for the region chooser: the built-in region, then the sections.
QStringList IssaLongNames(const TIniFile &serversIni);
// Short name and login address of a region by its long name (the built-in one
// included); false when there is no such region.
bool IssaUrlByLongName(const TIniFile &serversIni, const QString &longName, TIssaUrlInfo &info);
// The long name of the first section whose ShortName matches, else the
// built-in region's (what the chooser selects for a row's short name).
QString IssaLongNameForShortName(const TIniFile &serversIni, const QString &shortName);

// Check of the add/edit dialog; editedLongName is the entry being edited (empty
// when adding). Returns the message to show, empty when the input is accepted.
QString CheckIssaUrlEntry(const TIniFile &serversIni, const QString &longName, const QString &loginUrl,
                          const QString &shortName, const QString &editedLongName = QString());
// Writes LoginURL (through CorrectLoginUrl), ShortName and the plain-login tick
// (AllowPlainHttp, written only when set) into the section longName, creating
// it or overwriting those keys.
void AddIssaUrl(TIniFile &serversIni, const QString &longName, const QString &shortName, const QString &loginUrl,
                bool allowPlainHttp = false);
// Edit with rename: when the name changes (exact comparison) the old section is
// erased first, with its hand-written keys; then as AddIssaUrl. One rewrite.
void EditIssaUrl(TIniFile &serversIni, const QString &oldLongName, const QString &newLongName, const QString &shortName,
                 const QString &loginUrl, bool allowPlainHttp = false);
void RemoveIssaUrl(TIniFile &serversIni, const QString &longName);

// Messages of the add/edit dialog.
inline constexpr char MsgAllFieldsRequired[] = "Все поля должны быть заполнены !";
inline constexpr char MsgShortNameTaken[] = "Такое короткое название уже существует. Выберите другое.";
