#pragma once
// The phone list "phones.xml": a "windows-1251" XML document, root "Phones",
// one empty "Phone" element per row with a number, nine attributes in a fixed
// order, the password masked by EncodePass. Rows without a number are not
// written, so saving closes gaps between rows. A row whose password is kept in
// the system keyring (TPasswordVault) is written with an empty Password and a
// tenth attribute Keyring="True".

#include "Setup.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

enum class TPhonesXmlState { Loaded, Missing, Malformed };

// A file larger than this is not read.
inline constexpr qint64 PhonesXmlMaxBytes = 1024 * 1024;

// Loads the file into rows 1..count of the model. A missing or malformed file
// loads as an empty list; the result tells which, so that a caller can refuse
// to save over a file the user may still want to repair. The model keeps the
// file's lock until it saves (TSetupModel::PhonesLock). An element that
// lacks an attribute, carries a bad password or refers to an entity declared
// in the file is bad. Without a problems list a bad element stops the load
// there with a labelled error (the rows before it are filled, that row and
// the rows after it are empty) and a file over PhonesXmlMaxBytes throws. With
// one, a bad element leaves only its own row empty, the rest load, and each
// problem (file, element number, reason) is appended to the list; a file over
// the size limit loads as an empty list, "Malformed", with its problem.
TPhonesXmlState LoadPhonesInfoFromXml(TSetupModel &model, const QString &fileName, int count,
                                      QStringList *problems = nullptr);
// The texts of those problems.
QString PhoneElementProblem(const QString &fileName, int element, const QString &reason);
QString PhonesFileTooLargeProblem(const QString &fileName, qint64 size);
// Writes rows 1..count atomically; a failure leaves the old file in place.
// The model's lock on the file (taken by the load) is held for the write and
// given back after it.
void SavePhonesInfoToXml(const TSetupModel &model, const QString &fileName, int count);
// The bytes that SavePhonesInfoToXml writes.
QByteArray PhonesXmlBytes(const TSetupModel &model, int count);
