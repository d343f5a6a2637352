#pragma once
// TfrmProxyServerSetup, "Настройка Proxy сервера": the user name and password
// for a proxy server that asks for a logon. "OK" writes them to the settings
// file at once, the password masked, or into the system keyring first when
// the vault is given and the setup says so.

#include <QDialog>

class QLineEdit;
class TPasswordVault;
struct TProgramState;
class QPushButton;

class TfrmProxyServerSetup : public QDialog {
    Q_OBJECT
public:
    // Reads the stored logon; a stored password that cannot be decoded throws.
    // The proxy logon of the state's settings file.
    explicit TfrmProxyServerSetup(TProgramState &state, QWidget *parent = nullptr);

    QLineEdit *edUserName, *edPassword;
    QPushButton *bnOK, *bnCancel;

    // "OK" stores through the vault (into the keyring when useKeyring).
    void SetVault(TPasswordVault *vault, bool useKeyring)
    {
        vault_ = vault;
        useKeyring_ = useKeyring;
    }

private:
    TProgramState &state_;
    TPasswordVault *vault_ = nullptr;
    bool useKeyring_ = false;

public Q_SLOTS:
    void accept() override;
};
