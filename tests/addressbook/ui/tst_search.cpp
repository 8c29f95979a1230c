// The search in the tool bar and the group filter of the grid's popup menu.

#include "RecordsHost.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QSignalSpy>

using namespace kalvendo;
using namespace kalvendo::test;

namespace {

std::vector<Record> people() {
    Record meier = rec("MEIER", "Jörg", "Berlin", "Familie");
    meier[fEmail] = QStringLiteral("JOERG@example.org");
    Record schmidt = rec("Schmidt", "Anna", "München", "Arbeit");
    schmidt[fTelefon] = QStringLiteral("030 / 12 34");
    schmidt[fDefinierbar] = QStringLiteral("Kollegin");
    Record zander = rec("Zander", "Ute", "Köln", "Familie");
    zander[fPLZ] = QStringLiteral("50667");
    return {meier, schmidt, zander, rec("Haus", "", "", "Haus & Hof")};
}

QStringList entryTexts(QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions())
        out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}

QAction* entry(QMenu* menu, const QString& caption) {
    for (QAction* a : menu->actions())
        if (!a->isSeparator() && a->data().toString() == caption)
            return a;
    return nullptr;
}

} // namespace

class TestSearch : public QObject {
    Q_OBJECT

    // Opens the popup menu the way a right click on the grid does and chooses an entry.
    static void choose(RecordsHost& host, const QString& caption) {
        Q_EMIT host.grid->RightClickCell(QPoint(10, 10));
        QMenu* menu = host.controller->popupMenu();
        QAction* a = entry(menu, caption);
        QVERIFY2(a, qPrintable(caption));
        a->trigger();
        menu->close();
    }

    static void search(RecordsHost& host, int field, const QString& text) {
        host.combo1->setCurrentIndex(field);
        host.edit1->setText(text);
        QTest::mouseClick(host.searchButton, Qt::LeftButton);
    }

private Q_SLOTS:
    void findsBeginningOfField_data() {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("found"); // name of the record found; empty: none
        QTest::newRow("lower case finds capitals") << 0 << QStringLiteral("mei") << "MEIER";
        QTest::newRow("middle of a name") << 0 << QStringLiteral("chmi") << QString();
        QTest::newRow("first name, umlaut") << 1 << QStringLiteral("jö") << "MEIER";
        QTest::newRow("town") << 4 << QStringLiteral("MÜN") << "Schmidt";
        QTest::newRow("postcode") << 3 << QStringLiteral("506") << "Zander";
        QTest::newRow("telephone as entered") << 5 << QStringLiteral("030 /") << "Schmidt";
        QTest::newRow("telephone, prepared form") << 5 << QStringLiteral("03012") << QString();
        QTest::newRow("e-mail") << 7 << QStringLiteral("joerg@") << "MEIER";
        QTest::newRow("user field") << 8 << QStringLiteral("koll") << "Schmidt";
        QTest::newRow("not trimmed") << 0 << QStringLiteral(" mei") << QString();
    }
    void findsBeginningOfField() {
        QFETCH(int, field);
        QFETCH(QString, text);
        QFETCH(QString, found);
        AppFolder folder;
        insertRecords(folder.data(), people());
        RecordsHost host(folder);
        DialogRecorder dialogs;
        QTest::mouseClick(host.gridPanel->button(4), Qt::LeftButton); // Zander
        search(host, field, text);
        QVERIFY(dialogs.shown.isEmpty());
        QCOMPARE(host.dbEdit(1)->text(), found.isEmpty() ? QStringLiteral("Zander") : found);
    }

    void enterInSearchFieldSearches() {
        AppFolder folder;
        insertRecords(folder.data(), people());
        RecordsHost host(folder);
        host.combo1->setCurrentIndex(0);
        QSignalSpy returns(host.edit1, &QLineEdit::returnPressed);
        QTest::keyClicks(host.edit1, QStringLiteral("schm"));
        QTest::keyClick(host.edit1, Qt::Key_Return);
        QCOMPARE(host.dbEdit(1)->text(), QStringLiteral("Schmidt"));
        QCOMPARE(returns.count(), 0); // the field never saw the Enter
        QCOMPARE(host.edit1->text(), QStringLiteral("schm"));
    }

