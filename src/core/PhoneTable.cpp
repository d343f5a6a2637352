#include "PhoneTable.h"

std::array<TIssa, IssaSlots + 1> IssaArray;
bool RequestStopped = false;

void ClearIssa(TIssa &issa)
{
    issa.PhoneID = 0;
    issa.LicSchet.clear();
    issa.Alias.clear();
    issa.UserName.clear();
    issa.PhoneNumber.clear();
    issa.Balance = 0;
    issa.Average = 0;
    issa.TurnOff = 0;
    issa.Recomend = 0;
    issa.SMS = 0;
    issa.Minutes = 0;
    issa.JeansExpired = 0;
    issa.BalDelta = 0;
    issa.ObPlat = 0;
    issa.USDRate = 0;
    issa.QueryDateTime = 0;
    issa.Success = false;
    issa.ErrorMsg.clear();
    issa.State = dsNone;
}

void SetNotSuccess(TIssa &issa)
{
    issa.Success = false;
    issa.ErrorMsg.clear();
    issa.State = dsNone;
    issa.LoadedPages.clear();
}

void SetNotSuccessToIssaArray()
{
    for (int i = 1; i <= MaxPhones; ++i)
        SetNotSuccess(IssaArray[i]);
}

void SetNotSuccessToIssaArrayWhereBad()
{
    for (int i = 1; i <= MaxPhones; ++i)
        if (!IssaArray[i].Success)
            SetNotSuccess(IssaArray[i]);
}

void ResetIssaArray()
{
    for (auto &issa : IssaArray)
        issa = TIssa{};
}

QString PhoneAliasEx(int slot)
{
    const TIssa &issa = IssaArray[slot];
    if (!issa.Alias.isEmpty())
        return issa.Alias;
    const QString user = issa.UserName.trimmed();
    if (!user.isEmpty())
        return user;
    return issa.PhoneNumber.trimmed();
}
