#include "XlsxReadBack.h"

#include <QJsonDocument>
#include <QProcess>
#include <QStringList>
#include <gtest/gtest.h>

QString ColumnLetter(int column)
{
    QString letters;
    while (column > 0) {
        letters.prepend(QChar(u'A' + (column - 1) % 26));
        column = (column - 1) / 26;
    }
    return letters;
}

ReadBackSheet::ReadBackSheet(const QString &file)
{
    QProcess p;
    p.start(QStringLiteral(SALDOMAT_PYTHON3), {QStringLiteral(SALDOMAT_READ_XLSX), file});
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        ADD_FAILURE() << "reading " << file.toStdString() << " failed: " << p.readAllStandardError().toStdString();
        return;
    }
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(p.readAllStandardOutput(), &error);
    if (!doc.isObject()) {
        ADD_FAILURE() << "reader output is not JSON: " << error.errorString().toStdString();
        return;
    }
    root_ = doc.object();
    ok_ = true;
}

SheetCell ReadBackSheet::cell(int row, int column) const
{
    SheetCell c;
    const QJsonObject cells = root_.value(QStringLiteral("cells")).toObject();
    const QString ref = ColumnLetter(column) + QString::number(row);
    if (!cells.contains(ref))
        return c;
    const QJsonObject o = cells.value(ref).toObject();
    c.present = true;
    c.value = o.value(QStringLiteral("value")).toVariant();
    c.type = o.value(QStringLiteral("type")).toString();
    c.bold = o.value(QStringLiteral("bold")).toBool();
    c.colour = o.value(QStringLiteral("colour")).toString();
    c.format = o.value(QStringLiteral("format")).toString();
    return c;
}

double ReadBackSheet::width(int column) const
{
    return root_.value(QStringLiteral("widths")).toObject().value(ColumnLetter(column)).toDouble();
}

QString ReadBackSheet::dump() const
{
    QStringList lines;
    for (int r = 1; r <= maxRow(); ++r)
        for (int c = 1; c <= maxColumn(); ++c) {
            const SheetCell x = cell(r, c);
            if (x.present)
                lines << QStringLiteral("%1%2=%3:%4:%5:%6")
                             .arg(ColumnLetter(c))
                             .arg(r)
                             .arg(x.value.toString(), x.type)
                             .arg(x.bold)
                             .arg(x.colour);
        }
    return lines.join(QLatin1Char('\n'));
}
