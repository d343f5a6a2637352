#include "EmulatorTestUtil.h"

#include "Encoding.h"

#include <QRegularExpression>

EmulatorPhone FullPhone(const QString &number, const QString &behaviour, const QString &layout)
{
    EmulatorPhone p;
    p.number = number;
    p.password = QStringLiteral("secret");
    p.licSchet = QStringLiteral("1234567890");
    p.userName = QStringLiteral("Петров Пётр");
    p.balance = 12.34;
    p.obPlat = 50;
    p.average = 1.5;
    p.turnOff = 8;
    p.recomend = 15;
    p.sms = 25;
    p.minutes = 80;
    p.jeansExpired = 10;
    p.usdRate = 28.5;
    p.layout = layout;
    p.behaviour = behaviour;
    return p;
}

std::unique_ptr<httplib::Client> ClientFor(const EmulatorProcess &emu, int readTimeoutSec)
{
    auto client = std::make_unique<httplib::Client>(emu.baseUrl().toStdString());
    client->set_connection_timeout(5);
    client->set_read_timeout(readTimeoutSec);
    return client;
}

std::string LoginBody(const QString &number, const QString &password, const char *passwordKey,
                      const QString &extra)
{
    QString body = QStringLiteral("Lang=2&mobnum=") + number + QLatin1Char('&') +
                   QString::fromLatin1(passwordKey) + QLatin1Char('=') + password;
    if (!extra.isEmpty())
        body += QLatin1Char('&') + extra;
    return body.toStdString();
}

QString PageText(const httplib::Response &res)
{
    const QByteArray body = QByteArray::fromStdString(res.body);
    QByteArray charset;
    const QByteArray type = QByteArray::fromStdString(res.get_header_value("Content-Type"));
    const int at = type.toLower().indexOf("charset=");
    if (at >= 0) {
        charset = type.mid(at + 8).trimmed();
    } else {
        static const QRegularExpression meta(QStringLiteral("charset=([A-Za-z0-9_-]+)"));
        const auto m = meta.match(QString::fromLatin1(body.left(2048)));
        if (m.hasMatch())
            charset = m.captured(1).toLatin1();
    }
    return DecodeByCharset(body, charset);
}

QStringList MarkersIn(const QString &page)
{
    static const QStringList markers{
        QStringLiteral("туальный баланс"), QStringLiteral("mobnum"),
        QStringLiteral("login.php"),       QStringLiteral("Internal Server Error"),
        QStringLiteral("временно недоступна"), QStringLiteral("login error"),
        QStringLiteral("Ошибка аутентификации"), QStringLiteral("время сеанса истекло")};
    QStringList found;
    for (const QString &m : markers)
        if (page.contains(m, Qt::CaseInsensitive))
            found << m;
    return found;
}

std::string SessionCookie(const httplib::Response &res)
{
    const size_t n = res.get_header_value_count("Set-Cookie");
    for (size_t i = 0; i < n; ++i) {
        const std::string v = res.get_header_value("Set-Cookie", i);
        if (v.rfind("ISSASESSION=", 0) == 0)
            return v.substr(0, v.find(';'));
    }
    return {};
}

namespace {

QString StripTags(QString line)
{
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    line.remove(tag);
    line.replace(QStringLiteral("&nbsp;"), QStringLiteral(" "));
    return line.trimmed();
}

} // namespace

QString LineAfter(const QString &page, const QString &marker)
{
    const QStringList lines = page.split(QLatin1Char('\n'));
    for (int i = 0; i + 1 < lines.size(); ++i)
        if (lines[i].contains(marker, Qt::CaseInsensitive))
            return StripTags(lines[i + 1]);
    return {};
}

QString LineWith(const QString &page, const QString &marker)
{
    const QStringList lines = page.split(QLatin1Char('\n'));
    for (const QString &line : lines)
        if (line.contains(marker, Qt::CaseInsensitive))
            return StripTags(line);
    return {};
}
