#include "TrayHint.h"

#include "Failure.h"
#include "MoneyText.h"
#include "PhoneTable.h"
#include "ProgramState.h"
#include "SortGridUnit.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QSystemTrayIcon>

namespace {

// The region of a rounded rectangle from (x1, y1) to (x2, y2), exclusive, with
// corner ellipses of 7 by 7 pixels.
QRegion roundRectRegion(int x1, int y1, int x2, int y2)
{
    const int w = x2 - x1, h = y2 - y1;
    if (w <= 0 || h <= 0)
        return {};
    constexpr int e = 7, r = 3;
    QRegion region(x1 + r, y1, std::max(w - 2 * r, 0), h);
    region += QRegion(x1, y1 + r, w, std::max(h - 2 * r, 0));
    region += QRegion(x1, y1, e, e, QRegion::Ellipse);
    region += QRegion(x2 - e, y1, e, e, QRegion::Ellipse);
    region += QRegion(x1, y2 - e, e, e, QRegion::Ellipse);
    region += QRegion(x2 - e, y2 - e, e, e, QRegion::Ellipse);
    return region;
}

QRegion triangleRegion(QPoint a, QPoint b, QPoint c)
{
    return QRegion(QPolygon({a, b, c}), Qt::WindingFill);
}

QRect screenAround(const QPoint &p)
{
    QScreen *screen = QGuiApplication::screenAt(p);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

// The greys of figures from an earlier query, as in the phones window.
const QColor StaleText(128, 128, 128);
const QColor StaleMarkedText(250, 110, 110);

}  // namespace

QRect RectAround(const QPoint &p)
{
    return QRect(QPoint(p.x() - 8, p.y() - 8), QPoint(p.x() + 8, p.y() + 8));
}

TTrayHint::TTrayHint(QWidget *parent)
    : QWidget(parent,
              Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus
                  | Qt::X11BypassWindowManagerHint)
{
    ScreenRect = screenAround;
    guarded(THIS_ROUTINE, [&] {
        setAttribute(Qt::WA_ShowWithoutActivating);
        setFocusPolicy(Qt::NoFocus);
        setMouseTracking(true);
        setAutoFillBackground(false);
        QFont f(QStringLiteral("Tahoma"));
        f.setPointSizeF(QGuiApplication::font().pointSizeF() > 0 ? QGuiApplication::font().pointSizeF() : 9);
        setFont(f);
        QPalette pal = palette();
        pal.setColor(QPalette::Window, pal.color(QPalette::ToolTipBase));
        pal.setColor(QPalette::WindowText, Qt::black);
        setPalette(pal);
    });
}

// The labels are made at the first showing: a hint that is never shown loads
// no fonts.
void TTrayHint::EnsureLabels()
{
    if (lblTitle)
        return;
    lblTitle = makeLabel(QStringLiteral("lblTitle"));
    QFont bold = font();
    bold.setBold(true);
    lblTitle->setFont(bold);
    QPalette maroon = lblTitle->palette();
    maroon.setColor(QPalette::WindowText, QColor(128, 0, 0));
    lblTitle->setPalette(maroon);
    lblTitle->move(8, 5);
    lblTitle->show();
    for (int n = 1; n <= MaxHintPhones; ++n) {
        lblAlias[n] = makeLabel(QStringLiteral("lblAlias_%1").arg(n));
        lblBreak[n] = makeLabel(QStringLiteral("lblBreak_%1").arg(n));
        lblBreak[n]->setText(QStringLiteral(":"));
        lblBreak[n]->adjustSize();
        lblBalance[n] = makeLabel(QStringLiteral("lblBalance_%1").arg(n));
        lblBalance[n]->setFont(bold);
        lblBalance[n]->setAlignment(Qt::AlignRight | Qt::AlignTop);
        lblAlias[n]->move(10, 0);
        lblBalance[n]->move(10, 0);
    }
    lblText = makeLabel(QStringLiteral("lblText"));
    lblText->move(10, 0);
}

QLabel *TTrayHint::makeLabel(const QString &name)
{
    auto *label = new QLabel(this);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);  // clicks and moves reach the window
    label->setMargin(0);
    label->hide();
    return label;
}

void TTrayHint::ClearPhonesInfo()
{
    for (TPhoneInfo &info : PhonesInfo)
        info = TPhoneInfo{};
}

bool TTrayHint::EmptyBalances() const
{
    for (int n = 1; n <= MaxHintPhones; ++n)
        if (!PhonesInfo[n].Balance.isEmpty())
            return false;
    return true;
}

