#include "CliOutput.h"

#include "Cli.h"
#include "CsvSheet.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>
#include <cmath>

namespace {
bool isNumber(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

bool isWhole(const QVariant &v)
{
    return v.typeId() != QMetaType::Double && v.typeId() != QMetaType::Float;
}
}  // namespace

QString ListCommandFormat(const QStringList &arguments, const char *command, OutputFormat &format)
{
    QStringList args = arguments;
    format = OutputFormat::Table;
    if (QString error = TakeOutputFormat(args, format); !error.isEmpty())
        return error;
    if (!args.isEmpty())
        return QStringLiteral("%1 takes no arguments but --format").arg(QLatin1String(command));
    return {};
}

QString TakeOutputFormat(QStringList &args, OutputFormat &format, std::initializer_list<OutputFormat> accepted)
{
    static const char *const names[] = {"table", "json", "csv", "xlsx"};
    QString choices;  // "table, json or csv"
    for (const OutputFormat f : accepted) {
        if (!choices.isEmpty())
            choices += f == *(accepted.end() - 1) ? QStringLiteral(" or ") : QStringLiteral(", ");
        choices += QLatin1String(names[int(f)]);
    }
    for (int i = 0; i < args.size(); ++i) {
        QString value;
        if (args[i] == QLatin1String("--format")) {
            if (i + 1 >= args.size())
                return QStringLiteral("--format takes %1").arg(choices);
            value = args[i + 1];
            args.remove(i, 2);
        } else if (args[i].startsWith(QLatin1String("--format="))) {
            value = args[i].mid(9);
            args.remove(i);
        } else {
            continue;
        }
        const auto named = std::find_if(accepted.begin(), accepted.end(),
                                        [&](OutputFormat f) { return value == QLatin1String(names[int(f)]); });
        if (named == accepted.end())
            return QStringLiteral("--format takes %1, not \"%2\"").arg(choices, value);
        format = *named;
        --i;
    }
    return QString();
}

namespace {
// One JSON value as text (a QJsonObject would sort the keys; the columns keep
// their order, slot and number first).
QByteArray jsonText(const QJsonValue &value)
{
    QByteArray text = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return text.mid(1, text.size() - 2);
}
}  // namespace

QByteArray OutputJson(const OutputRows &rows)
{
    QByteArray out = "[";
    for (qsizetype r = 0; r < rows.rows.size(); ++r) {
        const QVector<QVariant> &row = rows.rows[r];
        out += r == 0 ? "\n  {" : ",\n  {";
        for (qsizetype c = 0; c < rows.columns.size() && c < row.size(); ++c) {
            const QVariant &v = row[c];
            QJsonValue value;
            if (v.isNull())
                value = QJsonValue::Null;
            else if (v.typeId() == QMetaType::Bool)
                value = v.toBool();
            else if (isNumber(v) && isWhole(v))
                value = v.toLongLong();
            else if (isNumber(v))
                value = std::isfinite(v.toDouble()) ? QJsonValue(v.toDouble()) : QJsonValue(QJsonValue::Null);
            else
                value = v.toString();
            if (c > 0)
                out += ", ";
            out += jsonText(rows.columns[c]) + ": " + jsonText(value);
        }
        out += "}";
    }
    return out + (rows.rows.isEmpty() ? "]\n" : "\n]\n");
}

QByteArray OutputCsv(const OutputRows &rows)
{
    XlsxSheet sheet{XlsxTextRow(rows.columns)};
    for (const QVector<QVariant> &row : rows.rows) {
        QVector<XlsxCell> line;
        for (const QVariant &v : row) {
            if (v.isNull())
                line.append(XlsxCell());
            else if (v.typeId() == QMetaType::Bool)
                line.append(QString::fromLatin1(v.toBool() ? "true" : "false"));
            else if (isNumber(v) && isWhole(v))
                line.append(std::int64_t(v.toLongLong()));
            else if (isNumber(v))
                line.append(v.toDouble());
            else
                line.append(v.toString());
        }
        sheet.append(line);
    }
    return CsvText(sheet);
}

QString OutputTable(const OutputRows &rows, const QStringList &headers)
{
    const QStringList heads = headers.isEmpty() ? rows.columns : headers;
    QVector<QStringList> cells;
    QVector<bool> right(heads.size(), false);
    for (const QVector<QVariant> &row : rows.rows) {
        QStringList line;
        for (qsizetype c = 0; c < heads.size(); ++c) {
            const QVariant v = c < row.size() ? row[c] : QVariant();
            if (v.isNull() || (isNumber(v) && !isWhole(v) && !std::isfinite(v.toDouble()))) {
                line << QStringLiteral("—");
            } else if (v.typeId() == QMetaType::Bool) {
                line << QString::fromLatin1(v.toBool() ? "yes" : "no");
            } else if (isNumber(v)) {
                right[c] = true;
                line << (isWhole(v) ? QString::number(v.toLongLong()) : QString::number(v.toDouble(), 'f', 2));
            } else {
                line << v.toString();
            }
        }
        cells << line;
    }
    QVector<int> widths(heads.size());
    for (qsizetype c = 0; c < heads.size(); ++c) {
        widths[c] = int(heads[c].size());
        for (const QStringList &line : cells)
            widths[c] = std::max(widths[c], int(line[c].size()));
    }
    auto print = [&](const QStringList &line) {
        QString text;
        for (qsizetype c = 0; c < line.size(); ++c) {
            const bool last = c + 1 == line.size();
            text += right[c] ? line[c].rightJustified(widths[c]) : last ? line[c] : line[c].leftJustified(widths[c]);
            if (!last)
                text += QStringLiteral("  ");
        }
        return text + QLatin1Char('\n');
    };
    QString text = print(heads);
    for (const QStringList &line : cells)
        text += print(line);
    return text;
}

void PrintRows(const OutputRows &rows, OutputFormat format, const std::function<QString()> &table)
{
    switch (format) {
    case OutputFormat::Json:
        cliOut() << QString::fromUtf8(OutputJson(rows));
        break;
    case OutputFormat::Csv:
        cliOut() << QString::fromUtf8(OutputCsv(rows));
        break;
    case OutputFormat::Table:
    case OutputFormat::Xlsx:  // not a listing's form
        cliOut() << (table ? table() : OutputTable(rows));
        break;
    }
    cliOut().flush();
}
