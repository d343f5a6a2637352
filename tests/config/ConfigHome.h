#pragma once
// A test case with a temporary program directory, the program state on it and an XDG config folder.

#include "Encoding.h"
#include "Failure.h"
#include "ProgramState.h"
#include "TestHome.h"

#include <QDir>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>

class ConfigTest : public ::testing::Test, public TestHome {
protected:
    ConfigTest() : oldXdg_(qgetenv("XDG_CONFIG_HOME"))
    {
        QDir().mkpath(xdg());
        qputenv("XDG_CONFIG_HOME", xdg().toLocal8Bit());
    }
    ~ConfigTest() override { qputenv("XDG_CONFIG_HOME", oldXdg_); }  // empty counts as unset
    QString xdg() const { return dir() + "xdg"; }
    // Files in the program directory (the XDG folder left out).
    QStringList files() const { return QDir(dir()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }
    static QByteArray Cp(const char *utf8) { return ToCp1251(QString::fromUtf8(utf8)); }
    TProgramState state{InitPaths()};

private:
    QByteArray oldXdg_;
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

// Files may not grow past `bytes` while this lives: a write beyond fails as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) : oldHandler_(std::signal(SIGXFSZ, SIG_IGN))
    {
        getrlimit(RLIMIT_FSIZE, &old_);
        const rlimit limit{bytes, old_.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit old_{};
    void (*oldHandler_)(int);
};
