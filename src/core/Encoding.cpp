#include "Encoding.h"

#include <QStringDecoder>
#include <QStringEncoder>

QByteArray ToCp1251(const QString &text)
{
    QStringEncoder enc("windows-1251", QStringConverter::Flag::Stateless);
    QByteArray out = enc.encode(text);
    return out;
}

QString FromCp1251(const QByteArray &bytes)
{
    QStringDecoder dec("windows-1251", QStringConverter::Flag::Stateless);
    return dec.decode(bytes);
}

QString DecodeByCharset(const QByteArray &bytes, const QByteArray &charset)
{
    const QByteArray name = charset.trimmed();
    if (!name.isEmpty()) {
        QStringDecoder dec(name.constData(), QStringConverter::Flag::Stateless);
        if (dec.isValid())
            return dec.decode(bytes);
    }
    return FromCp1251(bytes);
}
