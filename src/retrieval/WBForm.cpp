#include "WBForm.h"

#include "AtomicFile.h"
#include "BrowserDialogHost.h"
#include "BalanceParser2.h"
#include "Common.h"
#include "Encoding.h"
#include "Failure.h"
#include "HtmlDocument.h"
#include "PhoneTable.h"
#include "Setup.h"
#include "StoreMDB.h"
#include "Browser.h"
#include "IniFile.h"
#include "SettingsFile.h"

#include <QAuthenticator>
#include <QDateTime>
#include <array>
#include <QNetworkProxy>

namespace {
const QString kStoppedMsg = QStringLiteral("Запрос остановлен пользователем");
const QString kTimeOutMsg = QStringLiteral("TimeOut: Нет информации о балансе в течении 3-х минут");

QString replaceNoCase(QString text, const QString &what, const QString &with)
{
    return text.replace(what, with, Qt::CaseInsensitive);
}

QString proxyName(const QNetworkProxy &proxy)
{
    return QStringLiteral("%1:%2").arg(proxy.hostName()).arg(proxy.port());
}
}  // namespace

TfrmWB::TfrmWB(QObject *parent) : QObject(parent), WB(std::make_unique<WebBrowser>())
{
    guarded("TfrmWB.FormCreate", [&] {
        TimeOutTimer.setSingleShot(true);
        connect(&TimeOutTimer, &QTimer::timeout, this, [this] {
            runHandler("TfrmWB.TimeOutTimerTimer", [&] { wakeWaiter(); });
        });
        connect(WB.get(), &WebBrowser::DocumentComplete, this, [this](const QUrl &url) {
            runHandler("TfrmWB.WBDocumentComplete", [&] { WBDocumentComplete(url, WB->Document()); });
        });
        connect(WB.get(), &WebBrowser::NavigationError, this, [this](const QUrl &url, const QString &message) {
            runHandler("TfrmWB.NavigationError", [&] { NavigationFailed(url, message); });
        });
        // Both are answered before the signal returns (the browser waits).
        connect(WB.get(), &WebBrowser::ProxyAuthenticationRequired, this,
                [this](const QNetworkProxy &proxy, QAuthenticator *authenticator) {
                    runHandler("TfrmWB.ProxyAuthenticationRequired", [&] { ProxyLogon(proxy, authenticator); });
                }, Qt::DirectConnection);
        connect(WB.get(), &WebBrowser::ProxyLogonRefused, this, [this](const QUrl &) {
            runHandler("TfrmWB.ProxyLogonRefused", [&] {
                if (phoneOpen() && !Done)
                    FailPhone(proxyRefusedMessage());
            });
        });
        connect(WB.get(), &WebBrowser::PasswordOverPlainHttp, this,
                [this](const QUrl &url, bool *send) {
                    runHandler("TfrmWB.PasswordOverPlainHttp", [&] { *send = PlainPasswordAllowed(url); });
                }, Qt::DirectConnection);
    });
}

TfrmWB::~TfrmWB() = default;

void TfrmWB::SetCaCertificates(const QString &pemFile)
{
    if (!WB->SetExtraCaFile(pemFile))
        throw SaldomatError(QStringLiteral("В файле \"%1\" нет сертификатов").arg(pemFile));
}

bool TfrmWB::phoneOpen() const
{
    return !RequestStopped && TimeOutTimer.isActive() && PhoneID >= 1 && PhoneID <= MaxPhones;
}

void TfrmWB::wakeWaiter()
{
    if (waiter_)
        waiter_->quit();
}

