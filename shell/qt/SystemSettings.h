#pragma once
// The user's regional settings, taken from the system locale.

#include <QLocale>

#include "common/RegionalSettings.h"

namespace kestrova {

// What the locale does not say keeps the default; the C locale says nothing.
RegionalSettings RegionalSettingsFrom(const QLocale& locale);
inline RegionalSettings SystemRegionalSettings() { return RegionalSettingsFrom(QLocale::system()); }

}  // namespace kestrova
