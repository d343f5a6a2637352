#pragma once
// A temporary program directory with the program state opened on it, and an
// XDG config folder of its own (auto-start entry, program path record).

#include "Common.h"
#include "Encoding.h"
#include "Failure.h"
#include "ProgramState.h"
#include "SettingsFile.h"
#include "TestHome.h"

#include <QDir>
#include <QStringList>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>

class ConfigHome : public TestHome {
public:
    ConfigHome() : oldXdg_(qgetenv("XDG_CONFIG_HOME"))
    {
        QDir().mkpath(xdg());
        qputenv("XDG_CONFIG_HOME", xdg().toLocal8Bit());
    }
    ~ConfigHome() { qputenv("XDG_CONFIG_HOME", oldXdg_); }  // empty counts as unset
    QString xdg() const { return dir() + QStringLiteral("xdg"); }
    // The program's state on this directory's files.
    TProgramState state{InitPaths()};
    // Files in the program directory (the XDG folder left out).
    QStringList files() const
    {
        return QDir(dir()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

private:
    QByteArray oldXdg_;
};

// A test case with its own ConfigHome.
class ConfigTest : public ::testing::Test {
protected:
    ConfigHome home;
    TProgramState &state = home.state;
};

// The message of the SaldomatError that f() throws; empty when it throws none.
inline QString FailureOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const SaldomatError &e) {
        return e.message();
    }
    return QString();
}

// Files may not grow past `bytes` while this lives: a write beyond it fails
// as on a full disk (works for every user, root included).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

inline QByteArray Cp(const char *utf8)
{
    return ToCp1251(QString::fromUtf8(utf8));
}

inline QString U(const char *utf8)
{
    return QString::fromUtf8(utf8);
}
