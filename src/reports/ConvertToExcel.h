#pragma once
// The dialogs of the two workbook exports: the file choice with the overwrite
// question, and the messages. The workbooks themselves are written by the
// export library (HistoryWorkbook.h, SaveIssaToExcel.h).
//
// TdmExcel: the export of one phone's history for a period (the history
// chooser's "Excel" button).

#include "HistoryQueries.h"

#include <QString>
#include <QVector>

class QWidget;
struct TProgramState;

// A file name made of the phone's display text: characters that cannot stand
// in a file name become "_", and ".xlsx" is appended.
QString ExcelFileNameFor(const QString &displayText);

// The file choice of both exports: the save dialog (filter "*.xlsx", default
// suffix "xlsx") proposing fileName, then the checks of the chosen name. True
// when a name was chosen and it can be written: no file of that name, or the
// user agreed to overwrite it and it can be replaced. The old file is not touched here: it is replaced only when
// the new workbook is complete.
bool ChooseExcelFile(QWidget *parent, QString &fileName);

QString OverwriteQuestionText(const QString &fileName);
QString CannotOverwriteText(const QString &fileName);

class TdmExcel {
public:
    explicit TdmExcel(QString dbFile = QString());  // empty: the program's history file

    // The whole export with its messages: the rows of the phone number for
    // the period, the warning when there are none, the workbook, the success
    // message. Failures are thrown, labelled "ConvertToExcel.ConvertHistoryToXls"
    // and, when reading the rows fails, "ConvertToExcel.GetAll", "ConvertToExcel.GetDays"
    // or "ConvertToExcel.GetCount" after it.
    void ConvertHistoryToXls(QWidget *parent, const QString &fileName, const QString &phone, int n, HistoryPeriod mode);

private:
    QString dbFile_;
};

// The export of the current figures of all monitored phones (redOnly false)
// or of the red ones, with the file choice and the messages. Never throws:
// a failure goes to the error log with "SaveIssaToExcel.SaveInfoToExcel -- > "
// and no success message is shown.
void SaveInfoToExcel(const TProgramState &state, QWidget *parent, bool redOnly);
