#pragma once
// What the tray icon shows: the plain program icon, a balance in digits, or
// the animation frames while a phone is being queried.
//
// The controller creates the QSystemTrayIcon and hands it over; this class
// never owns it and only changes its image. Without a tray (nullptr) the
// images are still made and kept in CurrentImage().
#include <QIcon>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <QSystemTrayIcon>
#include <functional>

struct TProgramState;

class TTrayIcon : public QObject {
    Q_OBJECT
public:
    // Shows a phone of the state's table.
    explicit TTrayIcon(const TProgramState &state, QSystemTrayIcon *tray = nullptr, QObject *parent = nullptr);
    ~TTrayIcon() override;

    void SetTray(QSystemTrayIcon *tray);
    QSystemTrayIcon *Tray() const { return tray_; }

    // Replaces the icon's image.
    void ChangeTrayIcon(const QIcon &icon, const QImage &image16);
    // The plain program icon.
    void ShowPlainIcon();
    // Chooses the balance to show (the tray row, the smallest balance or
    // none). Only figures that were read count: a phone without any shows
    // "--", a phone whose last request failed its last good balance, greyed.
    void ChangeTrayPhoneInfo();
    // One balance: the plain icon for NoValue, thousands above 999; stale:
    // the figures of an earlier query.
    void UpdateTrayIcon(float balance, bool stale = false);
    // Draws value with the common threshold; the colour is decided by
    // colourValue (the balance before it was turned into thousands).
    void ShowTrayIcon(float value, float colourValue, bool stale = false);
    // "--": the phone to show has no figures.
    void ShowNoFigures();
    // The common threshold, or NoMark when balance marking is off.
    float TrayThreshold() const;

    enum ImageKind { PlainImage, NumberImageKind, NoFiguresKind, FrameImage };
    ImageKind CurrentKind() const { return kind_; }
    QImage CurrentImage() const { return image_; }
    // The frame to show next, 1..10.
    int AniIndex() const { return aniIndex_; }
    bool AnimationRunning() const { return aniTimer_.isActive(); }
    // While paused (the loaded pages viewer is open) no frame is shown; a
    // start or stop of the engine meanwhile takes effect at Resume().
    void Pause();
    void Resume();
    bool Paused() const { return paused_; }
    // Whether the engine's run was stopped: then no frame is shown.
    void SetStoppedQuery(std::function<bool()> stopped) { stopped_ = std::move(stopped); }

public Q_SLOTS:
    // Engine signals.
    void animationStart();
    void animationStop();
    void plainTrayIcon();
    void trayPhoneInfoChanged();

private:
    void UpdateIcon();
    void animationTick();

    const TProgramState &state_;
    QPointer<QSystemTrayIcon> tray_;
    QTimer aniTimer_;
    int aniIndex_ = 1;
    bool paused_ = false;
    std::function<bool()> stopped_;
    bool wanted_ = false;
    ImageKind kind_ = PlainImage;
    QImage image_;
};

// The plain program icon "z_TrayIcon".
QIcon PlainTrayIcon();
