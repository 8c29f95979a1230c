#include "app/ErrorLog.h"
#include "app/Help.h"
#include "common/CommandGuard.h"
#include "common/Exception.h"
#include "common/IniFile.h"
#include "common/Launcher.h"
#include "common/LocaleFormat.h"
#include "lang/Multilanguage.h"
#include "lang/Scripts.h"
#include "testsupport/DialogRecorder.h"
#include "testsupport/Files.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

#include <stdexcept>

using namespace kalvendo;
using namespace kalvendo::test;

namespace {

// An application folder with a log that already holds one line, and the main
// window's engine in German.
struct Fixture {
    Fixture() {
        QVERIFY(QDir().mkpath(app() + QStringLiteral("daten")));
        putFile(log(), kOldLine);
        root.setObjectName(QStringLiteral("Form1"));
        engine = new TMultilanguage(&root, QStringLiteral("lng"));
        engine->setScript(scriptForm1());
        engine->Loaded();
        engine->setLanguage(QStringLiteral("German"));
        installAppException(app(), engine);
    }
    ~Fixture() {
        setApplicationExceptionHandler({});
        setExternalOpener({});
    }
    QString app() const { return dir.path() + u'/'; }
    QString log() const { return app() + QStringLiteral("daten/log.txt"); }
    // The lines appended after the old one, split into their five fields.
    QList<QStringList> newLines() const {
        QList<QStringList> out;
        QByteArray bytes = readBytes(log());
        if (!bytes.startsWith(kOldLine))
            return out;
        bytes.remove(0, kOldLine.size());
        if (!bytes.isEmpty() && !bytes.endsWith("\r\n"))
            out.append({QStringLiteral("<no CRLF at the end>")});
        for (const QByteArray& l : bytes.split('\n'))
            if (!l.isEmpty())
                out.append(QString::fromUtf8(l.chopped(1)).split(QStringLiteral("   ")));
        return out;
    }

    static inline const QByteArray kOldLine =
        "01.01.2009   10:00:00   Alte Meldung   EInOutError   Form1\r\n";
    QTemporaryDir dir;
    QObject root;
    TMultilanguage* engine = nullptr;
};

} // namespace

