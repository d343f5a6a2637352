#include "LoadedPages.h"

#include "AtomicFile.h"
#include "Common.h"
#include "Encoding.h"
#include "Failure.h"
#include "IniFile.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QRegularExpression>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {
const QString Section = QStringLiteral("LoadedPages Form");
}

TPageView::TPageView(QWidget *parent) : QTextBrowser(parent)
{
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setUndoRedoEnabled(false);
}

QVariant TPageView::loadResource(int, const QUrl &name)
{
    refused_ << name;
    return QVariant();
}

void TPageView::doSetSource(const QUrl &, QTextDocument::ResourceType)
{
    // Never navigates.
}

QString PageForDisplay(const QString &page)
{
    // The rich text engine runs no script, but it would print a script's text.
    static const QRegularExpression script(QStringLiteral("<script\\b[^>]*>.*?</script\\s*>"),
                                           QRegularExpression::CaseInsensitiveOption
                                               | QRegularExpression::DotMatchesEverythingOption);
    QString text = page;
    text.remove(script);
    return text;
}

TfrmLoadedPages::TfrmLoadedPages(TIniFile &iniFile, QWidget *parent) : QDialog(parent), iniFile_(iniFile)
{
    guarded(THIS_ROUTINE, [&] {
        setWindowTitle(QStringLiteral("Загруженная информация по телефону"));
        resize(502, 318);
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        plHeader = new QLabel(this);
        plHeader->setObjectName(QStringLiteral("plHeader"));
        plHeader->setFixedHeight(24);
        plHeader->setAlignment(Qt::AlignCenter);
        plHeader->setFrameShape(QFrame::Panel);
        plHeader->setFrameShadow(QFrame::Raised);
        layout->addWidget(plHeader);
        WB = new TPageView(this);
        WB->setObjectName(QStringLiteral("WB"));
        layout->addWidget(WB, 1);
        plNavigation = new QWidget(this);
        plNavigation->setObjectName(QStringLiteral("plNavigation"));
        plNavigation->setFixedHeight(41);
        layout->addWidget(plNavigation);
        bnPred = new QPushButton(QStringLiteral("<<<"), plNavigation);
        bnPred->setObjectName(QStringLiteral("bnPred"));
        bnPred->setGeometry(8, 8, 75, 25);
        bnNext = new QPushButton(QStringLiteral(">>>"), plNavigation);
        bnNext->setObjectName(QStringLiteral("bnNext"));
        bnNext->setGeometry(88, 8, 75, 25);
        Label1 = new QLabel(QStringLiteral("Показана страница:"), plNavigation);
        Label1->setObjectName(QStringLiteral("Label1"));
        Label1->adjustSize();
        Label1->move(176, 20 - Label1->height() / 2);
        lblViewPage = new QLabel(plNavigation);
        lblViewPage->setObjectName(QStringLiteral("lblViewPage"));
        lblViewPage->move(176 + Label1->width() + 6, Label1->y());
        bnSave = new QPushButton(QStringLiteral("Сохранить на диск"), plNavigation);
        bnSave->setObjectName(QStringLiteral("bnSave"));
        bnSave->adjustSize();
        bnSave->resize(std::max(bnSave->width(), 120), 25);
        bnSave->move(0, 8);
        for (QPushButton *b : {bnPred, bnNext, bnSave})
            b->setAutoDefault(false);

        Timer1.setInterval(10);
        Timer1.setSingleShot(true);
        connect(&Timer1, &QTimer::timeout, this, [this] {
            runHandler(ROUTINE("Timer1Timer"), [&] {
                Timer1.stop();
                CurrentPage = static_cast<int>(Pages.size());
                ShowPage(CurrentPage);
            });
        });
        connect(bnPred, &QPushButton::clicked, this, [this] {
            runHandler(ROUTINE("bnPredClick"), [&] {
                if (CurrentPage > 1)
                    --CurrentPage;
                ShowPage(CurrentPage);
            });
        });
        connect(bnNext, &QPushButton::clicked, this, [this] {
            runHandler(ROUTINE("bnNextClick"), [&] {
                if (CurrentPage < Pages.size())
                    ++CurrentPage;
                ShowPage(CurrentPage);
            });
        });
        connect(bnSave, &QPushButton::clicked, this,
                [this] { runHandler(ROUTINE("bnSaveClick"), [&] { bnSaveClick(); }); });
        UpdateControls();
        LoadIniPosition();
    });
}

