#pragma once
// The phone table: what is known about every watched phone during a run.

#include "OleDate.h"

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

enum TRequestState : std::uint8_t { dsNone = 0, dsRequest = 1, dsError = 2 };

struct TIssa {
    std::int32_t PhoneID = 0;
    QString LicSchet;
    QString Alias;
    QString UserName;
    QString PhoneNumber;
    float Balance = 0;
    float Average = 0;
    std::int32_t TurnOff = 0;
    float Recomend = 0;
    std::int32_t SMS = 0;
    std::int32_t Minutes = 0;
    std::int32_t JeansExpired = 0;
    float BalDelta = 0;
    float ObPlat = 0;
    float USDRate = 0;
    TDateTime QueryDateTime = 0;
    bool Success = false;
    QString ErrorMsg;
    QStringList LoadedPages;
    TRequestState State = dsNone;
    // The figures were read, but their history row could not be stored.
    bool NotSaved = false;
};

constexpr int MaxPhones = 100;
constexpr int IssaSlots = 110;  // room for slots 1..110; element 0 is never used

// The phone table, by slot. Owned by the program's state (TProgramState) and
// passed down to what reads or writes it.
using TIssaArray = std::array<TIssa, IssaSlots + 1>;

void ClearIssa(TIssa &issa);
void SetNotSuccess(TIssa &issa);
void SetNotSuccessToIssaArray(TIssaArray &issaArray);
void SetNotSuccessToIssaArrayWhereBad(TIssaArray &issaArray);

// Display name: alias, else trimmed subscriber name, else trimmed number.
QString PhoneAliasEx(const TIssa &issa);