void TfrmWB::RequestInformation(int mode, int slot, bool retryAuthErrors)
{
    guarded("TfrmWB.RequestInformation", [&] {
        std::array<bool, IssaSlots + 1> leaveOut{};
        if (!retryAuthErrors)
            for (int i = 1; i <= MaxPhones; ++i)
                leaveOut[i] = !IssaArray[i].Success && IssaArray[i].ErrorMsg == QString::fromUtf8(AuthErrorMsg);
        if (mode == 0)
            SetNotSuccessToIssaArray();
        else if (mode == 1)
            SetNotSuccessToIssaArrayWhereBad();
        else if (slot >= 1 && slot <= MaxPhones)
            SetNotSuccess(IssaArray[slot]);
        for (int i = 1; i <= MaxPhones; ++i) {
            if (leaveOut[i]) {  // keeps its failure as it was
                IssaArray[i].State = dsError;
                IssaArray[i].ErrorMsg = QString::fromUtf8(AuthErrorMsg);
            }
        }
        // The browser window is shown off the screen for the run.
        struct WindowGuard {
            BrowserDialogHost *host;
            ~WindowGuard()
            {
                if (host)
                    host->HideWindow();
            }
        } windowGuard{dialogHost_};
        if (dialogHost_)
            dialogHost_->ShowOffScreen();
        RequestStopped = false;
        saveLogFiles_ = IniFile.ReadBool(QStringLiteral("Debug"), QStringLiteral("SaveLogFiles"), false);
        if (store_)
            store_->BeginRun();
        int pause = 0;
        Q_EMIT phonesChanged();

        const int first = mode == 2 ? slot : 1;
        const int last = mode == 2 ? slot : MaxPhones;
        for (int i = first; i <= last && i >= 1 && i <= MaxPhones && !RequestStopped && !ApplicationTerminating; ++i) {
            if (UserPhone(i).isEmpty() || Password(i).isEmpty() || !MonitorPhoneEnabled(i) || SetupDialogOpen ||
                IssaArray[i].Success || leaveOut[i])
                continue;
            const TIssaUrlInfo url = GetIssaUrlByPhoneID(i);
            if (url.LoginURL.isEmpty())
                continue;
            Q_EMIT progressMessage(QStringLiteral("Запрос по телефону № %1: %2\r\n").arg(i).arg(PhoneAliasEx(i)));
            RequestInfoForPhoneID(i, url, pause);
            Q_EMIT phonesChanged();
            pause = pauseMs_;
        }

        Q_EMIT animationStop();
        Wait(settleMs_);
        if (!ApplicationTerminating) {
            Q_EMIT trayPhoneInfoChanged();
            Q_EMIT phonesChanged();
        }
    });
}

void TfrmWB::RequestInfoForPhoneID(int slot, const TIssaUrlInfo &url, int pauseMs)
{
    guarded("TfrmWB.RequestInfoForPhoneID", [&] {
        struct Cleanup {
            TfrmWB *self;
            ~Cleanup()
            {
                self->TimeOutTimer.stop();
                self->PhoneID = 0;
                Q_EMIT self->animationStop();
                try {
                    Wait(self->settleMs_);
                } catch (const std::exception &e) {
                    MainException(e);
                }
                Q_EMIT self->plainTrayIcon();
            }
        } cleanup{this};

        Wait(pauseMs);
        Q_EMIT animationStart();
        if (RequestStopped)
            return;
        Done = false;
        PhoneID = slot;
        TimeOutTimer.start(timeOutMs_);
        IssaArray[slot].State = dsRequest;
        Q_EMIT phonesChanged();

        IssaUrlInfo = url;
        IssaUrlInfo.PhoneNumber = UserPhone(slot);
        IssaUrlInfo.Password = Password(slot);
        WB->ResetSession();  // a phone never sees another phone's session
        proxyLogons_ = 0;
        proxyName_.clear();
        RequestIssa();

        QEventLoop loop;
        waiter_ = &loop;
        // Checks the end of the program, which quits only the outermost loop.
        QTimer terminationCheck;
        connect(&terminationCheck, &QTimer::timeout, &loop, [&] {
            if (ApplicationTerminating)
                loop.quit();
        });
        terminationCheck.start(50);
        while (!Done && !ApplicationTerminating && TimeOutTimer.isActive() && !RequestStopped)
            loop.exec();
        waiter_ = nullptr;
        WB->Stop();

        TIssa &issa = IssaArray[slot];
        if (issa.State == dsRequest) {
            issa.State = dsError;
            if (RequestStopped)
                issa.ErrorMsg = kStoppedMsg;
            if (!TimeOutTimer.isActive())  // it fired; this message wins
                issa.ErrorMsg = kTimeOutMsg;
        }
        // Every failed phone leaves a line in the log, so that failures of
        // unattended runs can be looked up later.
        if (issa.State == dsError) {
            QString phone = UserPhone(slot);
            if (!Alias(slot).isEmpty())
                phone += QStringLiteral(" [%1]").arg(Alias(slot));
            AppendStringToFile(QStringLiteral("Телефон № %1, %2: %3").arg(slot).arg(phone, issa.ErrorMsg), ErrFileName);
        }
    });
}

void TfrmWB::RequestIssa()
{
    guarded("TfrmWB.RequestIssa", [&] {
        const QString url = IssaUrlInfo.LoginURL;
        if (url.contains(QLatin1String("korvet-test.html"), Qt::CaseInsensitive)) {
            WB->Navigate(QUrl::fromUserInput(url));
        } else if (url.contains(QLatin1String("=is_newlog"), Qt::CaseInsensitive) ||
                   url.contains(QLatin1String(SecondIssaHost), Qt::CaseInsensitive)) {
            LoadFirstPage(url);
        } else {
            QString body = replaceNoCase(IssaUrlInfo.LoginStr, QStringLiteral("<%PhoneNumber%>"), IssaUrlInfo.PhoneNumber);
            body = replaceNoCase(body, QStringLiteral("<%Password%>"), IssaUrlInfo.Password);
            PostWithWebBrowser(body, url);
        }
    });
}

