#pragma once
// TfrmPhonesInfo: the overview window, one grid row per monitored phone and one
// column per figure chosen in the settings.
#include "SortGridUnit.h"

#include <QAction>
#include <QColor>
#include <QMenu>
#include <QMetaType>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include "TrayIcon.h"

// Display attributes of one grid cell (the cell's object in the grid).
struct TCellStyle {
    QColor FontColor = Qt::black;
    QColor BgColor = Qt::white;
    bool Bold = false;
    bool RightAlign = false;
    bool operator==(const TCellStyle &) const = default;
};
Q_DECLARE_METATYPE(TCellStyle)

inline const QColor CaptionBg(209, 209, 209);
inline const QColor DataBg(255, 255, 225);
inline const QColor SelectedBg(253, 255, 197);
inline const QColor FailedText(128, 128, 128);
inline const QColor MarkedText(255, 0, 0);
inline const QColor FailedMarkedText(250, 110, 110);

struct TIssa;
struct TProgramState;

class TfrmPhonesInfo : public QWidget {
    Q_OBJECT
public:
    // Shows the state's phone table; keeps its geometry in the settings file.
    explicit TfrmPhonesInfo(TProgramState &state, QWidget *parent = nullptr);
    const TProgramState &State() const { return state_; }
    ~TfrmPhonesInfo() override;

    // The fourteen keys after "NN", in grid order when all are present.
    static const QStringList &AllKeys();

    void CreateGreed();
    // onlySlot: that phone's row alone (0: every row).
    void FillGrid(int onlySlot = 0);
    void SetupColumns();
    void SetCellValue(const QString &key, int row, const QString &text, const QColor &bg, const QColor &fg, bool bold,
                      bool rightAlign);
    void Set_ColumnWidth(const QString &key, int width);
    int Get_ColumnWidth(const QString &key) const;
    void SetFormWidth();
    int DefaultColumnWidth(const QString &key, const QString &caption) const;
    // Width of the "NN" column when shown: the number and the state picture side by side.
    int NNColumnWidth() const;
    void SaveColumnsWidth();
    void SaveVisibleIniParameters();
    void LoadVisibleIniParameters();

    // After the settings changed: rebuilds the columns and rows of the open
    // window and applies its stored sizes again, as a new showing would. A
    // hidden window is left as it is: its next showing builds it.
    void Rebuild();
    // Shows the window when hidden, hides it when shown (left click on the tray icon).
    void ShowPhonesInfo();
    // The animation to pause while the loaded pages viewer is open (optional).
    void SetTrayIcon(TTrayIcon *tray) { trayIcon_ = tray; }
    // Enables or disables the items the controller switches together with its
    // own menu; items whose windows are not part of the program stay disabled.
    void SetMenusEnabled(bool enabled);
    // The history item is shown only while the history is available.
    void SetHistoryAvailable(bool available);

    TSortGrid *Grid = nullptr;
    QStringList ColumnKeys;
    int SelectedRow = -1;
    int SelectedPhoneID = 0;
    bool PopupShown = false;

    QMenu *PopupMenu = nullptr;
    QAction *ppmRequestOnlyOne = nullptr;
    QAction *ppmHistory = nullptr;
    QAction *ppmErrorMsg = nullptr;
    QAction *ppmShowPages = nullptr;
    QMenu *ppmExcel = nullptr;
    QAction *ppmExcelAll = nullptr;
    QAction *ppmExcelRed = nullptr;

    // The row of a slot, -1 when it has none.
    int RowOfSlot(int slot) const;
    // The context menu for viewport point pos, as the right button does it:
    // prepares the items and the highlight; returns whether pos is on a data row.
    bool PrepareContextMenu(const QPoint &pos);

Q_SIGNALS:
    // "Запрос по этому телефону": the controller's RequestInformation(2, slot).
    void requestOnlyOne(int slot);
    // "История баланса по телефону".
    void historyRequested(int slot);
    // "Экспорт баланса в Excell": all phones, or only the marked ones.
    void excelRequested(bool redOnly);
    // Right click below the last row: the tray menu at this screen point.
    void trayMenuRequested(const QPoint &globalPos);
    void visibilityChanged(bool visible);

public Q_SLOTS:
    // Engine signal: refresh the figures (only while the window is visible).
    void phonesChanged();
    // One phone's row changed: only it is filled again.
    void phoneChanged(int slot);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TProgramState &state_;
    void ShowErrorMessage();
    void ShowLoadedPages();
    void rightButtonUp(const QPoint &pos);
    void writeWidthToIni(const QString &key);
    int columnOf(const QString &key) const { return ColumnKeys.indexOf(key); }

    QPointer<TTrayIcon> trayIcon_;
    // A column was resized since the widths were last built, loaded or saved.
    bool widthsChanged_ = false;
};

// Cell texts of one phone, by column key ("-" and the zero rules applied).
QString PhoneCellText(const TIssa &issa, const QString &key, int slot);
