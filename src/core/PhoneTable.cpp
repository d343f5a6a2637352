#include "PhoneTable.h"

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

void SetNotSuccessToIssaArray(TIssaArray &issaArray)
{
    for (int i = 1; i <= MaxPhones; ++i)
        SetNotSuccess(issaArray[i]);
}

void SetNotSuccessToIssaArrayWhereBad(TIssaArray &issaArray)
{
    for (int i = 1; i <= MaxPhones; ++i)
        if (!issaArray[i].Success)
            SetNotSuccess(issaArray[i]);
}

QString PhoneAliasEx(const TIssa &issa)
{
    if (!issa.Alias.isEmpty())
        return issa.Alias;
    const QString user = issa.UserName.trimmed();
    if (!user.isEmpty())
        return user;
    return issa.PhoneNumber.trimmed();
}
