#include "CliPhone.h"

#include "PhoneNumber.h"
#include "Readers.h"

int FindPhone(const TSetupModel &model, const QString &word, bool emptyAllowed, QString *error)
{
    auto hasNumber = [&](int slot) { return !TrimControls(model.Line(slot).Number).isEmpty(); };
    bool isNumber = false;
    const int slot = word.toInt(&isNumber);
    if (isNumber && word.size() <= 3) {
        if (slot < 1 || slot > MaxPhones) {
            *error = QStringLiteral("a slot is a number from 1 to %1, not \"%2\"").arg(MaxPhones).arg(word);
            return 0;
        }
        if (!emptyAllowed && !hasNumber(slot)) {
            *error = QStringLiteral("slot %1 is empty").arg(slot);
            return 0;
        }
        return slot;
    }
    const std::optional<QString> number = NormalizePhoneNumber(word);
    QList<int> found;
    for (int s = 1; s <= MaxPhones; ++s) {
        if (!hasNumber(s))
            continue;
        const TSetupPhoneLine &line = model.Line(s);
        const std::optional<QString> stored = NormalizePhoneNumber(line.Number);
        if ((number && stored == number) || TrimControls(line.Number) == word.trimmed()
            || (!line.Alias.trimmed().isEmpty()
                && line.Alias.trimmed().compare(word.trimmed(), Qt::CaseInsensitive) == 0))
            found << s;
    }
    if (found.size() == 1)
        return found.first();
    if (found.isEmpty())
        *error = QStringLiteral("no phone with the slot, number or alias \"%1\" (see \"phones list\")").arg(word);
    else
        *error = QStringLiteral("\"%1\" names more than one phone (slots %2): give the slot").arg(word, [&] {
            QStringList s;
            for (int f : found)
                s << QString::number(f);
            return s.join(QStringLiteral(", "));
        }());
    return 0;
}
