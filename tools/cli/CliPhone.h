#pragma once
// A phone named on the command line: by its slot (1..100), its number (as
// typed anywhere: "+7 916 123-45-67" finds 9161234567) or its alias (letter
// case ignored).

#include "Setup.h"

// The slot, or 0 with the reason in *error. A slot number may name an empty
// slot only when emptyAllowed.
int FindPhone(const TSetupModel &model, const QString &word, bool emptyAllowed, QString *error);
