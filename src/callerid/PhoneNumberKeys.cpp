#include "callerid/PhoneNumberKeys.h"

#include "callerid/NumberText.h"
#include "common/IniFile.h"
#include "settings/Preferences.h"

#include <phonenumbers/phonenumberutil.h>

#include <QRegularExpression>

namespace kalvendo {

namespace pn = i18n::phonenumbers;

namespace {

// Bump when the rules below change: every number index is rebuilt then.
constexpr int kRules = 1;
// Local numbers shorter than this are a router's internal numbers.
constexpr int kMinLocalDigits = 4;

pn::PhoneNumberUtil& util() {
    return *pn::PhoneNumberUtil::GetInstance();
}

QString digitsOf(const QString& s) {
    QString out;
    for (const QChar c : s) {
        if (c.isDigit())
            out.append(QChar(u'0' + c.digitValue()));
    }
    return out;
}

// The first character that is part of the number itself, past the usual
// grouping characters: '+', a digit, or something else.
QChar firstSignificant(const QString& s) {
    for (const QChar c : s) {
        if (c == u'+' || c.isDigit())
            return c.isDigit() ? QChar(u'0' + c.digitValue()) : c;
        if (!c.isSpace() && c != u'(' && c != u')' && c != u'/' && c != u'-' && c != u'.')
            return c;
    }
    return QChar();
}

} // namespace

bool PhoneNumberKeys::isKnownCountry(const QString& country) {
    return util().GetCountryCodeForRegion(country.trimmed().toUpper().toStdString()) != 0;
}

PhoneNumberKeys::PhoneNumberKeys(const QString& country, const QString& areaCode) {
    const QString region = country.trimmed().toUpper();
    m_region = isKnownCountry(region) ? region.toStdString() : std::string("ZZ");
    std::string ndd;
    if (m_region != "ZZ")
        util().GetNddPrefixForRegion(m_region, true, &ndd);
    m_trunkPrefix = QString::fromStdString(ndd);
    if (!m_trunkPrefix.isEmpty()) {
        m_area = digitsOf(areaCode);
        if (m_area.startsWith(m_trunkPrefix))
            m_area.remove(0, m_trunkPrefix.size());
    }
    m_identity = QStringLiteral("libphonenumber %1; rules %2; %3; %4")
                     .arg(QStringLiteral(KALVENDO_PHONENUMBER_VERSION))
                     .arg(kRules)
                     .arg(QString::fromStdString(m_region), m_area);
}

NumberKeys::Forms PhoneNumberKeys::forms(const QString& number) const {
    QString text = sanitizeNumberText(number);
    if (text.isEmpty() || text.contains(u'*') || text.contains(u'#'))
        return {};
    const QChar first = firstSignificant(text);
    if (first.isNull() || (first != u'+' && !first.isDigit()))
        return {};
    auto parse = [this](const QString& s, pn::PhoneNumber* out) {
        return util().Parse(s.toStdString(), m_region, out) ==
                   pn::PhoneNumberUtil::NO_PARSING_ERROR &&
               util().IsValidNumber(*out);
    };
    pn::PhoneNumber parsed;
    // Local numbers: no '+', and not beginning with the trunk prefix (which
    // also starts the international call prefix "00" where it is "0").
    if (first.isDigit() && !m_trunkPrefix.isEmpty() && !digitsOf(text).startsWith(m_trunkPrefix)) {
        if (digitsOf(text).size() < kMinLocalDigits)
            return {};
        // A whole national number written without its trunk prefix (as is
        // usual where there is no local dialling) still reads as itself.
        if (!m_area.isEmpty() && parse(m_trunkPrefix + m_area + u' ' + text, &parsed))
            text = m_trunkPrefix + m_area + u' ' + text;
        else if (!parse(text, &parsed))
            return {};
    } else if (!parse(text, &parsed)) {
        return {};
    }
    std::string e164;
    util().Format(parsed, pn::PhoneNumberUtil::E164, &e164);
    Forms out;
    out.number = QString::fromStdString(e164);

    static const QRegularExpression switchboard(QStringLiteral("-\\s*0\\s*$"));
    if (!parsed.has_extension() && out.number.endsWith(u'0') && switchboard.match(text).hasMatch())
        out.switchboard = out.number.chopped(1);
    return out;
}

std::shared_ptr<const PhoneNumberKeys> phoneNumberKeysFromPreferences(const QString& abIniPath) {
    const IniFile ab(abIniPath);
    return std::make_shared<const PhoneNumberKeys>(readPref(ab, prefs::callerId::country),
                                                   readPref(ab, prefs::callerId::areacode));
}

} // namespace kalvendo