TfrmLoadedPages::~TfrmLoadedPages()
{
    runHandler(THIS_ROUTINE, [&] { SaveIniPosition(); });
}

void TfrmLoadedPages::SetHeader(const QString &caption)
{
    plHeader->setText(caption);
}

void TfrmLoadedPages::ShowPage(int n)
{
    guarded(THIS_ROUTINE, [&] {
        if (n < 1 || n > Pages.size())
            return;
        UpdateControls();
        WB->setHtml(PageForDisplay(Pages.at(n - 1)));
    });
}

void TfrmLoadedPages::UpdateControls()
{
    lblViewPage->setText(QString::asprintf("%d (%d)", CurrentPage, static_cast<int>(Pages.size())));
    lblViewPage->adjustSize();
    bnPred->setEnabled(CurrentPage >= 2);
    bnNext->setEnabled(CurrentPage < Pages.size());
}

void TfrmLoadedPages::LoadIniPosition()
{
    guarded(THIS_ROUTINE, [&] {
        const int t = iniFile_.ReadInteger(Section, QStringLiteral("Top"), NoValue);
        const int l = iniFile_.ReadInteger(Section, QStringLiteral("Left"), NoValue);
        const int w = iniFile_.ReadInteger(Section, QStringLiteral("Width"), NoValue);
        const int h = iniFile_.ReadInteger(Section, QStringLiteral("Height"), NoValue);
        if (l != NoValue || t != NoValue)
            move(l != NoValue ? l : x(), t != NoValue ? t : y());
        if (w != NoValue || h != NoValue)
            resize(w != NoValue ? w : width(), h != NoValue ? h : height());
        placeSaveButton();
    });
}

void TfrmLoadedPages::SaveIniPosition()
{
    guarded(THIS_ROUTINE, [&] {
        TIniUpdate batch(iniFile_);
        iniFile_.WriteInteger(Section, QStringLiteral("Top"), y());
        iniFile_.WriteInteger(Section, QStringLiteral("Left"), x());
        iniFile_.WriteInteger(Section, QStringLiteral("Width"), width());
        iniFile_.WriteInteger(Section, QStringLiteral("Height"), height());
        batch.commit();
    });
}

QString TfrmLoadedPages::ProposedFileName() const
{
    QString name = QString::asprintf("%s_%d.html", plHeader->text().toUtf8().constData(), CurrentPage);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    name.replace(QLatin1Char('\\'), QLatin1Char('_'));
    return name;
}

void TfrmLoadedPages::SavePageTo(const QString &path) const
{
    guarded(THIS_ROUTINE, [&] {
        if (CurrentPage < 1 || CurrentPage > Pages.size())
            return;
        WriteFileAtomically(path, PageFileBytes(Pages.at(CurrentPage - 1)));
    });
}

void TfrmLoadedPages::bnSaveClick()
{
    QFileDialog dialog(this);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("html"));
    dialog.setNameFilter(QStringLiteral("*.html"));
    dialog.selectFile(ProposedFileName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    SavePageTo(dialog.selectedFiles().constFirst());
}

void TfrmLoadedPages::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        Timer1.start();
}

void TfrmLoadedPages::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    placeSaveButton();
}

void TfrmLoadedPages::placeSaveButton()
{
    bnSave->move(plNavigation->width() - bnSave->width() - 8, bnSave->y());
}
