#include "CsvSheet.h"

#include "AtomicFile.h"
#include "ExportTarget.h"
#include "OleDate.h"

#include <charconv>
#include <cmath>

namespace {
void appendField(QByteArray &out, const QByteArray &field)
{
    if (!field.contains(',') && !field.contains('"') && !field.contains('\n') && !field.contains('\r')) {
        out += field;
        return;
    }
    out += '"';
    for (char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

QByteArray numberText(double value)
{
    if (!std::isfinite(value))
        return QByteArray();
    char buffer[64];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return QByteArray(buffer, static_cast<int>(end - buffer));
}

QByteArray cellText(const XlsxCell &cell)
{
    if (const auto *text = std::get_if<QString>(&cell))
        return text->toUtf8();
    if (const auto *number = std::get_if<double>(&cell))
        return numberText(*number);
    if (const auto *whole = std::get_if<std::int64_t>(&cell))
        return QByteArray::number(static_cast<qlonglong>(*whole));
    if (const auto *when = std::get_if<XlsxDateTime>(&cell))
        return std::isfinite(when->days)
            ? FromOleDate(when->days).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")).toUtf8()
            : QByteArray();
    return QByteArray();
}
}  // namespace

QByteArray CsvText(const XlsxSheet &sheet)
{
    QByteArray out;
    for (const QVector<XlsxCell> &row : sheet) {
        for (qsizetype c = 0; c < row.size(); ++c) {
            if (c > 0)
                out += ',';
            appendField(out, cellText(row[c]));
        }
        out += "\r\n";
    }
    return out;
}

void WriteCsvFile(const QString &file, const XlsxSheet &sheet)
{
    RequireExportTarget(file);
    WriteFileAtomically(file, CsvText(sheet), FileAccess::UserDocument);
}

ExportFormat ExportFormatOf(const QString &file)
{
    if (file.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive))
        return ExportFormat::Xlsx;
    if (file.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        return ExportFormat::Csv;
    return ExportFormat::Unknown;
}
