#pragma once

#include "addressbook/NumberKeys.h"

#include <QString>

#include <memory>
#include <string>

namespace kalvendo {

// The comparable form of a telephone number is its international form (E.164,
// "+49301234567"), as libphonenumber reads it in the user's home country.
// "+49 30 1234567", "0049301234567", "030/123 45-67" and "(030) 1234567" all
// give the same form; a number written without area code ("123 45 67") is
// read as being in the home area code.
//
// No form (found only by the exact look-ups): texts that libphonenumber does
// not read as a valid number, service codes with '*' or '#', and local
// numbers of fewer than four digits (a router's internal numbers such as
// "21" or "620"). An extension written after the number ("x 12") is dropped.
// A number written with the switchboard extension "-0" also gives the form of
// its line without it, so a caller from any extension finds the record.
class PhoneNumberKeys : public NumberKeys {
public:
    // country: ISO 3166 code ("DE"; case ignored); an unknown code reads only
    // numbers written with '+'. areaCode: digits with or without the trunk
    // prefix ("030" or "30"); ignored in countries without a trunk prefix,
    // where there is no local dialling.
    PhoneNumberKeys(const QString& country, const QString& areaCode);

    QString identity() const override { return m_identity; }
    Forms forms(const QString& number) const override;

    // The international form, or empty.
    QString internationalForm(const QString& number) const { return forms(number).number; }

    // Whether libphonenumber knows the country code.
    static bool isKnownCountry(const QString& country);

private:
    std::string m_region;
    QString m_trunkPrefix;
    QString m_area; // without the trunk prefix
    QString m_identity;
};

// The keys for the preferences country and areacode of ab.ini.
std::shared_ptr<const PhoneNumberKeys> phoneNumberKeysFromPreferences(const QString& abIniPath);

} // namespace kalvendo
