#pragma once
// Set-up shared by the export tests: a history file with given rows, the
// monitored phones of the settings model, and a written workbook read back by
// a real reader (openpyxl in a Python script), not by the writer's own model.

#include "HistoryTestUtil.h"

#include <QJsonDocument>
#include <QJsonObject>

class TSetupModel;

// Creates the history file when it does not exist yet, then appends the row.
void StoreRow(const QString &dbFile, const RawRow &row);
// A date-time of the given day and time, as stored.
TDateTime At(int year, int month, int day, int hour, int minute, int second = 0);
// Monitors the slot with the number (and alias) in the model.
void MonitorPhone(TSetupModel &model, int slot, const QString &number, const QString &alias = QString());

struct SheetCell {
    bool present = false;
    QVariant value;
    QString type;  // "str", "int", "float", "datetime"
    bool bold = false;
    QString colour;  // "FF0000" or empty
};

class ReadBackSheet {
public:
    // Fails the calling test (ADD_FAILURE) when the reader cannot read the file.
    explicit ReadBackSheet(const QString &file);
    int maxRow() const { return root_.value("max_row").toInt(); }
    int maxColumn() const { return root_.value("max_column").toInt(); }
    // row and column from 1.
    SheetCell cell(int row, int column) const;
    // The row's cells as texts between "|": "'" before a text, "*" after a
    // bold one, "#" and the colour after a coloured one; "-" for an empty cell.
    QString row(int row, int columns) const;
    double width(int column) const;  // 0 when the column has no width
    // Every cell with its value, type and font, for comparing two workbooks.
    QString dump() const { return QString::fromUtf8(QJsonDocument(root_.value("cells").toObject()).toJson()); }

private:
    QJsonObject root_;
};
