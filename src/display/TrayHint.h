#pragma once
// TTrayHint: the balloon that pops up over the tray icon with the balances of
// up to ten phones, or with the progress text while a request runs.
// THintControl: the mouse rest over the icon, the show and hide timers, the
// list filling and the progress text.
#include <QLabel>
#include <QPointer>
#include <QRect>
#include <QRegion>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>

#include <QSystemTrayIcon>

#include "Common.h"

struct TPhoneInfo {
    QString Alias;
    QString Balance;  // already formatted; empty ends the list
    bool IsRed = false;
    bool Stale = false;  // the figures of an earlier query: shown greyed
};

class TTrayHint : public QWidget {
    Q_OBJECT
public:
    explicit TTrayHint(QWidget *parent = nullptr);

    static constexpr int MaxHintPhones = 10;

    void ClearPhonesInfo();
    bool EmptyBalances() const;
    void PhoneLabaelsVisible(bool visible);
    void ShowPhonesInfoXY(int x, int y);
    void ShowMessageXY(int x, int y);
    // Shapes the window for the corner (0..3), places it with the tail tip at (x, y), shows it.
    void ShowTrayHint(int x, int y, int corner);
    void ShowHintWindow();
    void HideTrayHint();

    // The corner for a window of the given size pointing at (x, y) on a
    // screen whose free area is `screen`: 3 above left, 2 above right, 1 below
    // left, 0 below right.
    static int ChooseCorner(int x, int y, int width, int height, const QRect &screen);
    // The free area of the screen around a point (without panels); tests
    // replace it.
    std::function<QRect(const QPoint &)> ScreenRect;

    bool HintAllowed = true;
    int ShowMode = 0;  // 0 progress text, 1 phone list
    std::array<TPhoneInfo, MaxHintPhones + 1> PhonesInfo;  // entries 1..10
    QString Message;
    QString Title = QLatin1String(ProgramName) + QLatin1Char(' ') + QLatin1String(ProgramVersion);

    // Made at the first showing (EnsureLabels); null before.
    void EnsureLabels();
    QLabel *lblTitle = nullptr;
    QLabel *lblText = nullptr;
    std::array<QLabel *, MaxHintPhones + 1> lblAlias{};
    std::array<QLabel *, MaxHintPhones + 1> lblBreak{};
    std::array<QLabel *, MaxHintPhones + 1> lblBalance{};

    int Corner() const { return corner_; }
    QRegion BodyRegion() const { return body_; }
    QRegion TailRegion() const { return tail_; }
    // The tip of the tail in window coordinates.
    QPoint TailTip() const { return tip_; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    QLabel *makeLabel(const QString &name);
    bool ShowingNow = false;
    bool HidingNow = false;
    QRegion body_;
    QRegion tail_;
    QPoint tip_;
    int corner_ = 3;
};

struct TProgramState;

class THintControl : public QObject {
    Q_OBJECT
public:
    // The tray icon is the controller's; it may be nullptr (no tray).
    // The hint shows the state's phone table.
    THintControl(const TProgramState &state, TTrayHint *hint, QSystemTrayIcon *tray, QObject *parent = nullptr);

    void SetTray(QSystemTrayIcon *tray);
    // Tells whether the phones window is visible (no hint then).
    void SetPhonesWindowVisible(std::function<bool()> visible) { phonesVisible_ = std::move(visible); }

    // The main form's routines.
    void FillTrayHintInfo();
    // A move over the icon: the hint shows after a rest of one second.
    void MouseMoveOverIcon(const QPoint &cursor);
    // The tray reports that the mouse has rested on the icon (its tooltip
    // moment): the hint shows at once.
    void RestOnIcon(const QPoint &cursor);
    void ShowTrayHint();
    void HideTrayHint();
    void SetHintAllowed(bool allowed);

    QTimer tmrHintShow;
    QTimer tmrHideTrayHint;
    QRect ShowRect() const { return showRect_; }
    // The hint's content as text: the icon's tooltip where the tray gives no geometry.
    QString ToolTipText() const { return tipText_; }
    QRect HideRect() const { return hideRect_; }
    // The cursor position; tests replace it.
    std::function<QPoint()> CursorPos;
    // No timer runs unless the mouse is on the icon or the hint is shown: the
    // icon is never polled, the tray tells when the mouse rests on it.
    bool Idle() const { return !tmrHintShow.isActive() && !tmrHideTrayHint.isActive(); }

public Q_SLOTS:
    // Engine signal: the progress text of a run.
    void progressMessage(const QString &text);
    // The tray menu is about to open.
    void menuAboutToShow();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void updateToolTip();

    const TProgramState &state_;
    QPointer<TTrayHint> hint_;
    QPointer<QSystemTrayIcon> tray_;
    std::function<bool()> phonesVisible_;
    QRect showRect_;
    QRect hideRect_;
    QString tipText_;
};

// ±8 pixels around a point.
QRect RectAround(const QPoint &p);
