#include "TrayHint.h"

#include "Failure.h"
#include "MoneyText.h"
#include "PhoneTable.h"
#include "Setup.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
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

} // namespace

QRect RectAround(const QPoint &p)
{
    return QRect(QPoint(p.x() - 8, p.y() - 8), QPoint(p.x() + 8, p.y() + 8));
}

TTrayHint::TTrayHint(QWidget *parent)
    : QWidget(parent,
        Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus
            | Qt::X11BypassWindowManagerHint)
{
    guarded("TrayHint.CreateNew", [&] {
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
    label->setAttribute(Qt::WA_TransparentForMouseEvents); // clicks and moves reach the window
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

int TTrayHint::ChooseCorner(int x, int y, int width, int height)
{
    const bool left = x - width >= 0;
    const bool above = y - height >= 0;
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
    guarded("TrayHint.ShowPhonesInfoXY", [&] {
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
            pal.setColor(QPalette::WindowText, PhonesInfo[n].IsRed ? QColor(255, 0, 0) : QColor(0, 0, 0));
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
        const int corner = ChooseCorner(x, y, width, height);
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
    guarded("TrayHint.ShowMessageXY", [&] {
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
        const int corner = ChooseCorner(x, y, width, height);
        const bool above = corner >= 2;
        lblTitle->move(lblTitle->x(), above ? 5 : 25);
        lblText->move(lblText->x(), lblTitle->y() + lblTitle->height() + 8);
        ShowTrayHint(x, y, corner);
    });
}

void TTrayHint::ShowTrayHint(int x, int y, int corner)
{
    guarded("TrayHint.ShowTrayHint", [&] {
        const int W = width(), H = height();
        int left = 0, top = 0;
        switch (corner) {
        case 3:
            body_ = roundRectRegion(0, 0, W, H - 18);
            tail_ = triangleRegion({W - 40, H - 20}, {W - 20, H}, {W - 20, H - 20});
            left = x - (W - 20);
            top = y - H;
            break;
        case 2:
            body_ = roundRectRegion(0, 0, W, H - 18);
            tail_ = triangleRegion({20, H - 20}, {20, H}, {40, H - 20});
            left = x - 20;
            top = y - H;
            break;
        case 1:
            body_ = roundRectRegion(0, 22, W, H);
            tail_ = triangleRegion({W - 20, 2}, {W - 20, 22}, {W - 40, 22});
            left = x - (W - 20);
            top = y - 2;
            break;
        default:
            body_ = roundRectRegion(0, 22, W, H);
            tail_ = triangleRegion({20, 2}, {20, 22}, {40, 22});
            left = x - 20;
            top = y - 2;
            corner = 0;
            break;
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
    runHandler("TrayHint.OnMouseClick1", [&] { HideTrayHint(); });
}

void TTrayHint::mouseMoveEvent(QMouseEvent *)
{
    runHandler("TrayHint.OnMouseMove1", [&] { HideTrayHint(); });
}

void TTrayHint::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    raise(); // back to the top of the topmost windows, without activation
}

THintControl::THintControl(TTrayHint *hint, QSystemTrayIcon *tray, QObject *parent)
    : QObject(parent)
    , hint_(hint)
    , tray_(tray)
{
    CursorPos = [] { return QCursor::pos(); };
    tmrHintShow.setInterval(1000);
    tmrHintShow.setSingleShot(true);
    tmrHideTrayHint.setInterval(1000);
    connect(&tmrHintShow, &QTimer::timeout, this, [this] {
        runHandler("TfrmMain.tmrHintShowTimer", [&] {
            tmrHintShow.stop();
            if (showRect_.contains(CursorPos()))
                ShowTrayHint();
        });
    });
    connect(&tmrHideTrayHint, &QTimer::timeout, this, [this] {
        runHandler("TfrmMain.tmrHideTrayHintTimer", [&] {
            if (hideRect_.contains(CursorPos()))
                return;
            tmrHideTrayHint.stop();
            HideTrayHint();
        });
    });
    poll_.setInterval(100);
    connect(&poll_, &QTimer::timeout, this, [this] { runHandler("TfrmMain.TrayCallBack", [&] { pollCursor(); }); });
    updatePolling();
}

void THintControl::SetTray(QSystemTrayIcon *tray)
{
    tray_ = tray;
    updateToolTip();
    updatePolling();
}

void THintControl::SetIconGeometry(std::function<QRect()> geometry)
{
    iconGeometry_ = std::move(geometry);
    updatePolling();
}

void THintControl::updatePolling()
{
    // Without a tray icon (and without a given place) there is no cursor to watch.
    if (tray_ || iconGeometry_) {
        if (!poll_.isActive())
            poll_.start();
    } else {
        poll_.stop();
        cursorOnIcon_ = false;
    }
}

void THintControl::pollCursor()
{
    QRect icon;
    if (iconGeometry_) {
        icon = iconGeometry_();
    } else {
        if (!tray_ || !tray_->isVisible())
            return;
        icon = tray_->geometry();
        // Where the tray reports no geometry the mouse rest cannot be seen: the
        // list goes into the icon's tooltip instead.
        const QString tip = icon.isEmpty() ? tipText_ : QString();
        if (tray_->toolTip() != tip)
            tray_->setToolTip(tip);
    }
    if (icon.isEmpty())
        return;
    const QPoint cursor = CursorPos();
    if (icon.contains(cursor)) {
        // A move over the icon (the tray's mouse-move call-back).
        if (!cursorOnIcon_ || cursor != lastCursor_)
            MouseMoveOverIcon(cursor);
        cursorOnIcon_ = true;
        lastCursor_ = cursor;
    } else if (cursorOnIcon_) {
        cursorOnIcon_ = false;
        // The cursor left the icon: as the icon's mouse-leave notification.
        HideTrayHint();
    }
}

void THintControl::MouseMoveOverIcon(const QPoint &cursor)
{
    showRect_ = RectAround(cursor);
    if (!tmrHintShow.isActive())
        tmrHintShow.start();
}

void THintControl::ShowTrayHint()
{
    guarded("TfrmMain.ShowTrayHint", [&] {
        if (!hint_ || hint_->isVisible() || !hint_->HintAllowed)
            return;
        // The cursor rests on the icon while the tray menu is open: showing
        // the hint then would close the menu.
        if (QApplication::activePopupWidget())
            return;
        if (phonesVisible_ && phonesVisible_())
            return;
        hideRect_ = RectAround(CursorPos());
        tmrHideTrayHint.stop();
        tmrHideTrayHint.start();
        const QPoint p = CursorPos();
        if (hint_->ShowMode == 0)
            hint_->ShowMessageXY(p.x(), p.y());
        else
            hint_->ShowPhonesInfoXY(p.x(), p.y());
    });
}

void THintControl::HideTrayHint()
{
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
    guarded("TfrmMain.FillTrayHintInfo", [&] {
        if (!hint_)
            return;
        hint_->ClearPhonesInfo();
        int n = 0;
        for (int slot = 1; slot <= MaxPhones && n < TTrayHint::MaxHintPhones; ++slot) {
            if (!MonitorPhoneEnabled(slot))
                continue;
            ++n;
            TPhoneInfo &info = hint_->PhonesInfo[n];
            info.Alias = PhoneAliasEx(slot);
            info.Balance = MoneyText(IssaArray[slot].Balance);
            info.IsRed = NeedMarkBalance(slot);
        }
        hint_->ShowMode = 1;
        updateToolTip();
    });
}

void THintControl::progressMessage(const QString &text)
{
    runHandler("TfrmMain.progressMessage", [&] {
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
