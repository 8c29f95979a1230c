#include "lang/Script.h"

#include <QTest>

using namespace kalvendo;

class TestLangScript : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void parseLine_data();
    void parseLine();
    void sectionName_data();
    void sectionName();
    void selectLines_data();
    void selectLines();
    void lookUp_data();
    void lookUp();
    void listLanguages();
};

void TestLangScript::parseLine_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("quoted") << QStringLiteral("Label1.Caption = 'Name:'")
                            << QStringLiteral("Label1.Caption") << QStringLiteral("Name:");
    QTest::newRow("unquoted, trimmed")
        << QStringLiteral("  Label1.Caption   =   Name:  ") << QStringLiteral("Label1.Caption")
        << QStringLiteral("Name:");
    QTest::newRow("quotes inside kept")
        << QStringLiteral("StatusBar1.Panels[0].Text = 'Nombre d'enregistrements:'")
        << QStringLiteral("StatusBar1.Panels[0].Text")
        << QStringLiteral("Nombre d'enregistrements:");
    QTest::newRow("blank inside quotes kept")
        << QStringLiteral("bank = 'Bankverbindung: '") << QStringLiteral("bank")
        << QStringLiteral("Bankverbindung: ");
    QTest::newRow("opening quote only")
        << QStringLiteral("x = 'abc") << QStringLiteral("x") << QStringLiteral("'abc");
    QTest::newRow("closing quote only")
        << QStringLiteral("x = abc'") << QStringLiteral("x") << QStringLiteral("abc'");
    QTest::newRow("lone quote") << QStringLiteral("x = '") << QStringLiteral("x") << QString();
    QTest::newRow("empty quotes") << QStringLiteral("x = ''") << QStringLiteral("x") << QString();
    QTest::newRow("no value") << QStringLiteral("x =") << QStringLiteral("x") << QString();
    QTest::newRow("backslash n") << QStringLiteral("ComboBox1.Items = 'Name\\nVorname\\n'")
                                 << QStringLiteral("ComboBox1.Items")
                                 << QStringLiteral("Name\r\nVorname\r\n");
    QTest::newRow("first = splits")
        << QStringLiteral("x = 'a = b'") << QStringLiteral("x") << QStringLiteral("a = b");
    QTest::newRow("no =") << QStringLiteral("  Label1.Caption 'Name:'  ") << QString()
                          << QStringLiteral("Label1.Caption 'Name:'");
    QTest::newRow("empty key") << QStringLiteral("= 'v'") << QString() << QStringLiteral("v");
    QTest::newRow("control chars trimmed") << QStringLiteral("\t\x01key\x1f = \x02'v'\x7f")
                                           << QStringLiteral("key") << QStringLiteral("'v'\x7f");
    QTest::newRow("no-break space is text")
        << QStringLiteral("x = v\u00a0") << QStringLiteral("x") << QStringLiteral("v\u00a0");
}

void TestLangScript::parseLine() {
    QFETCH(QString, line);
    QFETCH(QString, key);
    QFETCH(QString, value);
    const ScriptEntry e = parseScriptLine(line);
    QCOMPARE(e.key, key);
    QCOMPARE(e.value, value);
}

void TestLangScript::sectionName_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("isSection");
    QTest::newRow("plain") << QStringLiteral("[German]") << QStringLiteral("German") << true;
    QTest::newRow("up to first ]") << QStringLiteral("[Ger]man]x") << QStringLiteral("Ger") << true;
    QTest::newRow("no ]") << QStringLiteral("[German") << QString() << true;
    QTest::newRow("empty") << QStringLiteral("[]") << QString() << true;
    QTest::newRow("blanks kept") << QStringLiteral("[ German ]") << QStringLiteral(" German ")
                                 << true;
    QTest::newRow("entry") << QStringLiteral("German = 'x'") << QString() << false;
}

void TestLangScript::sectionName() {
    QFETCH(QString, line);
    QFETCH(QString, name);
    QFETCH(bool, isSection);
    const QString got = kalvendo::sectionName(line);
    QCOMPARE(!got.isNull(), isSection);
    QCOMPARE(got, isSection ? name : QString());
}

