#pragma once

#include "lang/Script.h"
#include "lang/Scripts.h"
#include "output/letter/LetterComposer.h"
#include "output/package/Package.h"
#include "testsupport/AppFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSet>
#include <QTest>
#include <QXmlStreamReader>

// Shared by the letter tests: an application folder with the shipped
// templates, a sender in ab.ini, a recording launcher and a reader that finds
// what each bookmark spans in a produced document.
namespace kalvendo::test {

inline const QString kWordNs =
    QStringLiteral("http://schemas.openxmlformats.org/wordprocessingml/2006/main");
inline const QString kTextNs = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:text:1.0");

// What a bookmark spans in the produced document, and the part it sits in.
struct Marked {
    QString part;
    QString text;
};
using Marks = QMap<QString, Marked>;

// Reads the bookmarks back the way a word processor sees them: text in w:t,
// w:tab, w:br; ODF text with text:s, text:tab, text:line-break.
inline void readWordPart(const QString& part, const QByteArray& xml, Marks& marks) {
    QXmlStreamReader r(xml);
    QMap<QString, QString> open; // id -> name
    bool inText = false;
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartElement() && r.namespaceUri() == kWordNs) {
            const auto name = r.name();
            if (name == u"bookmarkStart") {
                const QString b = r.attributes().value(kWordNs, QStringLiteral("name")).toString();
                open.insert(r.attributes().value(kWordNs, QStringLiteral("id")).toString(), b);
                marks.insert(b, {part, {}});
            } else if (name == u"bookmarkEnd") {
                open.remove(r.attributes().value(kWordNs, QStringLiteral("id")).toString());
            } else if (name == u"t") {
                inText = true;
            } else if (name == u"tab" || name == u"br") {
                for (const QString& b : open)
                    marks[b].text += name == u"tab" ? u'\t' : u'\n';
            }
        } else if (r.isEndElement() && r.name() == u"t") {
            inText = false;
        } else if (r.isCharacters() && inText) {
            for (const QString& b : open)
                marks[b].text += r.text();
        }
    }
    QVERIFY2(!r.hasError(), qPrintable(part + u' ' + r.errorString()));
}

inline void readOdfPart(const QString& part, const QByteArray& xml, Marks& marks) {
    QXmlStreamReader r(xml);
    QSet<QString> open;
    int paragraph = 0;
    while (!r.atEnd()) {
        r.readNext();
        const bool text = r.namespaceUri() == kTextNs;
        if (r.isStartElement() && text) {
            const auto name = r.name();
            const QString b = r.attributes().value(kTextNs, QStringLiteral("name")).toString();
            if (name == u"p" || name == u"h") {
                ++paragraph;
            } else if (name == u"bookmark") {
                marks.insert(b, {part, {}});
            } else if (name == u"bookmark-start") {
                marks.insert(b, {part, {}});
                open.insert(b);
            } else if (name == u"bookmark-end") {
                open.remove(b);
            } else if (name == u"s" || name == u"tab" || name == u"line-break") {
                const int c = r.attributes().value(kTextNs, QStringLiteral("c")).toInt();
                const QString add = name == u"s"     ? QString(std::max(c, 1), u' ')
                                    : name == u"tab" ? QStringLiteral("\t")
                                                     : QStringLiteral("\n");
                for (const QString& o : open)
                    marks[o].text += add;
            }
        } else if (r.isEndElement() && text && (r.name() == u"p" || r.name() == u"h")) {
            --paragraph;
        } else if (r.isCharacters() && paragraph > 0) {
            for (const QString& o : open)
                marks[o].text += r.text();
        }
    }
    QVERIFY2(!r.hasError(), qPrintable(part + u' ' + r.errorString()));
}

inline Marks readMarks(const QString& file) {
    Marks marks;
    const PackageReader p(file);
    for (const PackageEntry& e : p.entries()) {
        if (e.name.startsWith(QStringLiteral("word/")) && e.name.endsWith(QStringLiteral(".xml")))
            readWordPart(e.name.mid(5), p.read(e.name), marks);
        else if (e.name == QStringLiteral("content.xml") || e.name == QStringLiteral("styles.xml"))
            readOdfPart(e.name, p.read(e.name), marks);
    }
    return marks;
}

