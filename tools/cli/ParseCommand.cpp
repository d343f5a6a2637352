// saldomat-cli parse FILE...: the figures that the account page parser reads from
// saved pages, so that a user can see why a page reads wrong and a script can read
// the result. One block per file:
//
//   ==> FILE <==
//   LicSchet: 1234567890
//   ...
//   USDRate: 31.2
//   Error: BalanceParser2.ParseBalans -- > List index out of bounds (57)   (only on a failure)
//
// A file may be a page saved by the loaded-pages viewer or the debug switch (a
// "<!-- URL -->" line first: already as the program's browser handed it over)
// or a whole page as the server sends it, in windows-1251 or UTF-8; a whole
// page goes through the browser's parser and serialisation first, exactly as
// in a request, so the result is the one the program would get.
// Exit status 0 when every page was read, 1 when a page failed or a file could not
// be read, 2 without a file.

#include "BalanceParser2.h"
#include "Cli.h"
#include "Failure.h"
#include "HtmlDocument.h"
#include "SavedPage.h"

#include <QFile>
#include <QUrl>

namespace {

int runParse(const QStringList &args)
{
    if (args.isEmpty())
        return cliFail(QStringLiteral("parse: no file given (usage: saldomat-cli parse FILE...)"));
    int status = 0;
    for (qsizetype n = 0; n < args.size(); ++n) {
        const QString &path = args[n];
        if (n > 0)
            cliOut() << "\n";
        cliOut() << "==> " << path << " <==\n";
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            cliOut() << "Error: cannot read the file: " << file.errorString() << "\n";
            cliErr() << "saldomat-cli: " << path << ": " << file.errorString() << "\n";
            status = 1;
            continue;
        }
        const QByteArray bytes = file.readAll();
        SavedPage page = ReadSavedPage(bytes);
        if (page.url.isEmpty())
            page.html = HtmlDocument::Parse(bytes, QUrl::fromLocalFile(path), page.encoding.toLower())->BodyOuterHtml();
        TIssa issa;
        QString error;
        try {
            ParseBalans(page.html, issa);
        } catch (const std::exception &e) {
            error = failureText(e);
        }
        for (const QString &line : FigureLines(issa))
            cliOut() << line << "\n";
        if (!error.isEmpty()) {
            cliOut() << "Error: " << error << "\n";
            cliErr() << "saldomat-cli: " << path << ": " << error << "\n";
            status = 1;
        }
    }
    return status;
}

const CliCommand parseCommand{
    "parse", "parse FILE...", "print the figures that the account page parser reads from saved pages",
    "A file is a page saved by the loaded-pages viewer or a whole page as the server sends it. "
    "Exit status 1 when a page could not be read.",
    runParse};

}  // namespace
