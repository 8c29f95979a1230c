#include "settings/Preferences.h"

#include "common/Exception.h"
#include "common/IniFile.h"
#include "common/TextFile.h"

#include <QFile>
#include <QFileInfo>

#include <variant>
#include <vector>

namespace kalvendo {

QString readPref(const IniFile& ini, const StringRead& read) {
    return ini.readString(read.key.sectionName(), read.key.keyName(), read.def);
}

int readPref(const IniFile& ini, const IntRead& read) {
    return ini.readInteger(read.key.sectionName(), read.key.keyName(), read.def);
}

bool readPref(const IniFile& ini, const BoolRead& read) {
    return ini.readBool(read.key.sectionName(), read.key.keyName(), read.def);
}

QString readUserPref(const IniFile& ini, prefs::key::UserField field) {
    return readPref(ini, StringRead{prefs::key::user.at(size_t(field)), {}});
}

void writePref(IniFile& ini, const PrefKey& key, const QString& value) {
    ini.writeString(key.sectionName(), key.keyName(), value);
}

void writePref(IniFile& ini, const PrefKey& key, int value) {
    ini.writeInteger(key.sectionName(), key.keyName(), value);
}

void writePref(IniFile& ini, const PrefKey& key, bool value) {
    ini.writeBool(key.sectionName(), key.keyName(), value);
}

namespace {

using D = DialogPreferences;

template <typename T> struct Entry {
    const PrefRead<T>* read;
    T D::*member;
};
struct UserKeys {}; // the fifteen [user] keys, in their order
using Field = std::variant<Entry<QString>, Entry<int>, Entry<bool>, UserKeys>;

// The writing order of the dialog's close; reading uses the same table.
const std::vector<Field>& dialogFields() {
    namespace d = prefs::dialog;
    static const std::vector<Field> fields = {
        Entry<QString>{&d::language, &D::language},
        UserKeys{},
        Entry<QString>{&d::dbpath, &D::dbpath},
        Entry<QString>{&d::group, &D::group},
        Entry<int>{&d::office, &D::office},
        Entry<QString>{&d::definably, &D::definably},
        Entry<QString>{&d::adresses, &D::adresses},
        Entry<QString>{&d::greetings, &D::greetings},
        Entry<bool>{&d::letterBank, &D::letterBank},
        Entry<bool>{&d::letterCountry, &D::letterCountry},
        Entry<int>{&d::exportFormat, &D::exportFormat},
        Entry<int>{&d::exportPrint, &D::exportPrint},
        Entry<QString>{&d::pdfTitle, &D::pdfTitle},
        Entry<QString>{&d::pdfAuthor, &D::pdfAuthor},
        Entry<bool>{&d::isdn, &D::isdn},
        Entry<bool>{&d::isdnlog, &D::isdnlog},
        Entry<bool>{&d::isdncp, &D::isdncp},
        Entry<QString>{&d::isdnpath, &D::isdnpath},
    };
    return fields;
}

template <typename... Fn> struct Overload : Fn... { using Fn::operator()...; };
template <typename... Fn> Overload(Fn...) -> Overload<Fn...>;

} // namespace

DialogPreferences DialogPreferences::read(const IniFile& ini) {
    DialogPreferences p;
    for (const Field& f : dialogFields()) {
        std::visit(Overload{[&](const UserKeys&) {
                                for (size_t i = 0; i < p.user.size(); ++i)
                                    p.user[i] = readUserPref(ini, prefs::key::UserField(i));
                            },
                            [&](const auto& e) { p.*e.member = readPref(ini, *e.read); }},
                   f);
    }
    return p;
}

void DialogPreferences::write(IniFile& ini) const {
    for (const Field& f : dialogFields()) {
        std::visit(Overload{[&](const UserKeys&) {
                                for (size_t i = 0; i < user.size(); ++i)
                                    writePref(ini, prefs::key::user[i], user[i]);
                            },
                            [&](const auto& e) { writePref(ini, e.read->key, this->*e.member); }},
                   f);
    }
}

QStringList readGroupFile(const QString& path) {
    if (!QFileInfo::exists(path))
        return {};
    return readTextLines(path);
}

void writeGroupFile(const QString& path, const QStringList& groups) {
    writeTextLines(path, groups);
}

AdsCharSets readAdsCharSets(const QString& path) {
    AdsCharSets sets;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return sets;
    const QStringList lines = splitLines(decodeText(f.readAll()));
    static const QString ansi = QStringLiteral("ANSI_CHAR_SET=");
    static const QString oem = QStringLiteral("OEM_CHAR_SET=");
    // The engine's file opens with its section line; values start below it.
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QString& line = lines.at(i);
        if (line.startsWith(ansi))
            sets.ansi = line.mid(ansi.size());
        else if (line.startsWith(oem))
            sets.oem = line.mid(oem.size());
    }
    return sets;
}

} // namespace kalvendo
