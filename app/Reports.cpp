#include "Reports.h"

#include "Common.h"
#include "Failure.h"
#include "ReportsModule.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLibrary>
#include <QMessageBox>

namespace Reports {
namespace {

const ReportsModuleApi *api = nullptr;
QString moduleFile;
bool complained = false;

// The module's table, loading the module at the first call. Every symbol is
// resolved at once, so a module that does not fit this program fails here
// and not in the middle of a window.
const ReportsModuleApi &Api(QWidget *parent)
{
    if (api)
        return *api;
    const QStringList candidates
        = moduleFile.isEmpty() ? ModuleCandidates(QCoreApplication::applicationDirPath()) : QStringList{moduleFile};
    QStringList problems;
    for (const QString &path : candidates) {
        if (!QFile::exists(path)) {
            problems << QStringLiteral("%1: нет файла").arg(QDir::toNativeSeparators(path));
            continue;
        }
        auto *library = new QLibrary(path);  // stays loaded for the program's life
        library->setLoadHints(QLibrary::ResolveAllSymbolsHint);
        const auto entry = reinterpret_cast<ReportsModuleEntry>(library->resolve(kReportsModuleEntry));
        const ReportsModuleApi *table = entry ? entry() : nullptr;
        if (table && table->version == kReportsModuleVersion) {
            api = table;
            return *api;
        }
        problems << (entry ? QStringLiteral("%1: другая версия модуля").arg(QDir::toNativeSeparators(path))
                           : library->errorString());
        library->unload();
        delete library;
    }
    const QString message = QStringLiteral("Окна истории и экспорт в Excel недоступны: модуль %1 не загружен (%2)")
                                 .arg(QLatin1String(kReportsModuleFile), problems.join(QStringLiteral("; ")));
    if (!complained) {
        complained = true;
        QMessageBox::warning(parent, QLatin1String(ProgramName), message);
    }
    throw SaldomatError(message);
}

} // namespace

QStringList ModuleCandidates(const QString &programDir)
{
    const QString file = QLatin1String(kReportsModuleFile);
    return {QDir(programDir).filePath(file),
            QDir::cleanPath(programDir + QLatin1Char('/') + QStringLiteral(SALDOMAT_REPORTS_INSTALL_DIR) + QLatin1Char('/') + file)};
}

void UseModuleFile(const QString &path)
{
    moduleFile = path;
    api = nullptr;
    complained = false;
}

bool Loaded()
{
    return api != nullptr;
}

void ShowHistory(QWidget *parent)
{
    guarded(THIS_ROUTINE, [&] { Api(parent).showHistory(parent); });
}

void ShowHistoryPhone(int slot, HistoryPeriod mode, int n, QWidget *parent)
{
    guarded(THIS_ROUTINE, [&] { Api(parent).showHistoryPhone(slot, mode, n, parent); });
}

void SaveInfoToExcel(QWidget *parent, bool redOnly)
{
    guarded(THIS_ROUTINE, [&] { Api(parent).saveInfoToExcel(parent, redOnly); });
}

} // namespace Reports
