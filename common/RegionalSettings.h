#pragma once
// The user's number and date conventions, handed to the core by the front end.

#include <string>

namespace kestrova {

struct RegionalSettings {
    std::string thousandsSeparator = ",";
    std::string decimalSeparator = ".";
    // Date and time patterns in the Qt notation (yyyy, MM, dd, HH, mm, ss, AP ...).
    std::string shortDatePattern = "yyyy-MM-dd";
    std::string longTimePattern = "HH:mm:ss";
    std::string amText = "AM";
    std::string pmText = "PM";
};

}  // namespace kestrova
