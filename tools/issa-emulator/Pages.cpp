#include "Pages.h"

#include "Encoding.h"

#include <QFile>
#include <QString>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

const char *const kTemplateNames[] = {
    "site",       "menu",         "login",           "account-labels", "account-sentences",
    "auth-error", "unavailable",  "session-expired", "unrecognised",   "services",
    "not-found",  "server-error", "refresh",         "frameset",       "menu-frame",
    "filler-row",
};

bool ReadFile(const std::string &path, std::string &out)
{
    std::ifstream f(path, std::ios::binary);
    if (!f)
        return false;
    std::ostringstream ss;
    ss << f.rdbuf();
    out = ss.str();
    return true;
}

std::string Encode(const std::string &utf8Text, bool utf8)
{
    if (utf8)
        return utf8Text;
    const QByteArray bytes = ToCp1251(QString::fromUtf8(utf8Text.data(), qsizetype(utf8Text.size())));
    return std::string(bytes.constData(), size_t(bytes.size()));
}

const char *CharsetName(Encoding enc)
{
    return enc.utf8 ? "utf-8" : "windows-1251";
}

std::string ContentType(Encoding enc)
{
    std::string ct = "text/html";
    if (enc.charsetInHeader)
        ct += std::string("; charset=") + CharsetName(enc);
    return ct;
}

}  // namespace

bool PageTemplates::load(const std::string &overrideDir, std::string &error)
{
    templates_.clear();
    for (const char *name : kTemplateNames) {
        std::string text;
        const std::string file = std::string(name) + ".html";
        if (!overrideDir.empty() && ReadFile(overrideDir + "/" + file, text)) {
            templates_[name] = text;
            continue;
        }
        QFile res(QStringLiteral(":/issa-emulator/pages/") + QString::fromLatin1(file.c_str()));
        if (!res.open(QIODevice::ReadOnly)) {
            error = "built-in page template missing: " + file;
            return false;
        }
        const QByteArray bytes = res.readAll();
        templates_[name] = std::string(bytes.constData(), size_t(bytes.size()));
    }
    return true;
}

const std::string &PageTemplates::get(const std::string &name) const
{
    static const std::string empty;
    auto it = templates_.find(name);
    return it == templates_.end() ? empty : it->second;
}

std::string FillTemplate(const std::string &text, const PageValues &values)
{
    std::string out;
    out.reserve(text.size() + 256);
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t open = text.find("{{", pos);
        if (open == std::string::npos) {
            out.append(text, pos, std::string::npos);
            break;
        }
        const size_t close = text.find("}}", open + 2);
        if (close == std::string::npos) {
            out.append(text, pos, std::string::npos);
            break;
        }
        out.append(text, pos, open - pos);
        auto it = values.find(text.substr(open + 2, close - open - 2));
        if (it != values.end())
            out += it->second;
        pos = close + 2;
    }
    return out;
}

std::string HtmlEscape(const std::string &text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string FormatDot(double value)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", value);
    std::string s = buf;
    if (s == "-0.00")
        s = "0.00";
    return s;
}

std::string FormatComma(double value)
{
    std::string s = FormatDot(value);
    for (char &c : s)
        if (c == '.')
            c = ',';
    return s;
}

std::string MinutesTime(int minutes)
{
    char buf[64];
    if (minutes > 0 && minutes < 60)
        std::snprintf(buf, sizeof buf, "00:%02d:00", minutes);
    else if (minutes > 60 && minutes < 120)
        std::snprintf(buf, sizeof buf, "01:%02d:00", minutes - 60);
    else
        std::snprintf(buf, sizeof buf, "%d мин.", minutes);
    return buf;
}

PageValues PhoneValues(const EmuPhone &p)
{
    PageValues v;
    std::string printed = p.phoneNumber;
    if (printed.empty()) {
        printed = p.number;
        if (p.number.size() == 10)
            printed = "+7 (" + p.number.substr(0, 3) + ") " + p.number.substr(3, 3) + "-" + p.number.substr(6, 2) + "-"
                + p.number.substr(8, 2);
    }
    v["LicSchet"] = HtmlEscape(p.licSchet);
    v["UserName"] = HtmlEscape(p.userName);
    v["PhoneNumber"] = HtmlEscape(printed);
    auto money = [&](const char *name, double value) {
        v[name] = FormatComma(value);
        v[std::string(name) + ".dot"] = FormatDot(value);
    };
    money("Balance", p.balance);
    money("ObPlat", p.obPlat);
    money("Average", p.average);
    money("Recomend", p.recomend);
    money("USDRate", p.usdRate);
    v["TurnOff"] = std::to_string(p.turnOff);
    v["SMS"] = std::to_string(p.sms);
    v["Minutes"] = std::to_string(p.minutes);
    v["MinutesTime"] = MinutesTime(p.minutes);
    v["JeansExpired"] = std::to_string(p.jeansExpired);
    if (p.balance < 0)
        v["BalanceSentence"]
            = "Текущая задолженность вашего лицевого счета равна " + FormatDot(std::fabs(p.balance)) + " у.е.";
    else
        v["BalanceSentence"] = "Баланс вашего лицевого счета равен " + FormatDot(p.balance) + " у.е.";
    return v;
}

Encoding PhoneEncoding(const EmuPhone &phone)
{
    return Encoding{phone.utf8, phone.charsetInHeader};
}

Page SitePage(const PageTemplates &t, const std::string &content, const std::string &title, const PageValues &values,
              bool withMenu, Encoding enc, int status)
{
    PageValues frame;
    frame["Charset"] = CharsetName(enc);
    frame["Title"] = title;
    frame["Menu"] = withMenu ? t.get("menu") : std::string();
    frame["Content"] = FillTemplate(t.get(content), values);
    Page page;
    page.status = status;
    page.contentType = ContentType(enc);
    page.body = Encode(FillTemplate(t.get("site"), frame), enc.utf8);
    return page;
}

Page WholePage(const PageTemplates &t, const std::string &name, const PageValues &values, Encoding enc, int status)
{
    PageValues all = values;
    all["Charset"] = CharsetName(enc);
    Page page;
    page.status = status;
    page.contentType = ContentType(enc);
    page.body = Encode(FillTemplate(t.get(name), all), enc.utf8);
    return page;
}

Page AccountPage(const PageTemplates &t, const EmuPhone &phone)
{
    const char *content = phone.layout == Layout::Labels ? "account-labels" : "account-sentences";
    return SitePage(t, content, "Состояние счета", PhoneValues(phone), true, PhoneEncoding(phone));
}

Page LoginFormPage(const PageTemplates &t, const std::string &formKey, const std::string &note)
{
    PageValues v;
    v["FormKey"] = HtmlEscape(formKey);
    v["Note"] = note;
    return SitePage(t, "login", "Вход", v, false, Encoding{});
}