    void leavingSearchFieldClearsGridMarks() {
        AppFolder folder;
        insertRecords(folder.data(), people());
        RecordsHost host(folder);
        QAbstractItemModel* m = host.grid->model();
        host.grid->selectionModel()->select(QItemSelection(m->index(0, 1), m->index(2, 3)),
                                            QItemSelectionModel::Select);
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(host.edit1, &out);
        QVERIFY(!host.grid->selectionModel()->hasSelection());
    }

    void emptyTextOrNoFieldChosen() {
        AppFolder folder;
        insertRecords(folder.data(), people());
        RecordsHost host(folder);
        DialogRecorder dialogs;
        search(host, 0, QString());
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown.at(0).text, QStringLiteral("Kein Suchbegriff eingegeben!"));
        QCOMPARE(dialogs.shown.at(0).kind, DialogKind::Warning);
        QCOMPARE(dialogs.shown.at(0).buttons, DialogButtons::Ok);
        search(host, -1, QStringLiteral("Zan"));
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(host.dbEdit(1)->text(), QStringLiteral("Haus"));
    }

    void anySearchTextIsSafe_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("very long") << QString(100000, u'x');
        QTest::newRow("SQL wildcards") << QStringLiteral("%_%");
        QTest::newRow("quotes") << QStringLiteral("'\"); DROP TABLE adressen; --");
        QTest::newRow("brackets") << QStringLiteral("]Gruppe = [");
        QTest::newRow("NUL inside") << QString::fromUtf16(u"Zan\u0000der", 7);
        QTest::newRow("lone surrogate") << QString(QChar(0xD800));
        QTest::newRow("emoji") << QStringLiteral("\U0001F600");
        QTest::newRow("regex") << QStringLiteral(".*");
    }
    void anySearchTextIsSafe() {
        QFETCH(QString, text);
        AppFolder folder;
        insertRecords(folder.data(), people());
        RecordsHost host(folder);
        DialogRecorder dialogs;
        CaughtErrors errors;
        for (int field = 0; field < 9; ++field)
            search(host, field, text);
        QVERIFY(dialogs.shown.isEmpty());
        QVERIFY(errors.classes.isEmpty());
        QCOMPARE(host.dbEdit(1)->text(), QStringLiteral("Haus"));
        QCOMPARE(host.table->recordCount(), 4);
    }

    void popupListsGroups() {
        AppFolder folder;
        folder.write(QStringLiteral("group.txt"), "Familie\r\nHaus & Hof\r\n");
        RecordsHost host(folder);
        Q_EMIT host.grid->RightClickCell(QPoint(10, 10));
        QMenu* menu = host.controller->popupMenu();
        QTRY_VERIFY(menu->isVisible());
        QCOMPARE(entryTexts(menu),
                 QStringList({QStringLiteral("Alle Gruppen"), QStringLiteral("-"),
                              QStringLiteral("Familie"), QStringLiteral("Haus && Hof")}));
        QCOMPARE(menu->actions().at(3)->toolTip(), QStringLiteral("Haus & Hof"));
        menu->close();
        // Rebuilt from the file at each opening.
        folder.write(QStringLiteral("group.txt"), "Verein\r\n");
        Q_EMIT host.grid->RightClickCell(QPoint(10, 10));
        QCOMPARE(entryTexts(menu), QStringList({QStringLiteral("Alle Gruppen"), QStringLiteral("-"),
                                                QStringLiteral("Verein")}));
        menu->close();
    }

    void groupFilterNarrowsEverything() {
        AppFolder folder;
        folder.write(QStringLiteral("group.txt"), "Familie\r\nArbeit\r\nHaus & Hof\r\n");
        insertRecords(folder.data(), people());
        RecordsHost host(folder);
        DialogRecorder dialogs;
        const QByteArray preferences = folder.read(QStringLiteral("ab.ini"));
        choose(host, QStringLiteral("Familie"));
        QVERIFY(host.table->isFiltered());
        // The choice lives in the table only: the next start uses the preferences.
        QCOMPARE(folder.read(QStringLiteral("ab.ini")), preferences);
        QCOMPARE(host.grid->model()->rowCount(), 2);
        QCOMPARE(host.panel1(), QStringLiteral("2"));
        // Schmidt is in another group: not found, nothing moves.
        const QString before = host.dbEdit(1)->text();
        search(host, 0, QStringLiteral("schmidt"));
        QCOMPARE(host.dbEdit(1)->text(), before);
        // The next save shows the count of all records again.
        QTest::keyClicks(host.dbEdit(7), QStringLiteral("DE"));
        QTest::mouseClick(host.saveButton, Qt::LeftButton);
        QVERIFY(dialogs.shown.isEmpty());
        QCOMPARE(host.panel1(), QStringLiteral("4"));
        // An ampersand is part of the group name.
        choose(host, QStringLiteral("Haus & Hof"));
        QCOMPARE(host.grid->model()->rowCount(), 1);
        QCOMPARE(host.dbEdit(1)->text(), QStringLiteral("Haus"));
    }

    void allGroupsEntryClearsFilter_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("caption");
        QTest::newRow("German") << QStringLiteral("German") << QStringLiteral("Alle Gruppen");
        QTest::newRow("Italian") << QStringLiteral("Italian") << QStringLiteral("Tutti i gruppi");
        QTest::newRow("English line of group.txt under German")
            << QStringLiteral("German") << QStringLiteral("All groups");
    }
    void allGroupsEntryClearsFilter() {
        QFETCH(QString, language);
        QFETCH(QString, caption);
        AppFolder folder;
        folder.write(QStringLiteral("group.txt"), "Familie\r\nAll groups\r\n");
        insertRecords(folder.data(), people());
        RecordsHost host(folder);
        host.sync.setLanguage(language);
        choose(host, QStringLiteral("Familie"));
        QCOMPARE(host.grid->model()->rowCount(), 2);
        choose(host, caption);
        QVERIFY(!host.table->isFiltered());
        QCOMPARE(host.grid->model()->rowCount(), 4);
        QCOMPARE(host.panel1(), QStringLiteral("4"));
    }

    void unusableGroupNameChangesNothing() {
        AppFolder folder;
        folder.write(QStringLiteral("group.txt"), "Familie\r\nA]B\r\n");
        insertRecords(folder.data(), people());
        RecordsHost host(folder);
        choose(host, QStringLiteral("Familie"));
        CaughtErrors errors;
        choose(host, QStringLiteral("A]B"));
        QCOMPARE(errors.classes, QStringList(QStringLiteral("EDatabaseError")));
        QCOMPARE(host.table->filter(), QStringLiteral("Gruppe = [Familie]"));
        QCOMPARE(host.grid->model()->rowCount(), 2);
        QCOMPARE(host.panel1(), QStringLiteral("2"));
    }

    void missingGroupListOpensNoMenu() {
        AppFolder folder;
        RecordsHost host(folder);
        QFile::remove(folder.dataFile(QStringLiteral("group.txt")));
        CaughtErrors errors;
        Q_EMIT host.grid->RightClickCell(QPoint(10, 10));
        QCOMPARE(errors.classes, QStringList(QStringLiteral("EInOutError")));
        QVERIFY(!host.controller->popupMenu()->isVisible());
    }

    void rightClickAnywhereOpensMenu() {
        AppFolder folder;
        insertRecords(folder.data(), people());
        RecordsHost host(folder);
        host.show();
        QSignalSpy clicks(host.grid, &TDBAdvGrid::RightClickCell);
        for (QWidget* w : {static_cast<QWidget*>(host.grid->viewport()),
                           host.grid->horizontalHeader()->viewport()}) {
            QContextMenuEvent ev(QContextMenuEvent::Mouse, QPoint(30, 10),
                                 w->mapToGlobal(QPoint(30, 10)));
            QApplication::sendEvent(w, &ev);
        }
        QCOMPARE(clicks.count(), 2);
        QTRY_VERIFY(host.controller->popupMenu()->isVisible());
        host.controller->popupMenu()->close();
    }
};

QTEST_MAIN(TestSearch)
#include "tst_search.moc"
