#include "XlsxWorkbook.h"

#include "ExportTarget.h"
#include "Failure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <xlsxwriter.h>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

double RoundTo(float value, int decimals)
{
    // A float has 24 significant bits; times 10^4 (14 bits) the product is
    // exact in a double, so the halves are judged on the stored value.
    static constexpr double kPowers[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
    const double scale = decimals >= 0 && decimals <= 6 ? kPowers[decimals] : std::pow(10.0, decimals);
    const double scaled = static_cast<double>(value) * scale;
    // nearbyint: the current rounding mode, which is to nearest, halves to even.
    return std::nearbyint(scaled) / scale;
}

QVector<XlsxCell> XlsxTextRow(const QStringList &texts)
{
    QVector<XlsxCell> row;
    row.reserve(texts.size());
    for (const QString &text : texts)
        row.append(text);
    return row;
}

namespace {
// The length of a cell's text without building it (numbers in their shortest form).
int textLength(const XlsxCell &cell)
{
    char buffer[64];
    if (const auto *text = std::get_if<QString>(&cell))
        return static_cast<int>(text->size());
    if (const auto *number = std::get_if<double>(&cell))
        return static_cast<int>(std::to_chars(buffer, buffer + sizeof buffer, *number).ptr - buffer);
    if (const auto *whole = std::get_if<std::int64_t>(&cell))
        return static_cast<int>(std::to_chars(buffer, buffer + sizeof buffer, *whole).ptr - buffer);
    if (std::holds_alternative<XlsxDateTime>(cell))
        return 19;  // dd.mm.yyyy hh:mm:ss
    return 0;
}
}  // namespace

QVector<double> FittedColumnWidths(const QVector<QVector<XlsxCell>> &rows, int columns)
{
    QVector<int> longest(columns, 0);
    for (const QVector<XlsxCell> &row : rows)
        for (int c = 0; c < columns && c < row.size(); ++c)
            longest[c] = std::max(longest[c], textLength(row[c]));
    QVector<double> widths(columns);
    for (int c = 0; c < columns; ++c)
        widths[c] = longest[c] == 0 ? LXW_DEF_COL_WIDTH : longest[c] + 2.0;  // a margin for bold captions
    return widths;
}

namespace {
// The file name a workbook is first written under: hidden, beside the target,
// unique. The file is created empty (so no other writer takes the name).
QString CreateTemporaryBeside(const QString &target)
{
    const QFileInfo info(target);
    QTemporaryFile file(info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".XXXXXX.tmp"));
    file.setAutoRemove(false);
    if (!file.open())
        throw SaldomatError(QStringLiteral("Не удалось создать временный файл рядом с \"%1\": %2")
                                .arg(QDir::toNativeSeparators(target), file.errorString()));
    return file.fileName();
}

QFileDevice::Permissions newFilePermissions()
{
#ifdef Q_OS_UNIX
    const mode_t mask = ::umask(0);
    ::umask(mask);
    const mode_t mode = 0666 & ~mask;
    QFileDevice::Permissions permissions;
    const std::pair<mode_t, QFileDevice::Permission> bits[]
        = {{S_IRUSR, QFileDevice::ReadOwner},  {S_IWUSR, QFileDevice::WriteOwner}, {S_IRGRP, QFileDevice::ReadGroup},
           {S_IWGRP, QFileDevice::WriteGroup}, {S_IROTH, QFileDevice::ReadOther},  {S_IWOTH, QFileDevice::WriteOther}};
    for (const auto &[bit, permission] : bits)
        if (mode & bit)
            permissions |= permission;
    if (permissions & QFileDevice::ReadOwner)
        permissions |= QFileDevice::ReadUser;
    if (permissions & QFileDevice::WriteOwner)
        permissions |= QFileDevice::WriteUser;
    return permissions;
#else
    return QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser;
#endif
}

void syncFile(const QString &path)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
#else
    Q_UNUSED(path);
#endif
}

// Makes a fully written temporary file the target, replacing an existing file
// in one step (its permissions are kept). Throws SaldomatError; the temporary
// file is then removed and the target untouched.
void ReplaceWithTemporary(const QString &temporary, const QString &target)
{
    const QFileInfo old(target);
    // A workbook is the user's document: a new one gets the mode the user's
    // umask gives new files, a replaced one keeps its mode.
    QFileDevice::Permissions permissions = newFilePermissions();
    if (old.exists())
        permissions = old.permissions();
    QFile::setPermissions(temporary, permissions);
    syncFile(temporary);
    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(QFile::encodeName(temporary).toStdString()),
                            std::filesystem::path(QFile::encodeName(target).toStdString()), ec);
    if (ec) {
        QFile::remove(temporary);
        throw SaldomatError(QStringLiteral("Не удалось записать файл \"%1\": %2")
                                .arg(QDir::toNativeSeparators(target), QString::fromLocal8Bit(ec.message())));
    }
    syncFile(old.absolutePath());
}
}  // namespace

