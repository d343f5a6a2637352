#include "PhoneTable.h"

std::array<TIssa, IssaSlots + 1> IssaArray;

// Every field back to its default, except the pages loaded so far.
void ClearIssa(TIssa &issa)
{
    QStringList pages = std::move(issa.LoadedPages);
    issa = TIssa{};
    issa.LoadedPages = std::move(pages);
}

void SetNotSuccess(TIssa &issa)
{
    issa.Success = false;
    issa.ErrorMsg.clear();
    issa.State = dsNone;
    issa.NotSaved = false;
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
