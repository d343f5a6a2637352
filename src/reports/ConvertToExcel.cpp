#include "ConvertToExcel.h"

#include "Common.h"
#include "ExportTarget.h"
#include "Failure.h"
#include "HistoryWorkbook.h"
#include "SaveIssaToExcel.h"
#include "Setup.h"
#include "XlsxWorkbook.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStandardPaths>

namespace {
// The chosen file name, or an empty text on cancel.
QString runFileDialog(QWidget *parent, const QString &proposed)
{
    QFileDialog sdExcel(parent);
    sdExcel.setObjectName(QStringLiteral("sdExcel"));
    sdExcel.setAcceptMode(QFileDialog::AcceptSave);
    sdExcel.setFileMode(QFileDialog::AnyFile);
    sdExcel.setNameFilter(QStringLiteral("*.xlsx"));
    sdExcel.setDefaultSuffix(QStringLiteral("xlsx"));
    // The overwrite question is ours (with its own wording and check).
    sdExcel.setOption(QFileDialog::DontConfirmOverwrite, true);
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    sdExcel.setDirectory(folder);
    sdExcel.selectFile(proposed);
    if (sdExcel.exec() != QDialog::Accepted || sdExcel.selectedFiles().isEmpty())
        return QString();
    return sdExcel.selectedFiles().constFirst();
}

QString quoted(const QString &fileName)
{
    return QLatin1Char('"') + QDir::toNativeSeparators(fileName) + QLatin1Char('"');
}
}  // namespace

QString ExcelFileNameFor(const QString &displayText)
{
    QString name = displayText;
    for (QChar &ch : name)
        if (ch.unicode() < 32 || QStringLiteral("/\\:*?\"<>|").contains(ch))
            ch = QLatin1Char('_');
    name = name.trimmed();
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
        name.prepend(QStringLiteral("Saldomat"));
    return name + QStringLiteral(".xlsx");
}

QString OverwriteQuestionText(const QString &fileName)
{
    return QStringLiteral("Файл ") + quoted(fileName) + QStringLiteral(" существует! Перезаписать?");
}

QString CannotOverwriteText(const QString &fileName)
{
    return QStringLiteral("Файл ") + quoted(fileName)
        + QStringLiteral(" не может быть перезаписан.\r\nВозможно он уже открыт в Excel");
}

bool ChooseExcelFile(QWidget *parent, QString &fileName)
{
    return guarded(THIS_ROUTINE, [&] {
        const QString chosen = runFileDialog(parent, fileName);
        if (chosen.isEmpty())
            return false;
        fileName = chosen;
        const ExportTargetCheck target = CheckExportTarget(fileName);
        if (target.state == ExportTargetState::New)
            return true;
        // The program's own files are never offered for replacing.
        if (target.ownFile || (target.state == ExportTargetState::Refused && !QFileInfo::exists(fileName))) {
            QMessageBox::critical(parent, QString::fromLatin1(ProgramName), target.reason);
            return false;
        }
        if (QMessageBox::question(parent, QString::fromLatin1(ProgramName), OverwriteQuestionText(fileName),
                                  QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
            != QMessageBox::Yes)
            return false;
        if (CheckExportTarget(fileName).state == ExportTargetState::Existing)
            return true;
        QMessageBox::critical(parent, QString::fromLatin1(ProgramName), CannotOverwriteText(fileName));
        return false;
    });
}

TdmExcel::TdmExcel(QString dbFile) : dbFile_(std::move(dbFile)) { }

namespace {
// The failure label of reading the rows of a period.
FailureLabel readingLabel(HistoryPeriod period)
{
    switch (period) {
    case HistoryPeriod::LastDays:
        return ROUTINE("GetDays");
    case HistoryPeriod::LastCount:
        return ROUTINE("GetCount");
    case HistoryPeriod::All:
        break;
    }
    return ROUTINE("GetAll");
}
}  // namespace

void TdmExcel::ConvertHistoryToXls(QWidget *parent, const QString &fileName, const QString &phone, int n,
                                   HistoryPeriod mode)
{
    guarded(THIS_ROUTINE, [&] {
        const QVector<HistoryRow> rows
            = guarded(readingLabel(mode), [&] { return HistoryRows(phone, mode, n, dbFile_); });
        if (rows.isEmpty()) {
            QMessageBox::warning(parent, QString::fromLatin1(ProgramName), QString::fromUtf8(MsgHistoryNotFound));
            return;
        }
        WriteHistoryWorkbook(fileName, rows);
        QMessageBox::information(parent, QString::fromLatin1(ProgramName), QString::fromUtf8(MsgHistoryExported));
    });
}

void SaveInfoToExcel(const TProgramState &state, QWidget *parent, bool redOnly)
{
    runHandler(THIS_ROUTINE, [&] {
        if (redOnly && !HasRedPhones(state)) {
            QMessageBox::information(parent, QString::fromLatin1(ProgramName), QString::fromUtf8(MsgNoRedPhones));
            return;
        }
        QString fileName = DefaultCurrentExportName();
        if (!ChooseExcelFile(parent, fileName))
            return;
        WriteCurrentWorkbook(state, fileName, redOnly);
        QMessageBox::information(parent, QString::fromLatin1(ProgramName), QString::fromUtf8(MsgCurrentExported));
    });
}