void TfrmWB::LoadFirstPage(const QString &url)
{
    guarded("TfrmWB.LoadFirstPage", [&] {
        QString target = url;
        if (target.contains(QLatin1String("function=is_login")))
            target = replaceNoCase(target, QStringLiteral("function=is_login"), QStringLiteral("function=is_newlog"));
        WB->Navigate(QUrl(target));
    });
}

void TfrmWB::PostWithWebBrowser(const QString &body, const QString &url)
{
    guarded("TfrmWB.PostWithWebBrowser", [&] {
        // The body goes out in the code page of the login form.
        const bool withPassword = IssaUrlInfo.LoginStr.contains(QLatin1String("<%Password%>"), Qt::CaseInsensitive) &&
                                  !IssaUrlInfo.Password.isEmpty();
        WB->NavigatePost(QUrl(url), ToCp1251(body), withPassword);
    });
}

void TfrmWB::SubmitIssa(const std::shared_ptr<HtmlDocument> &document)
{
    guarded("TfrmWB.SubmitIssa", [&] {
        const int phone = PhoneID;
        Wait(1000);
        // The wait runs the event loop: the phone may have ended meanwhile.
        if (!phoneOpen() || PhoneID != phone || Done || WB->Document() != document)
            return;
        const HtmlElement number = document->ElementByName(IssaUrlInfo.LoginName);
        if (!number)
            throw SaldomatError(QStringLiteral("На странице входа нет поля \"%1\"").arg(IssaUrlInfo.LoginName));
        document->SetFieldValue(number, IssaUrlInfo.PhoneNumber);
        const HtmlElement password = document->ElementByName(IssaUrlInfo.PasswName);
        if (!password)
            throw SaldomatError(QStringLiteral("На странице входа нет поля \"%1\"").arg(IssaUrlInfo.PasswName));
        document->SetFieldValue(password, IssaUrlInfo.Password);
        const HtmlElement form = document->FormOf(password);
        if (!form || !document->Submit(form))
            throw SaldomatError(QStringLiteral("Форму входа не удалось отправить"));
    });
}

int TfrmWB::WhatKindOfFile(const QString &html, const QUrl &url)
{
    return guarded("TfrmWB.WhatKindOfFile", [&] {
        const QString address = url.toString();
        auto has = [&](const char *marker) { return html.contains(QString::fromUtf8(marker), Qt::CaseInsensitive); };
        if (has("туальный баланс"))
            return int(pkBalance);
        if (address.contains(QLatin1String(SecondIssaHost) + QStringLiteral("/login.php"), Qt::CaseInsensitive))
            return int(pkBalance);
        if (has("mobnum") || has("login.php"))
            return int(pkLogin);
        if (has("Internal Server Error"))
            return int(pkServerError);
        if (has("временно недоступна"))
            return int(pkUnavailable);
        if (has("login error") || has("Ошибка аутентификации"))
            return int(pkAuthError);
        if (has("время сеанса истекло"))
            return int(pkSessionExpired);
        if (address.contains(QLatin1String("is_account"), Qt::CaseInsensitive))
            return int(pkUnknownAccountPage);
        return int(pkOther);
    });
}

void TfrmWB::AddLoadedPage(QStringList &pages, const QString &text)
{
    guarded("TfrmWB.AddLoadedPage", [&] {
        if (!text.contains(QLatin1String("<body></body>"), Qt::CaseInsensitive))
            pages.append(text);
    });
}

void TfrmWB::SaveHtmlLog(const QString &text)
{
    guarded("TfrmWB.SaveHtmlLog", [&] {
        const QString name = QDateTime::currentDateTime().toString(QStringLiteral("yy-MM-dd_HH-mm-ss-zzz")) + QStringLiteral(".html");
        QString lines = text;
        lines.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
        lines.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
        if (!lines.endsWith(QLatin1String("\r\n")))
            lines += QLatin1String("\r\n");
        WriteFileAtomically(ProgramDir + name, PageFileBytes(lines));
    });
}

void TfrmWB::WBDocumentComplete(const QUrl &url, const std::shared_ptr<HtmlDocument> &document)
{
    if (!phoneOpen() || Done)
        return;  // pages that arrive after a stop, a time-out or the end are ignored
    if (!document)
        return;
    TIssa &issa = IssaArray[PhoneID];
    const QString html = document->BodyOuterHtml();
    const QString entry = QStringLiteral("<!-- ") + url.toString() + QStringLiteral(" -->\r\n\r\n") + html;
    AddLoadedPage(issa.LoadedPages, entry);
    if (saveLogFiles_)
        SaveHtmlLog(entry);

    switch (WhatKindOfFile(html, url)) {
    case pkLogin:
        // A login page that cannot be filled in or sent ends the phone at once
        // with the reason, instead of leaving it to the time limit.
        try {
            SubmitIssa(document);
        } catch (const std::exception &e) {
            FailPhone(failureText(e));
        }
        break;
    case pkBalance:
        StoreBalance(html);
        break;
    case pkServerError:
        FailPhone(QStringLiteral("Internal Server Error"));
        break;
    case pkUnavailable:
        FailPhone(QStringLiteral("ИССА временно недоступна"));
        break;
    case pkUnknownAccountPage:
        FailPhone(QStringLiteral("Неопознанная ошибка ИССА. Просмотрите загруженные страницы."));
        break;
    case pkAuthError:
        FailPhone(QString::fromUtf8(AuthErrorMsg));
        break;
    case pkSessionExpired:
        FailPhone(QStringLiteral("Время сеанса истекло"));
        break;
    default:
        break;
    }
}