void TTrayHint::PhoneLabaelsVisible(bool visible)
{
    EnsureLabels();
    for (int n = 1; n <= MaxHintPhones; ++n) {
        lblAlias[n]->setVisible(visible);
        lblBreak[n]->setVisible(visible);
        lblBalance[n]->setVisible(visible);
    }
}

int TTrayHint::ChooseCorner(int x, int y, int width, int height, const QRect &screen)
{
    const bool left = x - width >= screen.left();
    const bool above = y - height >= screen.top();
    if (left && above)
        return 3;
    if (above)
        return 2;
    if (left)
        return 1;
    return 0;
}

void TTrayHint::ShowPhonesInfoXY(int x, int y)
{
    guarded(THIS_ROUTINE, [&] {
        if (EmptyBalances())
            return;
        EnsureLabels();
        lblText->hide();
        lblTitle->setText(Title);
        lblTitle->adjustSize();
        PhoneLabaelsVisible(false);
        int a = 0, b = 0;
        int visibleRows = 0;
        for (int n = 1; n <= MaxHintPhones && !PhonesInfo[n].Balance.isEmpty(); ++n) {
            lblAlias[n]->setText(PhonesInfo[n].Alias.trimmed());
            lblAlias[n]->adjustSize();
            lblAlias[n]->show();
            a = std::max(a, lblAlias[n]->width());
            lblBreak[n]->show();
            lblBalance[n]->show();
            lblBalance[n]->setText(PhonesInfo[n].Balance.trimmed());
            QPalette pal = lblBalance[n]->palette();
            const TPhoneInfo &info = PhonesInfo[n];
            pal.setColor(QPalette::WindowText,
                         info.Stale ? (info.IsRed ? StaleMarkedText : StaleText)
                                    : (info.IsRed ? QColor(255, 0, 0) : QColor(0, 0, 0)));
            lblBalance[n]->setPalette(pal);
            lblBalance[n]->adjustSize();
            b = std::max(b, lblBalance[n]->width());
            ++visibleRows;
        }
        // The final size, the same whichever corner: below the tail the title
        // moves down by 20 pixels and the margin under the rows shrinks by as much.
        const int rowHeight = lblAlias[1]->height();
        const int width = std::max(lblTitle->width() + 20, a + b + 40);
        const int height = 50 + visibleRows * rowHeight;
        resize(width, height);
        const int corner = ChooseCorner(x, y, width, height, ScreenRect(QPoint(x, y)));
        lblTitle->move(lblTitle->x(), corner >= 2 ? 5 : 25);
        for (int n = 1; n <= MaxHintPhones; ++n) {
            const int top = lblTitle->y() + lblTitle->height() + 5 + (n - 1) * rowHeight;
            lblAlias[n]->move(lblAlias[n]->x(), top);
            lblBreak[n]->move(a + 13, top);
            lblBalance[n]->move(a + 25, top);
            lblBalance[n]->resize(b, lblBalance[n]->height());
        }
        ShowTrayHint(x, y, corner);
    });
}

void TTrayHint::ShowMessageXY(int x, int y)
{
    guarded(THIS_ROUTINE, [&] {
        EnsureLabels();
        lblText->show();
        PhoneLabaelsVisible(false);
        lblTitle->setText(Title);
        lblTitle->adjustSize();
        QString text = Message;
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        lblText->setText(text);
        lblText->adjustSize();
        const int width = std::max(lblTitle->x() + lblTitle->width(), lblText->x() + lblText->width()) + 8;
        const int height = 2 * lblText->height() + 25;
        resize(width, height);
        const int corner = ChooseCorner(x, y, width, height, ScreenRect(QPoint(x, y)));
        const bool above = corner >= 2;
        lblTitle->move(lblTitle->x(), above ? 5 : 25);
        lblText->move(lblText->x(), lblTitle->y() + lblTitle->height() + 8);
        ShowTrayHint(x, y, corner);
    });
}

