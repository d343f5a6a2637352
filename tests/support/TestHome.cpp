#include "TestHome.h"

#include "Common.h"

#include <QFile>
#include <gtest/gtest.h>

TestHome::TestHome()
{
    qputenv("SALDOMAT_HOME", dir_.path().toLocal8Bit());
    ResetLogHeaderFlag();
}

QByteArray ReadFileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
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
