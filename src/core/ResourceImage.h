#pragma once
// The pictures compiled into the program (":/NAME.xpm"), read by the XPM
// reader alone. Read by name, Qt would first load every image-format plugin
// installed on the system to ask whether it knows the format, and keep them
// all in memory for the program's life.
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QPixmap>
#include <QString>

inline QImage ResourceImage(const QString &name)
{
    QImageReader reader(name, "xpm");
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

inline QPixmap ResourcePixmap(const QString &name)
{
    return QPixmap::fromImage(ResourceImage(name));
}

inline QIcon ResourceIcon(const QString &name)
{
    return QIcon(ResourcePixmap(name));
}