void TTrayHint::ShowTrayHint(int x, int y, int corner)
{
    guarded(THIS_ROUTINE, [&] {
        const int W = width(), H = height();
        if (corner < 0 || corner > 3)
            corner = 0;
        const bool above = corner >= 2;
        const bool leftOfTip = corner == 3 || corner == 1;
        int left = leftOfTip ? x - (W - 20) : x - 20;
        int top = above ? y - H : y - 2;
        // The whole window stays in the free area of the screen: it slides
        // along the edge it would cross, and its tail moves to follow the point.
        const QRect screen = ScreenRect(QPoint(x, y));
        if (screen.isValid()) {
            left = std::clamp(left, screen.left(), std::max(screen.left(), screen.right() + 1 - W));
            top = std::clamp(top, screen.top(), std::max(screen.top(), screen.bottom() + 1 - H));
        }
        // The tail's tip in window coordinates, kept over the body; its base
        // lies on the side with room for it.
        const int tx = std::clamp(x - left, 6, std::max(6, W - 6));
        const bool baseLeft = tx - 20 >= 4 && (leftOfTip || tx + 20 > W - 4);
        const int bx = baseLeft ? tx - 20 : tx + 20;
        if (above) {
            const int ty = std::clamp(y - top, H - 18, H);
            body_ = roundRectRegion(0, 0, W, H - 18);
            tail_ = triangleRegion({bx, H - 20}, {tx, ty}, {tx, H - 20});
            tip_ = QPoint(tx, ty);
        } else {
            const int ty = std::clamp(y - top, 0, 22);
            body_ = roundRectRegion(0, 22, W, H);
            tail_ = triangleRegion({tx, ty}, {tx, 22}, {bx, 22});
            tip_ = QPoint(tx, ty);
        }
        corner_ = corner;
        setMask(body_ + tail_);
        move(left, top);
        update();
        ShowHintWindow();
    });
}

void TTrayHint::ShowHintWindow()
{
    if (HidingNow)
        return;
    ShowingNow = true;
    show();
    raise();
    ShowingNow = false;
}

void TTrayHint::HideTrayHint()
{
    if (ShowingNow)
        return;
    HidingNow = true;
    hide();
    tail_ = QRegion();
    HidingNow = false;
}

void TTrayHint::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QRegion shape = body_ + tail_;
    p.fillRect(rect(), palette().color(QPalette::Window));
    // One pixel of black along the inside of the shape.
    QRegion inner
        = shape & shape.translated(1, 0) & shape.translated(-1, 0) & shape.translated(0, 1) & shape.translated(0, -1);
    p.setClipRegion(shape - inner);
    p.fillRect(rect(), Qt::black);
}

void TTrayHint::mousePressEvent(QMouseEvent *)
{
    runHandler(THIS_ROUTINE, [&] { HideTrayHint(); });
}

void TTrayHint::mouseMoveEvent(QMouseEvent *)
{
    runHandler(THIS_ROUTINE, [&] { HideTrayHint(); });
}

void TTrayHint::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    raise();  // back to the top of the topmost windows, without activation
}

THintControl::THintControl(const TProgramState &state, TTrayHint *hint, QSystemTrayIcon *tray, QObject *parent)
    : QObject(parent), state_(state), hint_(hint)
{
    CursorPos = [] { return QCursor::pos(); };
    tmrHintShow.setInterval(1000);
    tmrHintShow.setSingleShot(true);
    tmrHideTrayHint.setInterval(1000);
    connect(&tmrHintShow, &QTimer::timeout, this, [this] {
        runHandler(ROUTINE("tmrHintShowTimer"), [&] {
            tmrHintShow.stop();
            if (showRect_.contains(CursorPos()))
                ShowTrayHint();
        });
    });
    connect(&tmrHideTrayHint, &QTimer::timeout, this, [this] {
        runHandler(ROUTINE("tmrHideTrayHintTimer"), [&] {
            // A menu opened over the hint (the tray menu or any other) hides it.
            if (hideRect_.contains(CursorPos()) && hint_ && hint_->isVisible() && !QApplication::activePopupWidget())
                return;
            tmrHideTrayHint.stop();
            HideTrayHint();
        });
    });
    SetTray(tray);
}

void THintControl::SetTray(QSystemTrayIcon *tray)
{
    if (tray_)
        tray_->removeEventFilter(this);
    if (qApp)
        qApp->removeEventFilter(this);
    tray_ = tray;
    // Nothing is polled: the icon's own window reports the mouse entering,
    // moving and leaving, and the tray icon object gets the tooltip moment
    // (the mouse has rested on the icon).
    if (tray_) {
        tray_->installEventFilter(this);
        if (qApp)
            qApp->installEventFilter(this);
    }
    updateToolTip();
}

bool THintControl::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (!tray_)
        return QObject::eventFilter(watched, event);
    if (watched == tray_ && type == QEvent::ToolTip) {
        const QPoint at = static_cast<QHelpEvent *>(event)->globalPos();
        runHandler(THIS_ROUTINE, [&] {
            // Where the hint can be placed the tooltip text is not shown as well.
            if (!tray_->geometry().isEmpty() && !tray_->toolTip().isEmpty())
                tray_->setToolTip(QString());
            RestOnIcon(at);
        });
    } else if ((type == QEvent::Enter || type == QEvent::MouseMove || type == QEvent::Leave) && watched->isWidgetType()
               && watched->objectName() == QLatin1String("QSystemTrayIconSys")) {
        // The window that embeds the icon in an X11 tray.
        runHandler(THIS_ROUTINE, [&] {
            if (type == QEvent::Leave) {
                tmrHintShow.stop();
                HideTrayHint();
            } else {
                MouseMoveOverIcon(CursorPos());
            }
        });
    }
    return QObject::eventFilter(watched, event);
}

