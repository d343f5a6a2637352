#pragma once
// TfrmLoadedPages: the pages loaded for one phone during its last request,
// newest first, one at a time, each of which can be saved to a file.
//
// The pages are shown by a text browser that never loads anything: links are
// not followed, images, style sheets and frames are not fetched, scripts and
// refreshes do not run.
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>

class TPageView : public QTextBrowser {
    Q_OBJECT
public:
    explicit TPageView(QWidget *parent = nullptr);
    // Every resource the page asks for (images, style sheets), refused.
    int RefusedResources() const { return static_cast<int>(refused_.size()); }
    const QList<QUrl> &RefusedUrls() const { return refused_; }
    QVariant loadResource(int type, const QUrl &name) override;

protected:
    void doSetSource(const QUrl &name, QTextDocument::ResourceType type) override;

private:
    QList<QUrl> refused_;
};

class TIniFile;

class TfrmLoadedPages : public QDialog {
    Q_OBJECT
public:
    // Its position is kept in the settings file.
    explicit TfrmLoadedPages(TIniFile &iniFile, QWidget *parent = nullptr);
    ~TfrmLoadedPages() override;

    void SetHeader(const QString &caption);
    void SetPages(const QStringList &pages) { Pages = pages; }
    void ShowPage(int n);
    void UpdateControls();
    void LoadIniPosition();
    void SaveIniPosition();
    // "%s_%d.html" with the header and the page shown (path separators replaced).
    QString ProposedFileName() const;
    // Writes the page shown, as it is, to the file.
    void SavePageTo(const QString &path) const;

    int CurrentPage = 0;
    QStringList Pages;

    TPageView *WB = nullptr;
    QWidget *plNavigation = nullptr;
    QPushButton *bnPred = nullptr;
    QPushButton *bnNext = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *lblViewPage = nullptr;
    QLabel *plHeader = nullptr;
    QPushButton *bnSave = nullptr;
    QTimer Timer1;

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    TIniFile &iniFile_;
    void bnSaveClick();
    void placeSaveButton();
};

// The page as the viewer shows it: the stored text without its scripts.
QString PageForDisplay(const QString &page);
