#pragma once
// A temporary program directory for one test: SALDOMAT_HOME points at it, so
// that InitPaths() gives the program's file paths inside it. Removed when the test ends.

#include <QString>
#include <QTemporaryDir>

class TestHome {
public:
    TestHome();
    ~TestHome() { oldHome_.isEmpty() ? qunsetenv("SALDOMAT_HOME") : qputenv("SALDOMAT_HOME", oldHome_); }
    QString dir() const { return dir_.path() + QLatin1Char('/'); }
    QString file(const QString &name) const { return dir() + name; }

private:
    QTemporaryDir dir_;
    QByteArray oldHome_ = qgetenv("SALDOMAT_HOME");
};

QByteArray ReadFileBytes(const QString &path);  // empty when it cannot be read
void WriteFileBytes(const QString &path, const QByteArray &bytes);
QString TestDataPath(const QString &relative);
QString BinaryPath(const QString &name);