void THintControl::MouseMoveOverIcon(const QPoint &cursor)
{
    showRect_ = RectAround(cursor);
    if (!tmrHintShow.isActive())
        tmrHintShow.start();
}

void THintControl::RestOnIcon(const QPoint &cursor)
{
    showRect_ = RectAround(cursor);
    tmrHintShow.stop();
    ShowTrayHint();
}

void THintControl::ShowTrayHint()
{
    // TTrayHint::ShowTrayHint has this file's label "TrayHint.ShowTrayHint".
    guarded(ROUTINE("ShowTrayHintOfMain"), [&] {
        if (!hint_ || hint_->isVisible() || !hint_->HintAllowed)
            return;
        if (phonesVisible_ && phonesVisible_())
            return;
        // Never over an open menu: the tray menu, a context menu, a combo list.
        if (QApplication::activePopupWidget())
            return;
        hideRect_ = RectAround(CursorPos());
        tmrHideTrayHint.stop();
        const QPoint p = CursorPos();
        if (hint_->ShowMode == 0)
            hint_->ShowMessageXY(p.x(), p.y());
        else
            hint_->ShowPhonesInfoXY(p.x(), p.y());
        // The hide timer runs only while there is a hint to hide.
        if (hint_->isVisible())
            tmrHideTrayHint.start();
    });
}

void THintControl::HideTrayHint()
{
    tmrHideTrayHint.stop();
    if (hint_)
        hint_->HideTrayHint();
}

void THintControl::SetHintAllowed(bool allowed)
{
    if (hint_)
        hint_->HintAllowed = allowed;
    if (!allowed)
        HideTrayHint();
}

void THintControl::FillTrayHintInfo()
{
    guarded(THIS_ROUTINE, [&] {
        if (!hint_)
            return;
        hint_->ClearPhonesInfo();
        int n = 0;
        for (int slot = 1; slot <= MaxPhones && n < TTrayHint::MaxHintPhones; ++slot) {
            if (!MonitorPhoneEnabled(state_, slot))
                continue;
            ++n;
            TPhoneInfo &info = hint_->PhonesInfo[n];
            const TIssa &issa = state_.IssaArray[slot];
            info.Alias = PhoneAliasEx(issa);
            switch (PhoneFigures(issa)) {
            case TFigures::None:
                // Nothing read yet: no number, and no mark for the lack of one.
                info.Balance = NoDataText();
                info.Stale = true;
                break;
            case TFigures::Stale:
                // The last good figures, with the time they were read.
                info.Balance
                    = QStringLiteral("(%1) %2").arg(FormatShortDateTime(issa.QueryDateTime), MoneyText(issa.Balance));
                info.Stale = true;
                info.IsRed = NeedMarkBalance(state_, slot);
                break;
            case TFigures::Current:
                info.Balance = MoneyText(issa.Balance);
                info.IsRed = NeedMarkBalance(state_, slot);
                break;
            }
        }
        hint_->ShowMode = 1;
        updateToolTip();
    });
}

void THintControl::progressMessage(const QString &text)
{
    runHandler(THIS_ROUTINE, [&] {
        if (!hint_)
            return;
        hint_->Message = text;
        hint_->ShowMode = 0;
        updateToolTip();
    });
}

void THintControl::menuAboutToShow()
{
    HideTrayHint();
    tmrHintShow.stop();
}

void THintControl::updateToolTip()
{
    if (!hint_)
        return;
    QString tip = hint_->Title;
    if (hint_->ShowMode == 0) {
        if (!hint_->Message.trimmed().isEmpty())
            tip += QLatin1Char('\n') + hint_->Message.trimmed();
    } else {
        for (int n = 1; n <= TTrayHint::MaxHintPhones && !hint_->PhonesInfo[n].Balance.isEmpty(); ++n)
            tip += QLatin1Char('\n') + hint_->PhonesInfo[n].Alias.trimmed() + QStringLiteral(": ")
                + hint_->PhonesInfo[n].Balance.trimmed();
    }
    tipText_ = tip;
    if (tray_ && tray_->isVisible() && tray_->geometry().isEmpty())
        tray_->setToolTip(tip);
}
