#include "TestHome.h"

#include "Common.h"

#include <QFile>
#include <gtest/gtest.h>

TestHome::TestHome() : oldHome_(qgetenv("SALDOMAT_HOME"))
{
    qputenv("SALDOMAT_HOME", dir_.path().toLocal8Bit());
    ResetLogHeaderFlag();
}

TestHome::~TestHome()
{
    if (oldHome_.isEmpty())
        qunsetenv("SALDOMAT_HOME");
    else
        qputenv("SALDOMAT_HOME", oldHome_);
}

QByteArray ReadFileBytes(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void WriteFileBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QString TestDataPath(const QString &relative)
{
    return QStringLiteral(SALDOMAT_TEST_DATA "/") + relative;
}

QString BinaryPath(const QString &name)
{
    return QStringLiteral(SALDOMAT_BIN_DIR "/") + name;
}
