#include "TrayIcon.h"

#include "Common.h"
#include "CreateIcon.h"
#include "Failure.h"
#include "MoneyText.h"
#include "PhoneTable.h"
#include "ProgramState.h"
#include "ResourceImage.h"

#include <QSystemTrayIcon>
#include <array>

namespace {

// The plain picture, decoded once.
const QImage &plainImage()
{
    static const QImage image = ResourceImage(QStringLiteral(":/z_TrayIcon.xpm"));
    return image;
}

// The icons of the ten animation frames, made at their first showing.
const QIcon &frameIcon(int i)
{
    static std::array<QIcon, 11> icons;
    QIcon &icon = icons.at(static_cast<size_t>(i));
    if (icon.isNull())
        icon = TrayIconFromImage(AniIconImage(i));
    return icon;
}

}  // namespace

QIcon PlainTrayIcon()
{
    static const QIcon icon = ResourceIcon(QStringLiteral(":/z_TrayIcon.xpm"));
    return icon;
}

TTrayIcon::TTrayIcon(const TProgramState &state, QSystemTrayIcon *tray, QObject *parent)
    : QObject(parent), state_(state), tray_(tray)
{
    aniTimer_.setInterval(100);
    connect(&aniTimer_, &QTimer::timeout, this, [this] { runHandler(ROUTINE("Execute"), [&] { animationTick(); }); });
    image_ = plainImage();
}

TTrayIcon::~TTrayIcon() = default;

void TTrayIcon::SetTray(QSystemTrayIcon *tray)
{
    tray_ = tray;
}

void TTrayIcon::ChangeTrayIcon(const QIcon &icon, const QImage &image16)
{
    guarded(THIS_ROUTINE, [&] {
        image_ = image16;
        if (tray_)
            tray_->setIcon(icon);
    });
}

void TTrayIcon::ShowPlainIcon()
{
    kind_ = PlainImage;
    ChangeTrayIcon(PlainTrayIcon(), plainImage());
}

float TTrayIcon::TrayThreshold() const
{
    const TSetupModel &model = state_.Setup;
    return model.General.cbMarkIfBalance ? model.CommonBalanceLessThen() : NoMark;
}

void TTrayIcon::ChangeTrayPhoneInfo()
{
    guarded(THIS_ROUTINE, [&] {
        // The phone to show is chosen first, so that the icon changes once.
        int smallest = 0;
        int chosen = 0;
        for (int slot = 1; slot <= MaxPhones; ++slot) {
            if (!MonitorPhoneEnabled(state_, slot))
                continue;
            // A phone never read has no balance to be the smallest.
            if (PhoneFigures(state_.IssaArray[slot]) != TFigures::None
                && (smallest == 0 || state_.IssaArray[slot].Balance < state_.IssaArray[smallest].Balance))
                smallest = slot;
            if (ShowTrayChecked(state_, slot)) {
                chosen = slot;
                break;
            }
        }
        const bool minimal = state_.Setup.TrayShowMinimal();
        if (minimal)
            chosen = smallest;
        if (chosen == 0 && !minimal) {
            ShowPlainIcon();
            return;
        }
        const TFigures figures = chosen ? PhoneFigures(state_.IssaArray[chosen]) : TFigures::None;
        if (figures == TFigures::None)
            ShowNoFigures();
        else
            UpdateTrayIcon(state_.IssaArray[chosen].Balance, figures == TFigures::Stale);
    });
}

void TTrayIcon::UpdateTrayIcon(float balance, bool stale)
{
    guarded(THIS_ROUTINE, [&] {
        if (balance == static_cast<float>(NoValue)) {
            ShowPlainIcon();
            return;
        }
        float value = balance;
        if (value > 999)
            value = value / 1000;
        ShowTrayIcon(value, balance, stale);
    });
}

void TTrayIcon::ShowTrayIcon(float value, float colourValue, bool stale)
{
    guarded(THIS_ROUTINE, [&] {
        const QImage image = NumberImage(value, colourValue, TrayThreshold(), stale);
        kind_ = NumberImageKind;
        ChangeTrayIcon(TrayIconFromImage(image), image);
    });
}

void TTrayIcon::ShowNoFigures()
{
    guarded(THIS_ROUTINE, [&] {
        const QImage image = NoFiguresImage();
        kind_ = NoFiguresKind;
        ChangeTrayIcon(TrayIconFromImage(image), image);
    });
}

void TTrayIcon::UpdateIcon()
{
    if (stopped_ && stopped_())
        return;
    const QImage &frame = AniIconImage(aniIndex_);
    kind_ = FrameImage;
    ChangeTrayIcon(frameIcon(aniIndex_), frame);
}

void TTrayIcon::animationTick()
{
    if (aniIndex_ > 10)
        aniIndex_ = 1;
    UpdateIcon();
    ++aniIndex_;
}

void TTrayIcon::animationStart()
{
    runHandler(THIS_ROUTINE, [&] {
        wanted_ = true;
        if (paused_ || aniTimer_.isActive())
            return;
        aniTimer_.start();
        animationTick();  // the first frame at once, then one every 100 ms
    });
}

void TTrayIcon::animationStop()
{
    wanted_ = false;
    aniTimer_.stop();
}

void TTrayIcon::Pause()
{
    paused_ = true;
    aniTimer_.stop();
}

void TTrayIcon::Resume()
{
    paused_ = false;
    if (wanted_)
        animationStart();
}

void TTrayIcon::plainTrayIcon()
{
    runHandler(THIS_ROUTINE, [&] { ShowPlainIcon(); });
}

void TTrayIcon::trayPhoneInfoChanged()
{
    runHandler(THIS_ROUTINE, [&] { ChangeTrayPhoneInfo(); });
}
