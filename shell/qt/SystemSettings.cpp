#include "shell/qt/SystemSettings.h"

namespace kestrova {
namespace {

void Take(std::string& field, const QString& value) {
    if (!value.isEmpty()) field = value.toStdString();
}

}  // namespace

RegionalSettings RegionalSettingsFrom(const QLocale& locale) {
    RegionalSettings settings;
    if (locale.language() == QLocale::C) return settings;
    Take(settings.thousandsSeparator, locale.groupSeparator());
    Take(settings.decimalSeparator, locale.decimalPoint());
    Take(settings.shortDatePattern, locale.dateFormat(QLocale::ShortFormat));
    Take(settings.longTimePattern, locale.timeFormat(QLocale::LongFormat));
    Take(settings.amText, locale.amText());
    Take(settings.pmText, locale.pmText());
    return settings;
}

}  // namespace kestrova
