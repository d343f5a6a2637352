#include "IssaUrl.h"

#include "Failure.h"
#include "IniFile.h"
#include "Readers.h"
#include "Setup.h"

namespace {
const QString kShortName = QStringLiteral("ShortName");
const QString kLoginUrl = QStringLiteral("LoginURL");

bool sameText(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Blanks and control characters (codes 0..32) cut from both ends.
// First section whose ShortName matches, empty when none.
QString sectionByShortName(const TIniFile &serversIni, const QString &shortName)
{
    for (const QString &section : serversIni.ReadSections())
        if (sameText(serversIni.ReadString(section, kShortName, QString()), shortName))
            return section;
    return QString();
}

void writeEntry(TIniFile &serversIni, const QString &longName, const QString &shortName, const QString &loginUrl,
                bool allowPlainHttp)
{
    serversIni.WriteString(longName, kLoginUrl, CorrectLoginUrl(loginUrl));
    serversIni.WriteString(longName, kShortName, shortName);
    if (allowPlainHttp)
        serversIni.WriteBool(longName, QLatin1String(AllowPlainHttpKey), true);
    else
        serversIni.DeleteKey(longName, QLatin1String(AllowPlainHttpKey));
}
}  // namespace

QString DefaultIssaLoginUrl()
{
    return QStringLiteral("https://%1/cgi-bin/cgi.exe?function=is_newlog").arg(QLatin1String(DefaultIssaHost));
}

const TIssaUrlInfo &DefaultIssaUrl()
{
    static const TIssaUrlInfo info = [] {
        TIssaUrlInfo i;
        i.LongName = QString::fromUtf8(DefaultIssaLongName);
        i.ShortName = QString::fromUtf8(DefaultIssaShortName);
        i.LoginURL = DefaultIssaLoginUrl();
        i.LoginName = QString::fromLatin1(DefaultLoginName);
        i.PasswName = QString::fromLatin1(DefaultPasswName);
        return i;
    }();
    return info;
}

TIssaUrlInfo GetIssaUrlByShortName(const TIniFile &serversIni, const QString &shortName)
{
    return guarded(THIS_ROUTINE, [&] {
        if (sameText(shortName, DefaultIssaUrl().ShortName))
            return DefaultIssaUrl();
        TIssaUrlInfo info;
        const QString section = sectionByShortName(serversIni, shortName);
        info.LongName = section;
        info.ShortName = shortName;
        if (section.isEmpty())
            return info;
        info.LoginURL = serversIni.ReadString(section, kLoginUrl, QString());
        info.LoginStr = serversIni.ReadString(section, QStringLiteral("LoginStr"), QString());
        info.LoginName = serversIni.ReadString(section, QStringLiteral("LoginName"), QString());
        info.PasswName = serversIni.ReadString(section, QStringLiteral("PasswName"), QString());
        info.AllowPlainHttp = serversIni.ReadBool(section, QLatin1String(AllowPlainHttpKey), false);
        if (info.LoginStr.isEmpty())
            info.LoginStr = QString::fromLatin1(DefaultLoginStr);
        if (info.LoginName.isEmpty())
            info.LoginName = QString::fromLatin1(DefaultLoginName);
        if (info.PasswName.isEmpty())
            info.PasswName = QString::fromLatin1(DefaultPasswName);
        return info;
    });
}

QString CorrectLoginUrl(const QString &url)
{
    return guarded(THIS_ROUTINE, [&] {
        const QString trimmed = TrimControls(url);
        const QString marker = QStringLiteral("function=is_newlog");
        const qsizetype at = trimmed.indexOf(marker);
        if (at < 0)
            return trimmed;
        return trimmed.left(at) + QStringLiteral("function=is_login");
    });
}

QStringList IssaLongNames(const TIniFile &serversIni)
{
    return guarded(THIS_ROUTINE, [&] {
        QStringList names{DefaultIssaUrl().LongName};
        names += serversIni.ReadSections();
        return names;
    });
}

bool IssaUrlByLongName(const TIniFile &serversIni, const QString &longName, TIssaUrlInfo &info)
{
    return guarded(THIS_ROUTINE, [&] {
        if (sameText(longName, DefaultIssaUrl().LongName)) {
            info = DefaultIssaUrl();
            return true;
        }
        if (!serversIni.SectionExists(longName))
            return false;
        info = TIssaUrlInfo{};
        for (const QString &section : serversIni.ReadSections())
            if (sameText(section, longName))
                info.LongName = section;
        info.ShortName = serversIni.ReadString(longName, kShortName, QString());
        info.LoginURL = serversIni.ReadString(longName, kLoginUrl, QString());
        info.AllowPlainHttp = serversIni.ReadBool(longName, QLatin1String(AllowPlainHttpKey), false);
        return true;
    });
}

QString IssaLongNameForShortName(const TIniFile &serversIni, const QString &shortName)
{
    return guarded(THIS_ROUTINE, [&] {
        const QString section = sectionByShortName(serversIni, shortName);
        return section.isEmpty() ? DefaultIssaUrl().LongName : section;
    });
}

QString CheckIssaUrlEntry(const TIniFile &serversIni, const QString &longName, const QString &loginUrl,
                          const QString &shortName, const QString &editedLongName)
{
    return guarded(THIS_ROUTINE, [&] {
        const QString name = longName.trimmed();
        const QString url = loginUrl.trimmed();
        const QString shortN = shortName.trimmed();
        if (name.isEmpty() || url.isEmpty() || shortN.isEmpty())
            return QString::fromUtf8(MsgAllFieldsRequired);
        if (shortName.size() > IssaShortNameMaxLength)
            return QStringLiteral("Краткое название должно быть не длиннее %1 символов.").arg(IssaShortNameMaxLength);
        // A section under the built-in region's name could never be chosen.
        if (sameText(name, DefaultIssaUrl().LongName))
            return QStringLiteral("Такое название региона уже существует. Выберите другое.");
        // The name becomes a section header: no brackets, no line breaks.
        for (QChar c : longName)
            if (c == QLatin1Char('[') || c == QLatin1Char(']') || c.unicode() < 32)
                return QStringLiteral(
                    "Название региона не может содержать символы \"[\", \"]\" и управляющие символы.");
        for (QChar c : loginUrl + shortName)
            if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
                return QStringLiteral("Поля не могут содержать перевод строки.");
        if (sameText(shortName, DefaultIssaUrl().ShortName))
            return QString::fromUtf8(MsgShortNameTaken);
        for (const QString &section : serversIni.ReadSections()) {
            if (!editedLongName.isEmpty() && sameText(section, editedLongName))
                continue;
            if (sameText(serversIni.ReadString(section, kShortName, QString()), shortName)
                && !serversIni.ReadString(section, kLoginUrl, QString()).isEmpty())
                return QString::fromUtf8(MsgShortNameTaken);
        }
        return QString();
    });
}

void AddIssaUrl(TIniFile &serversIni, const QString &longName, const QString &shortName, const QString &loginUrl,
                bool allowPlainHttp)
{
    guarded(THIS_ROUTINE, [&] {
        TIniUpdate update(serversIni);
        writeEntry(serversIni, longName, shortName, loginUrl, allowPlainHttp);
        update.commit();
    });
}

void EditIssaUrl(TIniFile &serversIni, const QString &oldLongName, const QString &newLongName, const QString &shortName,
                 const QString &loginUrl, bool allowPlainHttp)
{
    guarded(THIS_ROUTINE, [&] {
        TIniUpdate update(serversIni);
        if (oldLongName != newLongName)
            serversIni.EraseSection(oldLongName);
        writeEntry(serversIni, newLongName, shortName, loginUrl, allowPlainHttp);
        update.commit();
    });
}

void RemoveIssaUrl(TIniFile &serversIni, const QString &longName)
{
    guarded(THIS_ROUTINE, [&] { serversIni.EraseSection(longName); });
}
