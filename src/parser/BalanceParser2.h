#pragma once
// BalanceParser2: the figures of a phone read from the operator's account page.
//
// The page is the body element's HTML as our browser serialises it: one string
// with every table, row, cell, paragraph, div, list item, heading and line break
// on a line of its own. ParseBalans reads it line by line through a fixed list of
// Russian text markers; there is no HTML parsing beyond stripping the tags of the
// line that a value is read from.
//
// The text routines keep the exact rules the figures depend on:
//  - HtmlToStr decodes six references only: &nbsp; &lt; &gt; &quote; &amp; &quot;
//    (each pass ignores letter case, in this order);
//  - RemoveTags drops the text before the line's first "<", then the tags, stops at
//    a stray ">", decodes and trims the characters with codes 0 to 32;
//  - PosNoCase folds the Latin letters only; ContainsNoCase folds Latin and
//    Cyrillic (as the windows-1251 upper-casing does);
//  - the readers cut between two markers and convert to a 32-bit float or integer,
//    giving the default for a text that is not a number.
// Failures carry the labels "BalanceParser2.<routine> -- > ".

#include "MarkerScanner.h"
#include "PhoneTable.h"

#include <QString>
#include <QStringView>
#include <cstdint>
#include <span>
#include <vector>

QString HtmlToStr(QStringView text);
QString RemoveTags(QStringView line);
// 1-based position of subText in text with A-Z folded to a-z; 0 when absent or empty.
qsizetype PosNoCase(QStringView subText, QStringView text);
// subText occurs in text, Latin and Cyrillic letters folded; false for an empty subText.
bool ContainsNoCase(QStringView text, QStringView subText);

// The text between startMarker and endMarker in the tag-stripped line (see the
// .cpp for the exact cut), or defaultValue when that text is empty.
QString GetStringParam(QStringView text, QStringView startMarker, QStringView endMarker, const QString &defaultValue);
// The same text as a decimal number ("," read as "."), or defaultValue.
float GetSingleParam(QStringView text, QStringView startMarker, QStringView endMarker, float defaultValue);
// The same text as a whole decimal number in the 32-bit range, or defaultValue.
std::int32_t GetIntegerParam(QStringView text, QStringView startMarker, QStringView endMarker,
                             std::int32_t defaultValue);

// Resets the record (ClearIssa) and fills LicSchet, UserName, PhoneNumber,
// Balance, ObPlat, Average, TurnOff, Recomend, SMS, Minutes, JeansExpired and
// USDRate from the page. When a label for the account number or the subscriber
// stands so near the end of the page that the line its value falls back to does
// not exist, reading stops with the fields read so far and SaldomatError is thrown
// ("BalanceParser2.ParseBalans -- > List index out of bounds (N)").
void ParseBalans(QStringView html, TIssa &issa);

// The texts whose presence on a line triggers the 26 rules of ParseBalans, in rule
// order, and the lines of a page as ParseBalans sees them, with bit r set when
// ContainsNoCase(line, BalanceRuleMarkers()[r]) holds. For tests and the fuzzer.
std::span<const QStringView> BalanceRuleMarkers();
std::vector<PageLine> ScanBalancePage(QStringView html);
