#include "ParserTestUtil.h"

#include "Failure.h"
#include "TestHome.h"

#include <QDir>

QString Page(std::initializer_list<const char16_t *> lines)
{
    QStringList list;
    for (const char16_t *line : lines)
        list << QString::fromUtf16(line);
    return list.join(u'\n');
}

TIssa Parse(const QString &page, QString *failure)
{
    TIssa r;
    try {
        ParseBalans(page, r);
    } catch (const std::exception &e) {
        if (!failure)
            throw;
        *failure = failureText(e);
    }
    return r;
}

QByteArray CorpusBytes(const QString &name, const QString &encoding)
{
    return ReadFileBytes(TestDataPath(QStringLiteral("pages/%1.%2.html").arg(name, encoding)));
}

QStringList CorpusExpected(const QString &name)
{
    const QString text = QString::fromUtf8(ReadFileBytes(TestDataPath(QStringLiteral("pages/%1.expected").arg(name))));
    return text.split(u'\n', Qt::SkipEmptyParts);
}

QStringList CorpusNames()
{
    QStringList names;
    for (const QString &file :
         QDir(TestDataPath(QStringLiteral("pages"))).entryList({QStringLiteral("*.expected")}, QDir::Files, QDir::Name))
        names << file.chopped(int(qstrlen(".expected")));
    return names;
}
