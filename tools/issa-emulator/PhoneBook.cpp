#include "PhoneBook.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::string Trim(const std::string &s)
{
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ')
        ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ')
        --e;
    return s.substr(b, e - b);
}

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool ToDouble(std::string text, double &out)
{
    std::replace(text.begin(), text.end(), ',', '.');
    if (text.empty())
        return false;
    char *end = nullptr;
    errno = 0;
    out = std::strtod(text.c_str(), &end);
    return errno == 0 && end && *end == '\0';
}

bool ToInt(const std::string &text, int &out, int min, int max)
{
    if (text.empty())
        return false;
    char *end = nullptr;
    errno = 0;
    long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || !end || *end != '\0' || v < min || v > max)
        return false;
    out = static_cast<int>(v);
    return true;
}

bool ToBool(const std::string &text, bool &out)
{
    const std::string t = Lower(text);
    if (t == "yes" || t == "true" || t == "1") {
        out = true;
        return true;
    }
    if (t == "no" || t == "false" || t == "0") {
        out = false;
        return true;
    }
    return false;
}

struct BehaviourEntry {
    const char *name;
    Behaviour value;
};

const BehaviourEntry kBehaviours[] = {
    {"ok", Behaviour::Ok},
    {"redirect", Behaviour::Redirect},
    {"auth-error", Behaviour::AuthError},
    {"unavailable", Behaviour::Unavailable},
    {"session-expired", Behaviour::SessionExpired},
    {"server-error", Behaviour::ServerError},
    {"unrecognised", Behaviour::Unrecognised},
    {"slow", Behaviour::Slow},
    {"hang", Behaviour::Hang},
    {"redirect-loop", Behaviour::RedirectLoop},
    {"drop", Behaviour::Drop},
    {"oversized", Behaviour::Oversized},
    {"meta-refresh", Behaviour::MetaRefresh},
    {"frames", Behaviour::Frames},
    {"form-only", Behaviour::FormOnly},
    {"login-again", Behaviour::LoginAgain},
    {"chunk-bomb", Behaviour::ChunkBomb},
    {"chunk-flood", Behaviour::ChunkFlood},
    {"gzip-bomb", Behaviour::GzipBomb},
};

// Applies one key of a phone's section; returns an error text or empty.
std::string ApplyKey(EmuPhone &p, const std::string &key, const std::string &value)
{
    const std::string k = Lower(key);
    auto number = [&](double &field) { return ToDouble(value, field) ? std::string() : "not a number: " + value; };
    auto whole = [&](int &field, int min, int max) {
        return ToInt(value, field, min, max) ? std::string() : "not a whole number in range: " + value;
    };
    if (k == "password") {
        p.password = value;
    } else if (k == "licschet") {
        p.licSchet = value;
    } else if (k == "username") {
        p.userName = value;
    } else if (k == "phonenumber") {
        p.phoneNumber = value;
    } else if (k == "balance") {
        return number(p.balance);
    } else if (k == "obplat") {
        return number(p.obPlat);
    } else if (k == "average") {
        return number(p.average);
    } else if (k == "turnoff") {
        return whole(p.turnOff, -100000, 100000);
    } else if (k == "recomend") {
        return number(p.recomend);
    } else if (k == "sms") {
        return whole(p.sms, 0, 1000000);
    } else if (k == "minutes") {
        return whole(p.minutes, 0, 1000000);
    } else if (k == "jeansexpired") {
        return whole(p.jeansExpired, 0, 100000);
    } else if (k == "usdrate") {
        return number(p.usdRate);
    } else if (k == "layout") {
        const std::string v = Lower(value);
        if (v == "labels")
            p.layout = Layout::Labels;
        else if (v == "sentences")
            p.layout = Layout::Sentences;
        else
            return "unknown layout: " + value + " (labels or sentences)";
    } else if (k == "behaviour" || k == "behavior") {
        const std::string v = Lower(value);
        for (const auto &e : kBehaviours) {
            if (v == e.name) {
                p.behaviour = e.value;
                return {};
            }
        }
        return "unknown behaviour: " + value;
    } else if (k == "delayms") {
        return whole(p.delayMs, 0, 600000);
    } else if (k == "hangms") {
        return whole(p.hangMs, 0, 600000);
    } else if (k == "oversizemb") {
        return whole(p.oversizeMb, 1, 512);
    } else if (k == "charset") {
        const std::string v = Lower(value);
        if (v == "windows-1251" || v == "cp1251")
            p.utf8 = false;
        else if (v == "utf-8" || v == "utf8")
            p.utf8 = true;
        else
            return "unknown charset: " + value + " (windows-1251 or utf-8)";
    } else if (k == "charsetinheader") {
        return ToBool(value, p.charsetInHeader) ? std::string() : "not yes or no: " + value;
    } else {
        return "unknown key: " + key;
    }
    return {};
}

}  // namespace

std::string DigitsOnly(const std::string &text)
{
    std::string out;
    for (char c : text)
        if (c >= '0' && c <= '9')
            out += c;
    return out;
}

const char *BehaviourName(Behaviour b)
{
    for (const auto &e : kBehaviours)
        if (e.value == b)
            return e.name;
    return "?";
}

const EmuPhone *PhoneBook::find(const std::string &number) const
{
    const std::string digits = DigitsOnly(number);
    if (digits.empty())
        return nullptr;
    for (const auto &p : phones)
        if (p.number == digits)
            return &p;
    return nullptr;
}

bool ParsePhoneBook(const std::string &text, PhoneBook &book, std::string &error)
{
    PhoneBook result;
    std::istringstream in(text);
    std::string raw;
    int lineNo = 0;
    EmuPhone *current = nullptr;
    while (std::getline(in, raw)) {
        ++lineNo;
        if (lineNo == 1 && raw.compare(0, 3, "\xEF\xBB\xBF") == 0)
            raw.erase(0, 3);
        const std::string line = Trim(raw);
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        const std::string where = "line " + std::to_string(lineNo) + ": ";
        if (line.front() == '[') {
            if (line.back() != ']') {
                error = where + "a section needs a closing ']'";
                return false;
            }
            const std::string name = Trim(line.substr(1, line.size() - 2));
            const std::string digits = DigitsOnly(name);
            if (digits.empty()) {
                error = where + "a section names a phone number: [" + name + "]";
                return false;
            }
            if (result.find(digits)) {
                error = where + "phone " + digits + " appears twice";
                return false;
            }
            result.phones.emplace_back();
            current = &result.phones.back();
            current->number = digits;
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos) {
            error = where + "expected key=value";
            return false;
        }
        if (!current) {
            error = where + "a key before the first [number] section";
            return false;
        }
        const std::string problem = ApplyKey(*current, Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)));
        if (!problem.empty()) {
            error = where + problem;
            return false;
        }
    }
    book = std::move(result);
    return true;
}

bool LoadPhoneBook(const std::string &path, PhoneBook &book, std::string &error)
{
    std::ifstream f(path, std::ios::binary);
    if (!f) {
        error = "cannot read " + path;
        return false;
    }
    std::ostringstream ss;
    ss << f.rdbuf();
    if (!ParsePhoneBook(ss.str(), book, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}