XlsxFileWriter::XlsxFileWriter(const QString &target) : target_(target)
{
    RequireExportTarget(target);
    temporary_ = CreateTemporaryBeside(target);
    temporaryName_ = QFile::encodeName(temporary_);
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    workbook_ = workbook_new_opt(temporaryName_.constData(), &options);
    if (!workbook_) {
        QFile::remove(temporary_);
        throw SaldomatError(QStringLiteral("Не удалось начать книгу \"%1\"").arg(QDir::toNativeSeparators(target)));
    }
    sheet_ = workbook_add_worksheet(workbook_, nullptr);
    if (!sheet_) {
        workbook_close(workbook_);
        QFile::remove(temporary_);
        throw SaldomatError(QStringLiteral("Не удалось добавить лист в книгу"));
    }
    bold_ = format(true);
}

XlsxFileWriter::~XlsxFileWriter()
{
    if (workbook_) {
        // Not committed: a failure on the way. The half-made workbook is dropped.
        workbook_close(workbook_);
        QFile::remove(temporary_);
    }
}

lxw_format *XlsxFileWriter::format(bool bold, int colour, const char *numberFormat)
{
    lxw_format *f = workbook_add_format(workbook_);
    if (bold)
        format_set_bold(f);
    if (colour >= 0)
        format_set_font_color(f, static_cast<lxw_color_t>(colour));
    if (numberFormat)
        format_set_num_format(f, numberFormat);
    return f;
}

void XlsxFileWriter::write(int row, int col, const XlsxCell &cell, lxw_format *fmt)
{
    lxw_error err = LXW_NO_ERROR;
    const auto r = static_cast<lxw_row_t>(row);
    const auto c = static_cast<lxw_col_t>(col);
    if (const auto *text = std::get_if<QString>(&cell)) {
        err = worksheet_write_string(sheet_, r, c, text->toUtf8().constData(), fmt);
    } else if (const auto *number = std::get_if<double>(&cell)) {
        // A figure that is not finite has no form in a workbook ("INF" makes
        // the file unreadable): the cell stays empty.
        if (std::isfinite(*number))
            err = worksheet_write_number(sheet_, r, c, *number, fmt);
        else if (fmt)
            err = worksheet_write_blank(sheet_, r, c, fmt);
    } else if (const auto *whole = std::get_if<std::int64_t>(&cell)) {
        err = worksheet_write_number(sheet_, r, c, static_cast<double>(*whole), fmt);
    } else if (const auto *when = std::get_if<XlsxDateTime>(&cell); when && !std::isfinite(when->days)) {
        if (fmt)
            err = worksheet_write_blank(sheet_, r, c, fmt);
    } else if (when) {
        if (!fmt) {
            if (!dateTime_)
                dateTime_ = format(false, -1, "dd.mm.yyyy hh:mm:ss");
            fmt = dateTime_;
        }
        err = worksheet_write_number(sheet_, r, c, when->days, fmt);
    } else if (fmt) {
        err = worksheet_write_blank(sheet_, r, c, fmt);
    }
    if (err != LXW_NO_ERROR)
        throw SaldomatError(
            QStringLiteral("Ячейка %1,%2: %3").arg(row + 1).arg(col + 1).arg(QString::fromUtf8(lxw_strerror(err))));
}

void XlsxFileWriter::setColumnWidths(const QVector<double> &widths)
{
    for (int c = 0; c < widths.size(); ++c)
        worksheet_set_column(sheet_, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c), widths[c], nullptr);
}

void XlsxFileWriter::writeSheet(const XlsxSheet &sheet, const QVector<double> &widths,
                                const std::function<lxw_format *(int row, int col)> &cellFormat)
{
    setColumnWidths(widths);
    for (int r = 0; r < sheet.size(); ++r)
        for (int c = 0; c < sheet[r].size(); ++c)
            write(r, c, sheet[r][c], r == 0 ? bold_ : cellFormat ? cellFormat(r, c) : nullptr);
}

void XlsxFileWriter::commit()
{
    lxw_workbook *wb = workbook_;
    // Asked again: the target may have changed while the rows were written.
    if (const ExportTargetCheck check = CheckExportTarget(target_); check.state == ExportTargetState::Refused) {
        workbook_ = nullptr;
        workbook_close(wb);
        QFile::remove(temporary_);
        throw SaldomatError(check.reason);
    }
    workbook_ = nullptr;
    const lxw_error err = workbook_close(wb);
    if (err != LXW_NO_ERROR) {
        QFile::remove(temporary_);
        throw SaldomatError(QStringLiteral("Не удалось записать книгу \"%1\": %2")
                                .arg(QDir::toNativeSeparators(target_), QString::fromUtf8(lxw_strerror(err))));
    }
    ReplaceWithTemporary(temporary_, target_);
}
