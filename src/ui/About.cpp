#include "About.h"

#include "Common.h"
#include "Failure.h"
#include "ResourceImage.h"

#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

QColor TAboutBox::LinkColor()
{
    return QColor(Qt::blue);
}

QColor TAboutBox::HotLinkColor()
{
    return QColor(Qt::red);
}

TAboutBox::TAboutBox(const QString &homePage, std::function<void()> goToSite, QWidget *parent)
    : QDialog(parent), goToSite_(std::move(goToSite))
{
    guarded(THIS_ROUTINE, [&] {
        setObjectName(QStringLiteral("AboutBox"));
        setWindowTitle(QStringLiteral("About"));
        const QIcon icon = ResourceIcon(QStringLiteral(":/MAINICON.xpm"));
        setWindowIcon(icon);
        auto *top = new QVBoxLayout(this);
        auto *panel = new QFrame;
        panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
        panel->setLineWidth(2);
        auto *grid = new QGridLayout(panel);
        grid->setHorizontalSpacing(12);
        ProgramIcon = new QLabel;
        ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
        ProgramIcon->setPixmap(icon.pixmap(32, 32).scaled(33, 33));
        ProgramIcon->setFixedSize(33, 33);
        grid->addWidget(ProgramIcon, 0, 0, 2, 1, Qt::AlignTop);
        lblAuthors = new QLabel(QStringLiteral("Авторы: команда Saldomat"));
        lblAuthors->setObjectName(QStringLiteral("lblAuthors"));
        grid->addWidget(lblAuthors, 0, 1, 1, 2);
        grid->addWidget(new QLabel(QStringLiteral("Программа")), 1, 1);
        ProductName = new QLabel(QString::fromLatin1(ProgramName));
        ProductName->setObjectName(QStringLiteral("ProductName"));
        QFont bold = ProductName->font();
        bold.setBold(true);
        ProductName->setFont(bold);
        grid->addWidget(ProductName, 1, 2);
        grid->addWidget(new QLabel(QStringLiteral("Версия")), 2, 1);
        lblVersion = new QLabel(QString::fromLatin1(ProgramVersion));
        lblVersion->setObjectName(QStringLiteral("lblVersion"));
        grid->addWidget(lblVersion, 2, 2);
        grid->addWidget(new QLabel(QStringLiteral("Помощь, обновления, связь с авторами:")), 3, 1, 1, 2);
        lblHomePage = new QLabel(homePage);
        lblHomePage->setObjectName(QStringLiteral("lblHomePage"));
        lblHomePage->setCursor(Qt::PointingHandCursor);
        lblHomePage->setMouseTracking(true);
        lblHomePage->installEventFilter(this);
        grid->addWidget(lblHomePage, 4, 1, 1, 2);
        grid->setColumnStretch(2, 1);
        setLinkColor(LinkColor());
        top->addWidget(panel);
        auto *buttons = new QHBoxLayout;
        buttons->addStretch(1);
        OKButton = new QPushButton(QStringLiteral("OK"));
        OKButton->setObjectName(QStringLiteral("OKButton"));
        OKButton->setDefault(true);
        buttons->addWidget(OKButton);
        buttons->addStretch(1);
        top->addLayout(buttons);
        connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
        layout()->setSizeConstraint(QLayout::SetFixedSize);
        if (QScreen *screen = QGuiApplication::primaryScreen()) {
            adjustSize();
            move(screen->availableGeometry().center() - rect().center());
        }
    });
}

void TAboutBox::setLinkColor(const QColor &color)
{
    QPalette p = lblHomePage->palette();
    p.setColor(QPalette::WindowText, color);
    lblHomePage->setPalette(p);
}

bool TAboutBox::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == lblHomePage) {
        switch (event->type()) {
        case QEvent::Enter:
        case QEvent::MouseMove:
            runHandler(THIS_ROUTINE, [&] { setLinkColor(HotLinkColor()); });
            break;
        case QEvent::Leave:
            runHandler(THIS_ROUTINE, [&] { setLinkColor(LinkColor()); });
            break;
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton && goToSite_)
                runHandler(THIS_ROUTINE, [&] { goToSite_(); });
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void ShowAboutBox(const QString &homePage, std::function<void()> goToSite, QWidget *parent)
{
    TAboutBox box(homePage, std::move(goToSite), parent);
    box.exec();
}
