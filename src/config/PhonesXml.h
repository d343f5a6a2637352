#pragma once
// The phone list "phones.xml": a "windows-1251" XML document, root "Phones",
// one empty "Phone" element per row with a number, nine attributes in a fixed
// order, the password masked by EncodePass. Rows without a number are not
// written, so saving closes gaps between rows.

#include "Setup.h"

#include <QByteArray>
#include <QString>

enum class TPhonesXmlState { Loaded, Missing, Malformed };

// Loads the file into rows 1..count of the model. A missing or malformed file
// loads as an empty list; the result tells which, so that a caller can refuse
// to save over a file the user may still want to repair. The model keeps the
// file's lock until it saves (TSetupModel::PhonesLock). An element that
// lacks an attribute or carries a bad password stops the load there with a
// labelled error: the rows before it are filled, that row and the rows after
// it are empty.
TPhonesXmlState LoadPhonesInfoFromXml(TSetupModel &model, const QString &fileName, int count);
// Writes rows 1..count atomically; a failure leaves the old file in place.
// The model's lock on the file (taken by the load) is held for the write and
// given back after it.
void SavePhonesInfoToXml(const TSetupModel &model, const QString &fileName, int count);
// The bytes that SavePhonesInfoToXml writes.
QByteArray PhonesXmlBytes(const TSetupModel &model, int count);

// The same on SetupModel(), PhonesXmlFileName and MaxPhones.
TPhonesXmlState LoadPhonesInfoFromXml();
void SavePhonesInfoToXml();
