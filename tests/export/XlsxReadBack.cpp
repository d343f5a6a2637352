#include "XlsxReadBack.h"

#include <QJsonDocument>
#include <QProcess>
#include <gtest/gtest.h>

namespace {
QString columnLetter(int column)
{
    QString letters;
    for (; column > 0; column = (column - 1) / 26)
        letters.prepend(QChar(u'A' + (column - 1) % 26));
    return letters;
}
}  // namespace

ReadBackSheet::ReadBackSheet(const QString &file)
{
    QProcess p;
    p.start(SALDOMAT_PYTHON3, {SALDOMAT_READ_XLSX, file});
    const bool read = p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    root_ = QJsonDocument::fromJson(read ? p.readAllStandardOutput() : QByteArray()).object();
    if (root_.isEmpty())
        ADD_FAILURE() << "reading " << file.toStdString() << " failed: " << p.readAllStandardError().toStdString();
}

SheetCell ReadBackSheet::cell(int row, int column) const
{
    const QJsonValue c = root_.value("cells").toObject().value(columnLetter(column) + QString::number(row));
    if (!c.isObject())
        return {};
    return {true, c["value"].toVariant(), c["type"].toString(), c["bold"].toBool(), c["colour"].toString()};
}

double ReadBackSheet::width(int column) const
{
    return root_.value("widths").toObject().value(columnLetter(column)).toDouble();
}

QString ReadBackSheet::dump() const
{
    return QString::fromUtf8(QJsonDocument(root_.value("cells").toObject()).toJson());
}
