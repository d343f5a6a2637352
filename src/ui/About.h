#pragma once
// TAboutBox, "About": the program's icon, name and version and the link to the
// maker's home page, which opens through the controller's site action.

#include <QDialog>
#include <functional>

class QLabel;
class QPushButton;

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    // homePage: the address shown; goToSite: what a click on it runs.
    TAboutBox(const QString &homePage, std::function<void()> goToSite, QWidget *parent = nullptr);

    QLabel *ProgramIcon, *lblAuthors, *ProductName, *lblVersion, *lblHomePage;
    QPushButton *OKButton;

    static QColor LinkColor();
    static QColor HotLinkColor();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setLinkColor(const QColor &color);
    std::function<void()> goToSite_;
};

// Creates the window, shows it modally and frees it.
void ShowAboutBox(const QString &homePage, std::function<void()> goToSite, QWidget *parent = nullptr);