class TestErrorLog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void commandErrorShowsOneDialogAndLogsOneLine() {
        Fixture f;
        DialogRecorder dialogs;
        QObject button;
        button.setObjectName(QStringLiteral("ToolButton3"));
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        guardCommand(&button, []() {
            throw EIniFileException(QStringLiteral("In /x/ab.ini kann nicht geschrieben werden"));
        });
        const QDateTime after = QDateTime::currentDateTime().addSecs(1);

        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown.at(0).kind, DialogKind::Error);
        QCOMPARE(dialogs.shown.at(0).buttons, DialogButtons::Ok);
        QCOMPARE(dialogs.shown.at(0).text,
                 QStringLiteral("Programmfehler Kalvendo (log):\n\rIn /x/ab.ini kann nicht "
                                "geschrieben werden"));
        const QList<QStringList> lines = f.newLines();
        QCOMPARE(lines.size(), 1);
        const QStringList& fields = lines.at(0);
        QCOMPARE(fields.size(), 5);
        const QLocale locale;
        const QDateTime when(locale.toDate(fields.at(0), shortDateFormat()),
                             locale.toTime(fields.at(1), longTimeFormat()));
        QVERIFY2(when >= before && when <= after, qPrintable(fields.join(u'|')));
        QCOMPARE(fields.at(2), QStringLiteral("In /x/ab.ini kann nicht geschrieben werden"));
        QCOMPARE(fields.at(3), QStringLiteral("EIniFileException"));
        QCOMPARE(fields.at(4), QStringLiteral("ToolButton3"));
    }

    void errorsAppendInOrder() {
        Fixture f;
        DialogRecorder dialogs;
        QObject named;
        named.setObjectName(QStringLiteral("Edit1"));
        QObject unnamed;
        guardCommand(&named, []() { throw EInOutError(QStringLiteral("erste")); });
        guardCommand(&unnamed, []() { throw std::runtime_error("zweite"); });
        handleUncaught(nullptr, std::out_of_range("dritte\r\nZeile\x0b\x1b[1mneu"));
        QCOMPARE(dialogs.shown.size(), 3);
        const QList<QStringList> lines = f.newLines();
        QCOMPARE(lines.size(), 3);
        const QStringList tails[3] = {
            {QStringLiteral("erste"), QStringLiteral("EInOutError"), QStringLiteral("Edit1")},
            {QStringLiteral("zweite"), QStringLiteral("std::runtime_error"), QString()},
            // A message with line breaks or other control characters stays on its one line.
            {QStringLiteral("dritte Zeile [1mneu"), QStringLiteral("std::out_of_range"),
             QString()}};
        for (int i = 0; i < 3; ++i)
            QCOMPARE(lines.at(i).mid(2), tails[i]);
    }

    void headingFollowsTheLanguage() {
        Fixture f;
        DialogRecorder dialogs;
        f.engine->setLanguage(QStringLiteral("English"));
        handleUncaught(nullptr, EInOutError(QStringLiteral("x")));
        f.engine->setLanguage(QString());
        handleUncaught(nullptr, EInOutError(QStringLiteral("y")));
        QCOMPARE(dialogs.shown.size(), 2);
        QCOMPARE(dialogs.shown.at(0).text, QStringLiteral("Error Kalvendo (log):\n\rx"));
        // Before a language is active the heading is empty.
        QCOMPARE(dialogs.shown.at(1).text, QStringLiteral("\n\ry"));
    }

    void unwritableLog_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("logged");
        QTest::newRow("log missing: created") << 0 << true;
        QTest::newRow("log is a folder") << 1 << false;
        QTest::newRow("data folder missing") << 2 << false;
    }
    void unwritableLog() {
        QFETCH(int, kind);
        QFETCH(bool, logged);
        Fixture f;
        QFile::remove(f.log());
        if (kind == 1)
            QVERIFY(QDir().mkpath(f.log()));
        if (kind == 2)
            QVERIFY(QDir(f.app() + QStringLiteral("daten")).removeRecursively());
        DialogRecorder dialogs;
        QObject sender;
        sender.setObjectName(QStringLiteral("Form1"));
        guardCommand(&sender, []() { throw EInOutError(QStringLiteral("kaputt")); });
        // The error is shown once, and nothing else: the program goes on.
        QCOMPARE(dialogs.shown.size(), 1);
        QVERIFY(dialogs.shown.at(0).text.endsWith(QStringLiteral("kaputt")));
        const QByteArray log = readBytes(f.log());
        QCOMPARE(log.endsWith("   kaputt   EInOutError   Form1\r\n"), logged);
        QCOMPARE(log.count("\r\n"), logged ? 1 : 0);
    }

    void logDateAndTimeFormats_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany)
                                << QStringLiteral("05.03.2009") << QStringLiteral("07:08:09");
        QTest::newRow("US") << QLocale(QLocale::English, QLocale::UnitedStates)
                            << QStringLiteral("03/05/2009") << QStringLiteral("7:08:09 AM");
        QTest::newRow("British") << QLocale(QLocale::English, QLocale::UnitedKingdom)
                                 << QStringLiteral("05/03/2009") << QStringLiteral("07:08:09");
    }
    void logDateAndTimeFormats() {
        QFETCH(QLocale, locale);
        QFETCH(QString, date);
        QFETCH(QString, time);
        const QDateTime when(QDate(2009, 3, 5), QTime(7, 8, 9));
        const QString line =
            errorlog::line(when, EInOutError(QStringLiteral("m")), QStringLiteral("Form1"), locale);
        QCOMPARE(line, date + QStringLiteral("   ") + time +
                           QStringLiteral("   m   EInOutError   Form1"));
    }

    void mailedLog() {
        Fixture f;
        putFile(f.log(), "01.02.2009   10:00:00   a & b = c?   EInOutError   Form1\r\n"
                         "02.02.2009   11:00:00   50% #1 +x   EDatabaseError   Edit1\r\n"
                         "03.02.2009   12:00:00   \xc3\x9c"
                         "ber   Exception   \r\n");
        QList<QUrl> opened;
        setExternalOpener([&](const QUrl& url) {
            opened << url;
            return true;
        });
        DialogRecorder dialogs;
        QObject menu;
        guardCommand(&menu, [&f]() { mailErrorLog(f.app()); });
        QCOMPARE(dialogs.shown.size(), 0);
        QCOMPARE(opened.size(), 1);
        const QUrl url = opened.at(0);
        QVERIFY(url.isValid());
        QCOMPARE(url.scheme(), QStringLiteral("mailto"));
        QCOMPARE(url.path(), supportMailAddress());
        const QUrlQuery query(url);
        QCOMPARE(query.queryItems().size(), 2);
        QCOMPARE(query.queryItemValue(QStringLiteral("Subject")),
                 QStringLiteral("Fehlerprotokoll"));
        QCOMPARE(query.queryItemValue(QStringLiteral("BODY"), QUrl::FullyDecoded),
                 QString::fromUtf8(readBytes(f.log())));
        // Nothing of the log stands unescaped in the link.
        const QByteArray encoded = url.toEncoded();
        QVERIFY(!encoded.contains(' ') && !encoded.contains('\r') && !encoded.contains('#'));
        QCOMPARE(encoded.count('&'), 1);
    }

    void longLogSendsTheNewestLines() {
        QStringList lines;
        for (int i = 0; i < 5000; ++i)
            lines << QStringLiteral(
                         "01.02.2009   10:00:00   Fehler Nummer %1   EInOutError   Form1")
                         .arg(i);
        const QUrl url = errorLogMailUrl(lines);
        QVERIFY(url.toEncoded().size() <= 30000);
        const QString body =
            QUrlQuery(url).queryItemValue(QStringLiteral("BODY"), QUrl::FullyDecoded);
        QVERIFY(body.endsWith(QStringLiteral("Fehler Nummer 4999   EInOutError   Form1\r\n")));
        QVERIFY(!body.contains(QStringLiteral("Fehler Nummer 0 ")));
        QVERIFY(body.startsWith(QStringLiteral("01.02.2009"))); // whole lines only
    }

    void mailingWithoutLogIsAnError() {
        Fixture f;
        QFile::remove(f.log());
        bool opened = false;
        setExternalOpener([&](const QUrl&) { return opened = true; });
        DialogRecorder dialogs;
        QObject menu;
        menu.setObjectName(QStringLiteral("Errorlogsenden1"));
        guardCommand(&menu, [&f]() { mailErrorLog(f.app()); });
        QVERIFY(!opened);
        QCOMPARE(dialogs.shown.size(), 1);
        // The handler's own line now starts a new log.
        QVERIFY(readBytes(f.log()).endsWith("   EInOutError   Errorlogsenden1\r\n"));
    }
};

QTEST_MAIN(TestErrorLog)
#include "tst_errorlog.moc"