inline int filledCount(const Marks& marks) {
    int n = 0;
    for (const Marked& m : marks)
        n += m.text.isEmpty() ? 0 : 1;
    return n;
}

// ab.ini with a distinct value for everything the letter reads.
inline QByteArray senderIni(int office, const char* bank, const char* country) {
    return "[preferences]\r\noffice=" + QByteArray::number(office) +
           "\r\n[user]\r\nfirstname=Max\r\nname=Mustermann\r\ncompany=Firma\r\n"
           "street=Musterweg 12\r\nzip=12345\r\ncity=Musterstadt\r\ncountry=Absenderland\r\n"
           "tel=030 1234567\r\nfax=030 1234568\r\nmobil=0171 2345678\r\n"
           "mail=max@example.de\r\nwebsite=example.de\r\nbank=Sparkasse\r\n"
           "code=100 500 00\r\naccount=1234567890\r\n"
           "[letter]\r\nadresses=Sehr geehrte Frau Beispiel,\r\n"
           "greetings=Mit freundlichen Grüßen\r\nbank=" +
           QByteArray(bank) + "\r\ncountry=" + QByteArray(country) + "\r\n";
}

inline Record recipient() {
    Record r;
    r[fVorname] = QStringLiteral("Erika");
    r[fName] = QStringLiteral("Beispiel");
    r[fStrasse] = QStringLiteral("Heidestraße");
    r[fNr] = QStringLiteral("17a");
    r[fPLZ] = QStringLiteral("51147");
    r[fWohnort] = QStringLiteral("Köln");
    r[fLand] = QStringLiteral("Österreich");
    r[fTelefon] = QStringLiteral("0221 999"); // not part of a letter
    return r;
}

inline std::function<QString(const QString&)> namedStrings(const char* language) {
    const QStringList lines = selectLanguageLines(scriptForm1(), QString::fromLatin1(language));
    return [lines](const QString& key) { return lookUpString(lines, key); };
}

// Sees what would be started; starts nothing.
struct Launches {
    QStringList programs;      // on the PATH
    bool startSucceeds = true; // startProgram's answer
    bool desktopSucceeds = true;
    QList<QStringList> started; // program + arguments
    QList<QUrl> opened;

    // The letters' folders go with the test.
    ~Launches() {
        for (const QStringList& s : started)
            QDir(QFileInfo(s.last()).path()).removeRecursively();
        for (const QUrl& u : opened)
            QDir(QFileInfo(u.toLocalFile()).path()).removeRecursively();
    }

    LetterLauncher launcher() {
        LetterLauncher l;
        l.findProgram = [this](const QString& name) {
            return programs.contains(name) ? QStringLiteral("/opt/bin/") + name : QString();
        };
        l.startProgram = [this](const QString& program, const QStringList& args) {
            started.append(QStringList{program} + args);
            return startSucceeds;
        };
        l.openWithDesktop = [this](const QUrl& url) {
            opened.append(url);
            return desktopSucceeds;
        };
        return l;
    }
};

// An application folder with the shipped templates.
struct LetterFolder : AppFolder {
    LetterFolder() {
        QDir().mkpath(path() + QStringLiteral("vorlagen"));
        for (const char* t : {"vorlagew.docx", "vorlageoo.ott"})
            QFile::copy(QStringLiteral(KALVENDO_LETTER_TEMPLATES "/") + QString::fromLatin1(t),
                        path() + QStringLiteral("vorlagen/") + QString::fromLatin1(t));
    }
    void setIni(const QByteArray& ini) const { write(QStringLiteral("ab.ini"), ini); }
    QString compose(Launches& launches, const Record& to = recipient(),
                    const char* language = "German") const {
        return composeLetter(path(), to, namedStrings(language), launches.launcher(),
                             QDate(2024, 3, 9));
    }
};

} // namespace kalvendo::test
