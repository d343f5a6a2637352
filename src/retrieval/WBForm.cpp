#include "WBForm.h"

#include "AtomicFile.h"
#include "BalanceParser2.h"
#include "Browser.h"
#include "BrowserDialogHost.h"
#include "Common.h"
#include "Encoding.h"
#include "Failure.h"
#include "HtmlDocument.h"
#include "PhoneTable.h"
#include "ProgramState.h"
#include "SettingsFile.h"
#include "Setup.h"
#include "StoreMDB.h"

#include <QAuthenticator>
#include <QDateTime>
#include <QHostAddress>
#include <QNetworkProxy>
#include <QRegularExpression>
#include <array>
#include <cstdio>

namespace {
const QString kStoppedMsg = QStringLiteral("Запрос остановлен пользователем");
const QString kTimeOutMsg = QStringLiteral("TimeOut: Нет информации о балансе в течении 3-х минут");

QString proxyName(const QNetworkProxy &proxy)
{
    return QStringLiteral("%1:%2").arg(proxy.hostName()).arg(proxy.port());
}
}  // namespace

TfrmWB::TfrmWB(TProgramState &state, QObject *parent)
    : QObject(parent), state_(state), WB(std::make_unique<WebBrowser>())
{
    guarded(THIS_ROUTINE, [&] {
        TimeOutTimer.setSingleShot(true);
        pauseTimer_.setSingleShot(true);
        submitTimer_.setSingleShot(true);
        connect(&TimeOutTimer, &QTimer::timeout, this, [this] {
            runHandler(ROUTINE("TimeOutTimerTimer"), [&] {
                if (PhoneID == 0)
                    return;
                FailPhone(kTimeOutMsg);
            });
        });
        connect(&pauseTimer_, &QTimer::timeout, this,
                [this] { runHandler(ROUTINE("NextPhone"), [&] { NextPhone(); }); });
        connect(&submitTimer_, &QTimer::timeout, this, [this] {
            runHandler(ROUTINE("SubmitIssa"), [&] {
                // A login page that cannot be filled in or sent ends the phone
                // at once with the reason, instead of leaving it to the time limit.
                try {
                    SubmitIssa();
                } catch (const std::exception &e) {
                    if (phoneOpen())
                        FailPhone(failureText(e));
                }
            });
        });
        connect(WB.get(), &WebBrowser::DocumentComplete, this, [this](const QUrl &url) {
            runHandler(ROUTINE("WBDocumentComplete"), [&] { WBDocumentComplete(url, WB->Document()); });
        });
        connect(WB.get(), &WebBrowser::NavigationError, this, [this](const QUrl &url, const QString &message) {
            runHandler(ROUTINE("NavigationError"), [&] { NavigationFailed(url, message); });
        });
        // Answered before the signal returns (the browser waits).
        connect(
            WB.get(), &WebBrowser::ProxyAuthenticationRequired, this,
            [this](const QNetworkProxy &proxy, QAuthenticator *authenticator) {
                runHandler(ROUTINE("ProxyAuthenticationRequired"), [&] { ProxyLogon(proxy, authenticator); });
            },
            Qt::DirectConnection);
        connect(WB.get(), &WebBrowser::ProxyLogonRefused, this, [this](const QUrl &) {
            runHandler(ROUTINE("ProxyLogonRefused"), [&] {
                if (phoneOpen())
                    FailPhone(proxyRefusedMessage());
            });
        });
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
    return running_ && PhoneID >= 1 && PhoneID <= MaxPhones;
}

bool TfrmWB::PlainLoginAllowed(const TIssaUrlInfo &region)
{
    if (region.AllowPlainHttp)
        return true;
    const QString host = QUrl(region.LoginURL.trimmed()).host();
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

bool TfrmWB::RequestInformation(int mode, int slot, bool retryAuthErrors)
{
    return guarded(THIS_ROUTINE, [&] {
        if (running_)
            return false;
        leaveOut_.fill(false);
        if (!retryAuthErrors)
            for (int i = 1; i <= MaxPhones; ++i)
                leaveOut_[i]
                    = !state_.IssaArray[i].Success && state_.IssaArray[i].ErrorMsg == QString::fromUtf8(AuthErrorMsg);
        if (mode == 0)
            SetNotSuccessToIssaArray(state_.IssaArray);
        else if (mode == 1)
            SetNotSuccessToIssaArrayWhereBad(state_.IssaArray);
        else if (slot >= 1 && slot <= MaxPhones)
            SetNotSuccess(state_.IssaArray[slot]);
        for (int i = 1; i <= MaxPhones; ++i) {
            if (leaveOut_[i]) {  // keeps its failure as it was
                state_.IssaArray[i].State = dsError;
                state_.IssaArray[i].ErrorMsg = QString::fromUtf8(AuthErrorMsg);
            }
        }
        stopped_ = false;
        running_ = true;
        logFailed_ = false;
        pageSaveFailed_ = false;
        asked_ = 0;
        saveLogFiles_ = state_.IniFile.ReadBool(QStringLiteral("Debug"), QStringLiteral("SaveLogFiles"), false);
        if (store_)
            store_->BeginRun();
        nextSlot_ = mode == 2 ? slot : 1;
        lastSlot_ = mode == 2 ? slot : MaxPhones;
        Q_EMIT phonesChanged();
        pauseTimer_.start(0);
        return true;
    });
}

// The next phone of the run that is to be asked, after the pause; the end of
// the run when there is none.
void TfrmWB::NextPhone()
{
    if (!running_)
        return;
    for (; nextSlot_ <= lastSlot_ && nextSlot_ >= 1 && nextSlot_ <= MaxPhones; ++nextSlot_) {
        if (stopped_)
            break;
        const int i = nextSlot_;
        if (UserPhone(state_, i).isEmpty() || Password(state_, i).isEmpty() || !MonitorPhoneEnabled(state_, i)
            || setupDialogOpen_ || state_.IssaArray[i].Success || leaveOut_[i])
            continue;
        const TIssaUrlInfo url = GetIssaUrlByPhoneID(state_, i);
        if (url.LoginURL.isEmpty())
            continue;
        if (asked_ > 0 && pauseMs_ > 0 && !pausePassed_) {
            pausePassed_ = true;
            pauseTimer_.start(pauseMs_);
            return;
        }
        pausePassed_ = false;
        ++nextSlot_;
        ++asked_;
        RequestInfoForPhoneID(i, url);
        return;
    }
    FinishRun();
}

void TfrmWB::RequestInfoForPhoneID(int slot, const TIssaUrlInfo &url)
{
    guarded(THIS_ROUTINE, [&] {
        Q_EMIT progressMessage(
            QStringLiteral("Запрос по телефону № %1: %2\r\n").arg(slot).arg(PhoneAliasEx(state_.IssaArray[slot])));
        Q_EMIT animationStart();
        PhoneID = slot;
        credentialsSent_ = false;
        loginPage_.reset();
        TimeOutTimer.start(timeOutMs_);
        state_.IssaArray[slot].State = dsRequest;
        Q_EMIT phoneChanged(slot);

        IssaUrlInfo = url;
        IssaUrlInfo.PhoneNumber = UserPhone(state_, slot);
        IssaUrlInfo.Password = Password(state_, slot);
        WB->ResetSession();  // a phone never sees another phone's session
        const bool plainAllowed = PlainLoginAllowed(url);
        WB->SetPlainPasswordAllowed(plainAllowed);
        proxyLogons_ = 0;
        proxyName_.clear();
        const QUrl address(url.LoginURL.trimmed());
        if (address.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) == 0 && !plainAllowed) {
            FailPhone(
                QStringLiteral("Адрес входа региона %1 (%2) не защищён (http://): пароль не отправлен. Укажите адрес "
                               "https:// или отметьте в настройке региона \"Разрешить вход без шифрования\"")
                    .arg(url.ShortName, address.toDisplayString(QUrl::RemoveUserInfo | QUrl::RemoveQuery)));
            return;
        }
        try {
            RequestIssa();
        } catch (const std::exception &e) {
            FailPhone(failureText(e));
        }
    });
}

void TfrmWB::EndPhone()
{
    const int slot = PhoneID;
    if (slot < 1 || slot > MaxPhones)
        return;
    PhoneID = 0;
    TimeOutTimer.stop();
    submitTimer_.stop();
    loginPage_.reset();
    WB->Stop();
    TIssa &issa = state_.IssaArray[slot];
    if (issa.State == dsRequest) {
        issa.State = dsError;
        issa.ErrorMsg = kStoppedMsg;
    }
    // Every failed phone leaves a line in the log, so that failures of
    // unattended runs can be looked up later.
    if (issa.State == dsError) {
        QString phone = UserPhone(state_, slot);
        if (!Alias(state_, slot).isEmpty())
            phone += QStringLiteral(" [%1]").arg(Alias(state_, slot));
        WriteLog(QStringLiteral("Телефон № %1, %2: %3").arg(slot).arg(phone, issa.ErrorMsg));
    }
    Q_EMIT animationStop();
    Q_EMIT plainTrayIcon();
    Q_EMIT phoneChanged(slot);
    if (stopped_)
        FinishRun();
    else
        pauseTimer_.start(0);
}

void TfrmWB::FinishRun()
{
    if (!running_)
        return;
    if (PhoneID != 0)
        EndPhone();  // comes back here
    if (!running_)
        return;
    running_ = false;
    pauseTimer_.stop();
    pausePassed_ = false;
    if (store_)
        store_->EndRun();
    Q_EMIT animationStop();
    Q_EMIT trayPhoneInfoChanged();
    Q_EMIT phonesChanged();
    Q_EMIT runFinished();
}

// A log that cannot be written never stops a run: the line goes to the
// standard error instead, with the reason once per run.
void TfrmWB::WriteLog(const QString &line)
{
    try {
        AppendStringToFile(line, state_.Paths.ErrFileName);
    } catch (const std::exception &e) {
        if (!logFailed_) {
            logFailed_ = true;
            fprintf(stderr, "%s\n", failureText(e).toLocal8Bit().constData());
        }
        fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
        fflush(stderr);
    }
}

void TfrmWB::RequestIssa()
{
    const QString url = IssaUrlInfo.LoginURL;
    if (url.contains(QLatin1String("korvet-test.html"), Qt::CaseInsensitive)) {
        WB->Navigate(QUrl::fromUserInput(url));
    } else if (url.contains(QLatin1String("=is_newlog"), Qt::CaseInsensitive)
               || url.contains(QLatin1String(SecondIssaHost), Qt::CaseInsensitive)) {
        LoadFirstPage(url);
    } else {
        PostWithWebBrowser(url);
    }
}

void TfrmWB::LoadFirstPage(const QString &url)
{
    guarded(THIS_ROUTINE, [&] {
        QString target = url;
        if (target.contains(QLatin1String("function=is_login")))
            target.replace(QStringLiteral("function=is_login"), QStringLiteral("function=is_newlog"),
                           Qt::CaseInsensitive);
        WB->Navigate(QUrl(target));
    });
}

void TfrmWB::PostWithWebBrowser(const QString &url)
{
    // Each value goes out form-encoded in the code page of the login form, so
    // that "+", "&", "%" and the like arrive as they were typed.
    const QByteArray cp = QByteArrayLiteral("windows-1251");
    const QByteArray number = FormUrlEncode(IssaUrlInfo.PhoneNumber, cp);
    const QByteArray password = FormUrlEncode(IssaUrlInfo.Password, cp);
    const QStringView pattern(IssaUrlInfo.LoginStr);
    QByteArray body;
    bool withPassword = false;
    const QLatin1String kNumber("<%PhoneNumber%>");
    const QLatin1String kPassword("<%Password%>");
    // The text between the placeholders goes out run by run.
    qsizetype runStart = 0;
    const auto endRun = [&](qsizetype i) {
        if (i > runStart)
            body += ToCp1251(pattern.mid(runStart, i - runStart).toString());
    };
    for (qsizetype i = 0; i < pattern.size();) {
        if (pattern.mid(i).startsWith(kNumber, Qt::CaseInsensitive)) {
            endRun(i);
            body += number;
            i += kNumber.size();
            runStart = i;
        } else if (pattern.mid(i).startsWith(kPassword, Qt::CaseInsensitive)) {
            endRun(i);
            body += password;
            withPassword = withPassword || !IssaUrlInfo.Password.isEmpty();
            i += kPassword.size();
            runStart = i;
        } else {
            ++i;
        }
    }
    endRun(pattern.size());
    credentialsSent_ = true;
    WB->NavigatePost(QUrl(url), body, withPassword);
}

void TfrmWB::SubmitIssa()
{
    const std::shared_ptr<HtmlDocument> document = loginPage_.lock();
    loginPage_.reset();
    if (!phoneOpen() || !document || credentialsSent_)
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
    // Sent once: a login page that comes back after this is a refusal.
    credentialsSent_ = true;
    if (!form || !document->Submit(form))
        throw SaldomatError(QStringLiteral("Форму входа не удалось отправить"));
}

int TfrmWB::WhatKindOfFile(const QString &html, const QUrl &url)
{
    return guarded(THIS_ROUTINE, [&] {
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
    guarded(THIS_ROUTINE, [&] {
        if (!text.contains(QLatin1String("<body></body>"), Qt::CaseInsensitive))
            pages.append(text);
    });
}

void TfrmWB::SaveHtmlLog(const QString &dir, const QString &text)
{
    guarded(THIS_ROUTINE, [&] {
        const QString name
            = QDateTime::currentDateTime().toString(QStringLiteral("yy-MM-dd_HH-mm-ss-zzz")) + QStringLiteral(".html");
        QString lines = text;
        lines.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
        lines.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
        if (!lines.endsWith(QLatin1String("\r\n")))
            lines += QLatin1String("\r\n");
        WriteFileAtomically(dir + name, PageFileBytes(lines));
    });
}

QString TfrmWB::MaskPasswords(const QString &html, const QString &passwordName)
{
    QString text = html;
    // <input ... type="password" ... value="..."> in either order of the two.
    static const QRegularExpression input(QStringLiteral("<input\\b[^>]*>"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression isPassword(QStringLiteral("\\btype\\s*=\\s*[\"']?password\\b"),
                                               QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression value(QStringLiteral("(\\bvalue\\s*=\\s*)(\"[^\"]*\"|'[^']*'|[^\\s>]*)"),
                                          QRegularExpression::CaseInsensitiveOption);
    QString out;
    qsizetype last = 0;
    // Most pages (the account page among them) hold no input field at all:
    // the expression runs only over those that do.
    const bool inputs = text.contains(QLatin1String("<input"), Qt::CaseInsensitive);
    for (auto it = input.globalMatch(inputs ? QStringView(text) : QStringView()); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        QString tag = m.captured();
        if (isPassword.match(tag).hasMatch())
            tag.replace(value, QStringLiteral("\\1\"\""));
        out += QStringView(text).mid(last, m.capturedStart() - last);
        out += tag;
        last = m.capturedEnd();
    }
    if (last == 0)
        out = text;  // no field: the page itself, not a copy
    else
        out += QStringView(text).mid(last);
    // name=value pairs of password fields in addresses. Most pages hold none:
    // the expression is only built and run over a page that has "name=".
    const auto holds = [&](const QString &name) { return out.contains(name + QLatin1Char('='), Qt::CaseInsensitive); };
    if (!holds(QStringLiteral("password")) && (passwordName.isEmpty() || !holds(passwordName)))
        return out;
    QStringList names{QStringLiteral("password")};
    if (!passwordName.isEmpty())
        names << QRegularExpression::escape(passwordName);
    const QRegularExpression query(QStringLiteral("([?&;](?:%1)=)[^&#\"'\\s<>]*").arg(names.join(QLatin1Char('|'))),
                                   QRegularExpression::CaseInsensitiveOption);
    out.replace(query, QStringLiteral("\\1***"));
    return out;
}

void TfrmWB::WBDocumentComplete(const QUrl &url, const std::shared_ptr<HtmlDocument> &document)
{
    if (!phoneOpen() || !document)
        return;  // pages that arrive after a stop, a time-out or the end are ignored
    TIssa &issa = state_.IssaArray[PhoneID];
    const QString html = document->BodyOuterHtml();
    const QString entry = MaskPasswords(
        QStringLiteral("<!-- ") + url.toString() + QStringLiteral(" -->\r\n\r\n") + html, IssaUrlInfo.PasswName);
    AddLoadedPage(issa.LoadedPages, entry);
    if (saveLogFiles_ && !pageSaveFailed_) {
        // A page that cannot be saved is logged once and never holds up a phone.
        try {
            SaveHtmlLog(state_.Paths.ProgramDir, entry);
        } catch (const std::exception &e) {
            pageSaveFailed_ = true;
            WriteLog(QStringLiteral("Страница не сохранена: ") + failureText(e));
        }
    }

    // An error answer of the server ends the phone with its status.
    const bool top = document == WB->TopDocument();
    if (top && WB->Status() >= 400) {
        FailPhone(QStringLiteral("Сервер ответил %1: %2").arg(WB->Status()).arg(WB->StatusReason()));
        return;
    }

    switch (WhatKindOfFile(html, url)) {
    case pkLogin:
        if (credentialsSent_) {
            // The login page again after the number and password were sent:
            // they were refused. Sending them again would only count more
            // wrong tries against the account.
            FailPhone(QString::fromUtf8(AuthErrorMsg));
        } else if (top) {
            loginPage_ = document;
            submitTimer_.start(submitDelayMs_);
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
        // A page of no known kind after the credentials went out, with
        // nothing more to come: named by its title instead of a time-out.
        if (top && credentialsSent_ && document->Refresh() == std::nullopt && document->FrameUrls().isEmpty()) {
            const QString title = document->Title().trimmed();
            FailPhone(
                QStringLiteral("Неизвестная страница после входа: \"%1\"")
                    .arg(title.isEmpty() ? url.toDisplayString(QUrl::RemoveUserInfo | QUrl::RemoveQuery) : title));
        }
        break;
    }
}

void TfrmWB::StoreBalance(const QString &html)
{
    const int slot = PhoneID;
    TIssa &issa = state_.IssaArray[slot];
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
    parsed.PhoneNumber = UserPhone(state_, slot);
    parsed.PhoneID = slot;
    parsed.Alias = Alias(state_, slot);
    parsed.QueryDateTime = NowOle();
    parsed.Success = true;
    parsed.State = dsNone;
    issa = parsed;
    // The figures were read and stay; a row the history could not take is
    // marked, logged and warned about by the store.
    if (store_)
        issa.NotSaved = !store_->Record(issa);
    EndPhone();  // tells the phones window, once
}

void TfrmWB::FailPhone(const QString &message)
{
    if (!phoneOpen())
        return;
    TIssa &issa = state_.IssaArray[PhoneID];
    issa.ErrorMsg = message;
    issa.State = dsError;
    EndPhone();
}

void TfrmWB::NavigationFailed(const QUrl &url, const QString &message)
{
    Q_UNUSED(url);
    if (phoneOpen())
        FailPhone(message);
}

void TfrmWB::StopRequest()
{
    guarded(THIS_ROUTINE, [&] {
        WB->Stop();
        stopped_ = true;
        if (!running_)
            return;
        if (phoneOpen())
            FailPhone(kStoppedMsg);
        FinishRun();
    });
}

void TfrmWB::ProxyLogon(const QNetworkProxy &proxy, QAuthenticator *authenticator)
{
    if (!phoneOpen()) {
        *authenticator = QAuthenticator();  // nobody to log on for: the load fails
        return;
    }
    const int phone = PhoneID;
    if (proxyLogons_ > 0) {
        // The proxy asks again after the logon was answered: it refused the
        // name and password. Asking again would only repeat the refusal, so
        // the load is abandoned here (Qt would retry what it holds).
        FailPhone(proxyRefusedMessage());
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
            user = GetProxyUserName(state_);
            password = GetProxyPassword(state_);
        } catch (const std::exception &e) {
            FailPhone(QStringLiteral("Пароль прокси-сервера в настройках не прочитан: ") + failureText(e));
            return;
        }
    }
    // The prompt ran the event loop: the phone may have ended meanwhile.
    if (!phoneOpen() || PhoneID != phone)
        return;
    if (!confirmed) {
        FailPhone(QStringLiteral("Вход на прокси-сервер %1 отменён").arg(proxyName(proxy)));
        return;
    }
    if (user.isEmpty()) {
        FailPhone(QStringLiteral("Прокси-сервер %1 требует имя и пароль, а они не заданы. Введите их в настройке "
                                 "Proxy сервера")
                      .arg(proxyName(proxy)));
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