void TestLangScript::selectLines_data() {
    const QStringList script{
        QStringLiteral("a = 'before any section'"),
        QStringLiteral("  [German]  "),
        QStringLiteral("; Label1.Caption = 'comment'"),
        QStringLiteral("   Label1.Caption = 'Name:'   "),
        QStringLiteral(""),
        QStringLiteral("   "),
        QStringLiteral("errormsg = 'Programmfehler'"),
        QStringLiteral("[English]"),
        QStringLiteral("Label1.Caption = 'Last name:'"),
        QStringLiteral("[Ünicode]"),
        QStringLiteral("u = 'ü'"),
        QStringLiteral("[German"), // no "]": the empty-name section again
        QStringLiteral("b = 'after broken header'"),
    };
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<QString>("language");
    QTest::addColumn<QStringList>("selected");
    const QStringList german{QStringLiteral("Label1.Caption = 'Name:'"),
                             QStringLiteral("errormsg = 'Programmfehler'")};
    QTest::newRow("exact") << script << QStringLiteral("German") << german;
    QTest::newRow("lower case") << script << QStringLiteral("german") << german;
    QTest::newRow("upper case") << script << QStringLiteral("GERMAN") << german;
    QTest::newRow("other section") << script << QStringLiteral("English")
                                   << QStringList{QStringLiteral("Label1.Caption = 'Last name:'")};
    QTest::newRow("unknown") << script << QStringLiteral("Klingon") << QStringList();
    QTest::newRow("empty name: lines outside named sections")
        << script << QString()
        << QStringList{QStringLiteral("a = 'before any section'"),
                       QStringLiteral("b = 'after broken header'")};
    QTest::newRow("only A-Z folded, same spelling")
        << script << QStringLiteral("Ünicode") << QStringList{QStringLiteral("u = 'ü'")};
    QTest::newRow("only A-Z folded, other case")
        << script << QStringLiteral("üNICODE") << QStringList();
}

void TestLangScript::selectLines() {
    QFETCH(QStringList, script);
    QFETCH(QString, language);
    QFETCH(QStringList, selected);
    QCOMPARE(selectLanguageLines(script, language), selected);
}

void TestLangScript::lookUp_data() {
    const QStringList lines{
        QStringLiteral("Label1 without equals"),
        QStringLiteral("errormsg = 'Programmfehler Kalvendo (log):'"),
        QStringLiteral("Info1.Caption = Info"),
        QStringLiteral("errormsg = 'second'"),
        QStringLiteral("= 'empty key'"),
    };
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("named string") << lines << QStringLiteral("errormsg")
                                  << QStringLiteral("Programmfehler Kalvendo (log):");
    QTest::newRow("property key") << lines << QStringLiteral("Info1.Caption")
                                  << QStringLiteral("Info");
    QTest::newRow("case-sensitive") << lines << QStringLiteral("ErrorMsg") << QString();
    QTest::newRow("missing") << lines << QStringLiteral("varGroup") << QString();
    QTest::newRow("empty key finds nothing") << lines << QString() << QString();
    QTest::newRow("line without = not found")
        << lines << QStringLiteral("Label1 without equals") << QString();
}

void TestLangScript::lookUp() {
    QFETCH(QStringList, lines);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QCOMPARE(lookUpString(lines, key), value);
}

void TestLangScript::listLanguages() {
    const QStringList script{QStringLiteral("[German]"),  QStringLiteral("a = 1"),
                             QStringLiteral("[English]"), QStringLiteral("[german]"),
                             QStringLiteral("[French]"),  QStringLiteral("; [Spanish]"),
                             QStringLiteral("[ENGLISH]"), QStringLiteral("  [Italian]")};
    QStringList list{QStringLiteral("FRENCH")};
    ListLanguages(script, list);
    QCOMPARE(list, (QStringList{QStringLiteral("FRENCH"), QStringLiteral("German"),
                                QStringLiteral("English"), QStringLiteral("Italian")}));
}

QTEST_APPLESS_MAIN(TestLangScript)
#include "tst_langscript.moc"
