#include "SettingsFile.h"

#include "AutoStart.h"
#include "Common.h"
#include "Failure.h"
#include "IniFile.h"
#include "Passw.h"
#include "ProgramState.h"
#include "Readers.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <span>

namespace {
const QString kHint = QStringLiteral("Hint Window");
const QString kMark = QStringLiteral("Mark");
const QString kConnection = QStringLiteral("Connection");
const QString kPhones = QStringLiteral("Phones");
const QString kDebug = QStringLiteral("Debug");

struct BoolKey {
    const QString &section;
    const char *key;
    bool TGeneralSettings::*member;
};

// The boolean settings in the order they are read and written.
const BoolKey kHintAndMarkKeys[] = {
    {kHint, "cbNN", &TGeneralSettings::cbNN},
    {kHint, "cbLicSchet", &TGeneralSettings::cbLicSchet},
    {kHint, "cbAlias", &TGeneralSettings::cbAlias},
    {kHint, "cbUserName", &TGeneralSettings::cbUserName},
    {kHint, "cbPhoneNum", &TGeneralSettings::cbPhoneNum},
    {kHint, "cbObPlat", &TGeneralSettings::cbObPlat},
    {kHint, "cbAverage", &TGeneralSettings::cbAverage},
    {kHint, "cbTurnOff", &TGeneralSettings::cbTurnOff},
    {kHint, "cbRecomend", &TGeneralSettings::cbRecomend},
    {kHint, "cbSMS", &TGeneralSettings::cbSMS},
    {kHint, "cbMin", &TGeneralSettings::cbMin},
    {kHint, "cbJeansBalExpired", &TGeneralSettings::cbJeansBalExpired},
    {kHint, "cbBalDelta", &TGeneralSettings::cbBalDelta},
    {kHint, "cbLastQueryTime", &TGeneralSettings::cbLastQueryTime},
    {kMark, "cbMarkIfBalance", &TGeneralSettings::cbMarkIfBalance},
    {kMark, "cbMarkIfTurnOff", &TGeneralSettings::cbMarkIfTurnOff},
    {kMark, "cbNotify", &TGeneralSettings::cbNotify},
};
const BoolKey kConnectionKeys[] = {
    {kConnection, "cbExecAfterRun", &TGeneralSettings::cbExecAfterRun},
    {kConnection, "cbAutoReRquest", &TGeneralSettings::cbAutoReRquest},
};
const BoolKey kPhonesKeys[] = {
    {kPhones, "cbKeyring", &TGeneralSettings::cbKeyring},
};

const TGeneralSettings kDefaults{};

bool same(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The yes/no keys in the order the settings file holds them.
const std::span<const BoolKey> kBoolKeyGroups[] = {kHintAndMarkKeys, kConnectionKeys, kPhonesKeys};

const BoolKey *findBoolKey(const QString &section, const QString &key)
{
    for (std::span<const BoolKey> group : kBoolKeyGroups)
        for (const BoolKey &k : group)
            if (same(k.section, section) && same(QLatin1String(k.key), key))
                return &k;
    return nullptr;
}

QString boolText(bool value)
{
    return value ? QStringLiteral("1") : QStringLiteral("0");
}
}  // namespace

void LoadIniFile(const TIniFile &iniFile, TSetupModel &model)
{
    guarded(THIS_ROUTINE, [&] {
        TGeneralSettings &g = model.General;
        for (const BoolKey &k : kHintAndMarkKeys)
            g.*k.member = iniFile.ReadBool(k.section, QLatin1String(k.key), kDefaults.*k.member);
        g.edBalanceLessThen
            = iniFile.ReadString(kMark, QStringLiteral("edBalanceLessThen"), kDefaults.edBalanceLessThen);
        g.edTurnOffLessThen
            = iniFile.ReadString(kMark, QStringLiteral("edTurnOffLessThen"), kDefaults.edTurnOffLessThen);
        const std::optional<double> balance = TextToFloat(g.edBalanceLessThen);
        if (!balance || *balance == NoValue)
            g.edBalanceLessThen = QString::fromLatin1(DefaultBalanceLessThen);
        const std::optional<std::int32_t> days = TextToInt(g.edTurnOffLessThen);
        if (!days || *days == NoValue)
            g.edTurnOffLessThen = QString::fromLatin1(DefaultTurnOffLessThen);
        g.cbRefreshTime = iniFile.ReadInteger(kConnection, QStringLiteral("cbRefreshTime"), DefaultRefreshTimeIndex);
        if (g.cbRefreshTime < 0 || g.cbRefreshTime >= RefreshTimeCount)
            g.cbRefreshTime = DefaultRefreshTimeIndex;
        g.cbAutoStart = GetAutoStart();
        for (const BoolKey &k : kConnectionKeys)
            g.*k.member = iniFile.ReadBool(k.section, QLatin1String(k.key), kDefaults.*k.member);
        // Off switches only the minimum off (the rows keep their choice); it
        // must still come through when it was on before.
        model.SetTrayShowMinimal(iniFile.ReadBool(kPhones, QStringLiteral("rbTrayShowMinimal"), false));
        for (const BoolKey &k : kPhonesKeys)
            g.*k.member = iniFile.ReadBool(k.section, QLatin1String(k.key), kDefaults.*k.member);
    });
}

void SaveIniFile(TIniFile &iniFile, const TSetupModel &model)
{
    guarded(THIS_ROUTINE, [&] {
        const TGeneralSettings &g = model.General;
        TIniUpdate update(iniFile);
        for (const BoolKey &k : kHintAndMarkKeys)
            iniFile.WriteBool(k.section, QLatin1String(k.key), g.*k.member);
        iniFile.WriteString(kMark, QStringLiteral("edBalanceLessThen"), g.edBalanceLessThen);
        iniFile.WriteString(kMark, QStringLiteral("edTurnOffLessThen"), g.edTurnOffLessThen);
        iniFile.WriteInteger(kConnection, QStringLiteral("cbRefreshTime"), g.cbRefreshTime);
        for (const BoolKey &k : kConnectionKeys)
            iniFile.WriteBool(k.section, QLatin1String(k.key), g.*k.member);
        if (g.cbAutoStart != GetAutoStart())
            SetAutoStart(g.cbAutoStart);
        iniFile.WriteBool(kPhones, QStringLiteral("rbTrayShowMinimal"), model.TrayShowMinimal());
        for (const BoolKey &k : kPhonesKeys)
            iniFile.WriteBool(k.section, QLatin1String(k.key), g.*k.member);
        iniFile.WriteBool(kDebug, QStringLiteral("SaveLogFiles"),
                          iniFile.ReadBool(kDebug, QStringLiteral("SaveLogFiles"), false));
        update.commit();
    });
}

void SaveChangedSettings(TIniFile &iniFile, const TSetupModel &model, const TSetupModel &loaded)
{
    guarded(THIS_ROUTINE, [&] {
        const TGeneralSettings &g = model.General;
        const TGeneralSettings &was = loaded.General;
        // The batch reads the file as it is now: keys another program wrote
        // meanwhile stay as they are unless this run changed the same key.
        TIniUpdate update(iniFile);
        for (const BoolKey &k : kHintAndMarkKeys)
            if (g.*k.member != was.*k.member)
                iniFile.WriteBool(k.section, QLatin1String(k.key), g.*k.member);
        if (g.edBalanceLessThen != was.edBalanceLessThen)
            iniFile.WriteString(kMark, QStringLiteral("edBalanceLessThen"), g.edBalanceLessThen);
        if (g.edTurnOffLessThen != was.edTurnOffLessThen)
            iniFile.WriteString(kMark, QStringLiteral("edTurnOffLessThen"), g.edTurnOffLessThen);
        if (g.cbRefreshTime != was.cbRefreshTime)
            iniFile.WriteInteger(kConnection, QStringLiteral("cbRefreshTime"), g.cbRefreshTime);
        for (const BoolKey &k : kConnectionKeys)
            if (g.*k.member != was.*k.member)
                iniFile.WriteBool(k.section, QLatin1String(k.key), g.*k.member);
        if (g.cbAutoStart != was.cbAutoStart)
            SetAutoStart(g.cbAutoStart);
        if (model.TrayShowMinimal() != loaded.TrayShowMinimal())
            iniFile.WriteBool(kPhones, QStringLiteral("rbTrayShowMinimal"), model.TrayShowMinimal());
        for (const BoolKey &k : kPhonesKeys)
            if (g.*k.member != was.*k.member)
                iniFile.WriteBool(k.section, QLatin1String(k.key), g.*k.member);
        update.commit();
    });
}

int RefreshHours(const TSetupModel &model)
{
    const int index = model.General.cbRefreshTime;
    return RefreshTimeHours[index >= 0 && index < RefreshTimeCount ? index : DefaultRefreshTimeIndex];
}

std::int64_t RequestIntervalMs(const TSetupModel &model)
{
    return static_cast<std::int64_t>(RefreshHours(model)) * 3600000;
}

void SaveProgramPathToRegistry(const QString &programPath)
{
    guarded(THIS_ROUTINE, [&] {
        const QString path
            = QDir::toNativeSeparators(programPath.isEmpty() ? QCoreApplication::applicationFilePath() : programPath);
        QSettings settings(QStringLiteral("Zelkor"), QStringLiteral("Saldomat"));
        settings.setValue(QStringLiteral("ProgramPath"), QuotedProgramPath(path));
        settings.sync();
        if (settings.status() != QSettings::NoError)
            throw SaldomatError(QStringLiteral("Не удалось записать путь к программе"));
    });
}

QString GetProxyUserName(const TProgramState &state)
{
    return guarded(THIS_ROUTINE,
                   [&] { return state.IniFile.ReadString(kConnection, QStringLiteral("ProxyUserName"), QString()); });
}

bool ProxyPasswordInKeyring(const TProgramState &state)
{
    return state.IniFile.ReadBool(kConnection, QStringLiteral("ProxyKeyring"), false);
}

QString StoredProxyPassword(const TProgramState &state)
{
    if (ProxyPasswordInKeyring(state))
        return state.Setup.KeyringProxyPassword;
    const QString stored = state.IniFile.ReadString(kConnection, QStringLiteral("ProxyPassword"), QString());
    return stored.isEmpty() ? QString() : DecodePass(stored);
}

QString GetProxyPassword(const TProgramState &state)
{
    return guarded(THIS_ROUTINE, [&] {
        if (GetProxyUserName(state).isEmpty())
            return QString();
        return StoredProxyPassword(state);
    });
}

void SetProxyUserName(TProgramState &state, const QString &userName)
{
    state.IniFile.WriteString(kConnection, QStringLiteral("ProxyUserName"), TrimControls(userName));
}

void SetProxyPassword(TProgramState &state, const QString &password, bool inKeyring)
{
    const QString pass = TrimControls(password);
    state.IniFile.WriteString(kConnection, QStringLiteral("ProxyPassword"),
                              pass.isEmpty() || inKeyring ? QString() : EncodePass(pass));
    if (inKeyring) {
        state.IniFile.WriteBool(kConnection, QStringLiteral("ProxyKeyring"), true);
        state.Setup.KeyringProxyPassword = pass;
    } else if (state.IniFile.ValueExists(kConnection, QStringLiteral("ProxyKeyring"))) {
        state.IniFile.DeleteKey(kConnection, QStringLiteral("ProxyKeyring"));
    }
}

void SetProxyCredentials(TProgramState &state, const QString &userName, const QString &password, bool inKeyring)
{
    guarded(THIS_ROUTINE, [&] {
        TIniUpdate update(state.IniFile);
        SetProxyUserName(state, userName);
        SetProxyPassword(state, password, inKeyring);
        update.commit();
    });
}

bool KeyringWanted(const TIniFile &iniFile)
{
    return iniFile.ReadBool(kPhones, QStringLiteral("cbKeyring"), kDefaults.cbKeyring);
}

QList<QPair<QString, QString>> GeneralSettingKeys()
{
    QList<QPair<QString, QString>> keys;
    for (const BoolKey &k : kHintAndMarkKeys)
        keys.append({k.section, QString::fromLatin1(k.key)});
    keys.append({kMark, QStringLiteral("edBalanceLessThen")});
    keys.append({kMark, QStringLiteral("edTurnOffLessThen")});
    keys.append({kConnection, QStringLiteral("cbRefreshTime")});
    for (const BoolKey &k : kConnectionKeys)
        keys.append({k.section, QString::fromLatin1(k.key)});
    keys.append({kPhones, QStringLiteral("rbTrayShowMinimal")});
    for (const BoolKey &k : kPhonesKeys)
        keys.append({k.section, QString::fromLatin1(k.key)});
    return keys;
}

bool IsGeneralSettingKey(const QString &section, const QString &key)
{
    if (findBoolKey(section, key))
        return true;
    return (same(section, kMark)
            && (same(key, QLatin1String("edBalanceLessThen")) || same(key, QLatin1String("edTurnOffLessThen"))))
        || (same(section, kConnection) && same(key, QLatin1String("cbRefreshTime")))
        || (same(section, kPhones) && same(key, QLatin1String("rbTrayShowMinimal")));
}

QString GeneralSettingText(const TSetupModel &model, const QString &section, const QString &key)
{
    const TGeneralSettings &g = model.General;
    if (const BoolKey *k = findBoolKey(section, key))
        return boolText(g.*k->member);
    if (same(key, QLatin1String("edBalanceLessThen")))
        return g.edBalanceLessThen;
    if (same(key, QLatin1String("edTurnOffLessThen")))
        return g.edTurnOffLessThen;
    if (same(key, QLatin1String("cbRefreshTime")))
        return QString::number(g.cbRefreshTime);
    if (same(key, QLatin1String("rbTrayShowMinimal")))
        return boolText(model.TrayShowMinimal());
    return QString();
}

QString SetGeneralSettingText(TSetupModel &model, const QString &section, const QString &key, const QString &value)
{
    if (!IsGeneralSettingKey(section, key))
        return QStringLiteral("unknown setting [%1] %2").arg(section, key);
    TGeneralSettings &g = model.General;
    const BoolKey *k = findBoolKey(section, key);
    if (k || same(key, QLatin1String("rbTrayShowMinimal"))) {
        const std::optional<bool> b = TextToBool(value);
        if (!b)
            return QStringLiteral("%1 takes 1 or 0 (yes/no, true/false), not \"%2\"").arg(key, value);
        if (k)
            g.*k->member = *b;
        else
            model.SetTrayShowMinimal(*b);
        return QString();
    }
    if (same(key, QLatin1String("edBalanceLessThen"))) {
        const QString t = value.trimmed();
        const std::optional<double> n = TextToFloat(t);
        if (!n || *n == NoValue)
            return QStringLiteral("edBalanceLessThen takes a number with \".\" as the decimal point, not \"%1\"")
                .arg(value);
        g.edBalanceLessThen = t;
        return QString();
    }
    if (same(key, QLatin1String("edTurnOffLessThen"))) {
        const QString t = value.trimmed();
        const std::optional<std::int32_t> n = TextToInt(t);
        if (!n || *n == NoValue)
            return QStringLiteral("edTurnOffLessThen takes a whole number of days, not \"%1\"").arg(value);
        g.edTurnOffLessThen = t;
        return QString();
    }
    const std::optional<std::int32_t> index = TextToInt(value);
    if (!index || *index < 0 || *index >= RefreshTimeCount)
        return QStringLiteral(
                   "cbRefreshTime takes an index 0..%1 of the list 3, 4, 5, 6, 7, 8, 12, 24 hours, not \"%2\"")
            .arg(RefreshTimeCount - 1)
            .arg(value);
    g.cbRefreshTime = *index;
    return QString();
}