void TfrmWB::StoreBalance(const QString &html)
{
    const int slot = PhoneID;
    TIssa &issa = IssaArray[slot];
    // Read into a copy: a page that cannot be read must not wipe the figures
    // of the last good query.
    TIssa parsed = issa;
    try {
        ParseBalans(html, parsed);
    } catch (const std::exception &e) {
        // The failed phone's line in the log carries the reason.
        FailPhone(QStringLiteral("Страница баланса не прочитана: ") + failureText(e));
        return;
    }
    parsed.LoadedPages = issa.LoadedPages;
    parsed.PhoneNumber = UserPhone(slot);
    parsed.PhoneID = slot;
    parsed.Alias = Alias(slot);
    parsed.QueryDateTime = NowOle();
    parsed.Success = true;
    issa = parsed;
    // The figures were read and stay; a row the history could not take is
    // marked, logged and warned about by the store.
    if (store_)
        issa.NotSaved = !store_->Record(issa);
    Q_EMIT phonesChanged();
    Done = true;
    wakeWaiter();
}

void TfrmWB::FailPhone(const QString &message)
{
    TIssa &issa = IssaArray[PhoneID];
    issa.ErrorMsg = message;
    issa.State = dsError;
    Done = true;
    wakeWaiter();
}

void TfrmWB::NavigationFailed(const QUrl &url, const QString &message)
{
    Q_UNUSED(url);
    if (!phoneOpen() || Done)
        return;
    FailPhone(message);
}

void TfrmWB::StopRequest()
{
    guarded("TfrmWB.StopRequest", [&] {
        WB->Stop();
        RequestStopped = true;
        wakeWaiter();
    });
}

void TfrmWB::ProxyLogon(const QNetworkProxy &proxy, QAuthenticator *authenticator)
{
    if (!phoneOpen() || Done) {
        *authenticator = QAuthenticator();  // nobody to log on for: the load fails
        return;
    }
    const int phone = PhoneID;
    if (proxyLogons_ > 0) {
        // The proxy asks again after the logon was answered: it refused the
        // name and password. Asking again would only repeat the refusal, so
        // the load is abandoned here (Qt would retry what it holds).
        FailPhone(proxyRefusedMessage());
        WB->Stop();
        return;
    }
    ++proxyLogons_;
    proxyName_ = proxyName(proxy);

    QString user, password;
    bool confirmed = true;
    if (dialogHost_) {
        confirmed = dialogHost_->AskProxyLogon(proxy, user, password);
    } else {
        try {
            user = GetProxyUserName();
            password = GetProxyPassword();
        } catch (const std::exception &e) {
            FailPhone(QStringLiteral("Пароль прокси-сервера в настройках не прочитан: ") + failureText(e));
            WB->Stop();
            return;
        }
    }
    // The prompt ran the event loop: the phone may have ended meanwhile.
    if (!phoneOpen() || Done || PhoneID != phone)
        return;
    if (!confirmed) {
        FailPhone(QStringLiteral("Вход на прокси-сервер %1 отменён").arg(proxyName(proxy)));
        WB->Stop();
        return;
    }
    if (user.isEmpty()) {
        FailPhone(QStringLiteral("Прокси-сервер %1 требует имя и пароль, а они не заданы. Введите их в настройке "
                                 "Proxy сервера")
                      .arg(proxyName(proxy)));
        WB->Stop();
        return;
    }
    authenticator->setUser(user);
    authenticator->setPassword(password);
}

QString TfrmWB::proxyRefusedMessage() const
{
    const QString proxy = proxyName_.isEmpty() ? QStringLiteral("(адрес неизвестен)") : proxyName_;
    return QStringLiteral("Прокси-сервер %1 не принял имя и пароль. Проверьте их в настройке Proxy сервера").arg(proxy);
}

bool TfrmWB::PlainPasswordAllowed(const QUrl &url)
{
    if (!dialogHost_)
        return true;  // nobody to ask: answered as the dialog would be
    return dialogHost_->ConfirmPlainPassword(url);
}
