// Bound edit fields, the record commands, navigation and the window caption.

#include "RecordsHost.h"

#include <QDateEdit>
#include <QLabel>
#include <QSignalSpy>

using namespace kalvendo;
using namespace kalvendo::test;

class TestRecords : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void namesTabOrderAndLanguage() {
        AppFolder folder;
        RecordsHost host(folder);
        const QStringList expected =
            QStringLiteral("DBEdit1 DBEdit2 DBEdit3 DBEdit4 DBEdit5 DBEdit6 DBEdit7 DBEdit8 "
                           "DBEdit9 DBEdit10 DBEdit12 DBEdit13 DateTimePicker1 DBComboBox1 "
                           "DBEdit14 DBEdit11")
                .split(u' ');
        QStringList named;
        QWidget* w = host.dbEdit(1);
        do {
            if (expected.contains(w->objectName()))
                named << w->objectName();
            w = w->nextInFocusChain();
        } while (w != host.dbEdit(1));
        QCOMPARE(named, expected);
        for (int n = 1; n <= 4; ++n)
            QVERIFY(!host.speedButton(n)->isEnabled());
        QCOMPARE(host.label(8)->text(), QStringLiteral("Telefax::"));
        host.sync.setLanguage(QStringLiteral("English"));
        QCOMPARE(host.label(1)->text(), QStringLiteral("Last name:"));
        QCOMPARE(host.gridPanel->button(3)->text(), QStringLiteral("back"));
        QCOMPARE(host.speedButton(1)->toolTip(), QStringLiteral("Write a letter to..."));
    }

    void newRecordIsSaved_data() {
        QTest::addColumn<QString>("saveBy");
        QTest::newRow("save button") << QStringLiteral("ToolButton3");
        QTest::newRow("next-record button") << QStringLiteral("Button2");
    }
    void newRecordIsSaved() {
        QFETCH(QString, saveBy);
        AppFolder folder;
        insertRecords(folder.data(), {rec("Adler", "Anna"), rec("Berg", "Bernd")});
        RecordsHost host(folder);
        DialogRecorder dialogs;
        QTest::mouseClick(host.newButton, Qt::LeftButton);
        QCOMPARE(host.table->state(), AddressTable::State::Insert);
        QCOMPARE(host.dbEdit(1)->text(), QString()); // the new record shows empty fields
        QTest::keyClicks(host.dbEdit(1), QStringLiteral("Zander"));
        QCOMPARE(host.caption(), QStringLiteral("Kalvendo 2009 -    Zander"));
        QTest::mouseClick(host.window.findChild<QAbstractButton*>(saveBy), Qt::LeftButton);

        QVERIFY(dialogs.shown.isEmpty());
        QCOMPARE(host.table->state(), AddressTable::State::Browse);
        QCOMPARE(host.table->recordCount(), 3);
        QCOMPARE(storedValuesIn(folder.data(), fName),
                 QStringList(
                     {QStringLiteral("Adler"), QStringLiteral("Berg"), QStringLiteral("Zander")}));
        if (saveBy == QStringLiteral("ToolButton3"))
            QCOMPARE(host.panel1(), QStringLiteral("3"));
    }

    void typingIntoEmptyTableStartsRecord() {
        AppFolder folder;
        RecordsHost host(folder);
        DialogRecorder dialogs;
        QTest::keyClicks(host.dbEdit(2), QStringLiteral("Eva"));
        QCOMPARE(host.table->state(), AddressTable::State::Insert);
        QCOMPARE(host.table->fieldValue(fVorname), QStringLiteral("Eva"));
        QTest::mouseClick(host.saveButton, Qt::LeftButton);
        QVERIFY(dialogs.shown.isEmpty());
        QCOMPARE(host.panel1(), QStringLiteral("1"));
    }

    void typingChangesOnlyThatField() {
        AppFolder folder;
        insertRecords(folder.data(), {rec("Adler", "Anna", "Aachen")});
        RecordsHost host(folder);
        QTest::keyClick(host.dbEdit(6), Qt::Key_End);
        QTest::keyClicks(host.dbEdit(6), QStringLiteral("-Ost"));
        QCOMPARE(host.table->state(), AddressTable::State::Edit);
        // The other fields still show the record being changed.
        QCOMPARE(host.dbEdit(1)->text(), QStringLiteral("Adler"));
        QCOMPARE(host.dbEdit(2)->text(), QStringLiteral("Anna"));
        QCOMPARE(host.table->fieldValue(fWohnort), QStringLiteral("Aachen-Ost"));
        QCOMPARE(host.table->fieldValue(fName), QStringLiteral("Adler"));
    }

    // What letters, links and the contact export read: the fields as shown,
    // the edit being typed into included, before anything is saved.
    void shownRecordHoldsUnsavedEdits() {
        AppFolder folder;
        Record stored = rec("Adler", "Anna", "Aachen", "Familie");
        stored[fTsuche] = QStringLiteral("0241");
        insertRecords(folder.data(), {stored});
        RecordsHost host(folder);
        QCOMPARE(host.fields->shownRecord(), stored);
        QTest::keyClick(host.fields->editFor(fWohnort), Qt::Key_End);
        QTest::keyClicks(host.fields->editFor(fWohnort), QStringLiteral("-Ost"));
        QTest::keyClicks(host.fields->editFor(fTelefon), QStringLiteral("0241 / 1"));
        const Record shown = host.fields->shownRecord();
        QCOMPARE(shown[fWohnort], QStringLiteral("Aachen-Ost"));
        QCOMPARE(shown[fTelefon], QStringLiteral("0241 / 1"));
        QCOMPARE(shown[fGruppe], QStringLiteral("Familie"));
        QCOMPARE(shown[fTsuche], QStringLiteral("0241")); // not shown: the record's value
        QCOMPARE(storedValuesIn(folder.data(), fWohnort), QStringList(QStringLiteral("Aachen")));

        // An empty table shows an empty record.
        AppFolder empty;
        RecordsHost none(empty);
        QCOMPARE(none.fields->shownRecord(), Record());
    }

    void deleteRecord_data() {
        QTest::addColumn<int>("records");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("countAfter");
        QTest::newRow("answered No") << 2 << false << QString() << 2;
        QTest::newRow("answered Yes") << 2 << true << QString() << 1;
        QTest::newRow("empty table, Yes")
            << 0 << true << QStringLiteral("Die Datenbank ist bereits leer!") << 0;
    }
    void deleteRecord() {
        QFETCH(int, records);
        QFETCH(bool, yes);
        QFETCH(QString, error);
        QFETCH(int, countAfter);
        AppFolder folder;
        std::vector<Record> rs = {rec("Adler"), rec("Berg")};
        rs.resize(size_t(records));
        insertRecords(folder.data(), rs);
        RecordsHost host(folder);
        DialogRecorder dialogs;
        dialogs.answerNext(yes ? DialogResult::Yes : DialogResult::No);
        QTest::mouseClick(host.deleteButton, Qt::LeftButton);

        QVERIFY(!dialogs.shown.isEmpty());
        QCOMPARE(dialogs.shown.at(0).text, QStringLiteral("Aktuellen Datensatz wirklich löschen?"));
        QCOMPARE(dialogs.shown.at(0).kind, DialogKind::Confirmation);
        QCOMPARE(dialogs.shown.at(0).buttons, DialogButtons::YesNo);
        QCOMPARE(dialogs.shown.size(), error.isEmpty() ? 1 : 2);
        if (!error.isEmpty()) {
            QCOMPARE(dialogs.shown.at(1).text, error);
            QCOMPARE(dialogs.shown.at(1).kind, DialogKind::Error);
            QCOMPARE(dialogs.shown.at(1).buttons, DialogButtons::Ok);
        }
        QCOMPARE(host.table->recordCount(), countAfter);
        QCOMPARE(host.panel1(), QString::number(countAfter));
        if (records == 2 && yes)
            QCOMPARE(host.dbEdit(1)->text(), QStringLiteral("Berg"));
    }

    void saveWithNothingToSave() {
        AppFolder folder;
        insertRecords(folder.data(), {rec("Adler")});
        RecordsHost host(folder);
        DialogRecorder dialogs;
        QTest::mouseClick(host.saveButton, Qt::LeftButton);
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown.at(0).text,
                 QStringLiteral("Keine neuen Daten zum Speichern vorhanden!"));
        QCOMPARE(dialogs.shown.at(0).kind, DialogKind::Information);
        QCOMPARE(dialogs.shown.at(0).buttons, DialogButtons::Ok);
        QCOMPARE(host.table->state(), AddressTable::State::Browse);
    }

    void captionFollowsFields() {
        AppFolder folder;
        insertRecords(folder.data(), {rec("Müller", "Hans"), rec("")});
        RecordsHost host(folder);
        QCOMPARE(host.dbEdit(1)->text(), QString()); // the nameless record comes first
        QTest::mouseClick(host.gridPanel->button(4), Qt::LeftButton);
        QCOMPARE(host.caption(), QStringLiteral("Kalvendo 2009  -   Hans Müller"));
        QTest::keyClick(host.dbEdit(2), Qt::Key_End);
        QTest::keyClicks(host.dbEdit(2), QStringLiteral("i"));
        QCOMPARE(host.caption(), QStringLiteral("Kalvendo 2009  -   Hansi Müller"));
        QTest::keyClick(host.dbEdit(1), Qt::Key_End);
        QTest::keyClicks(host.dbEdit(1), QStringLiteral("s"));
        QCOMPARE(host.caption(), QStringLiteral("Kalvendo 2009 -   Hansi Müllers"));
        // Another record became current: both names are empty there.
        QTest::mouseClick(host.gridPanel->button(1), Qt::LeftButton);
        QCOMPARE(host.dbEdit(1)->text(), QString());
        QVERIFY2(host.caption() == QStringLiteral("Kalvendo 2009 -    ") ||
                     host.caption() == QStringLiteral("Kalvendo 2009  -    "),
                 qPrintable(host.caption()));
    }

    void datePicker_data() {
        QTest::addColumn<bool>("newRecord");
        QTest::newRow("new record") << true;
        QTest::newRow("browsed record") << false;
    }
    void datePicker() {
        QFETCH(bool, newRecord);
        AppFolder folder;
        insertRecords(folder.data(), {rec("Adler", "Anna", "", "", "01.02.1960")});
        RecordsHost host(folder);
        QDateEdit* picker = host.fields->DateTimePicker1();
        QCOMPARE(picker->date(), QDate::currentDate());
        picker->setDate(QDate(2000, 1, 1));
        QCOMPARE(host.dbEdit(13)->text(), QStringLiteral("01.01.2000"));
        host.fields->resetDatePicker(); // as at start-up: not a pick
        QCOMPARE(picker->date(), QDate::currentDate());
        QCOMPARE(host.dbEdit(13)->text(), QStringLiteral("01.01.2000"));
        QCOMPARE(picker->toolTip(), QStringLiteral("Datum auswählen"));
        QVERIFY(picker->calendarPopup());
        DialogRecorder dialogs;
        if (newRecord) {
            QTest::mouseClick(host.newButton, Qt::LeftButton);
            QTest::keyClicks(host.dbEdit(1), QStringLiteral("Berg"));
        }
        picker->setDate(QDate(1971, 5, 7));
        QCOMPARE(host.dbEdit(13)->text(), QStringLiteral("07.05.1971"));
        QTest::mouseClick(host.saveButton, Qt::LeftButton);
        if (newRecord) {
            QVERIFY(dialogs.shown.isEmpty());
            QCOMPARE(storedValuesIn(folder.data(), fGeburtstag),
                     QStringList({QStringLiteral("01.02.1960"), QStringLiteral("07.05.1971")}));
        } else {
            QCOMPARE(dialogs.shown.size(), 1);
            QCOMPARE(dialogs.shown.at(0).text,
                     QStringLiteral("Keine neuen Daten zum Speichern vorhanden!"));
            QCOMPARE(storedValuesIn(folder.data(), fGeburtstag),
                     QStringList(QStringLiteral("01.02.1960")));
            // Typing now changes the record as stored, not the shown date.
            QTest::keyClicks(host.dbEdit(7), QStringLiteral("D"));
            QCOMPARE(host.dbEdit(13)->text(), QStringLiteral("01.02.1960"));
        }
    }

    void fieldWidthLimitsInput_data() {
        QTest::addColumn<int>("edit");
        QTest::addColumn<int>("field");
        QTest::addColumn<int>("width");
        QTest::newRow("name") << 1 << int(fName) << 50;
        QTest::newRow("house number") << 4 << int(fNr) << 8;
        QTest::newRow("postcode") << 5 << int(fPLZ) << 8;
        QTest::newRow("birthday") << 13 << int(fGeburtstag) << 10;
    }
    void fieldWidthLimitsInput() {
        QFETCH(int, edit);
        QFETCH(int, field);
        QFETCH(int, width);
        AppFolder folder;
        RecordsHost host(folder);
        QTest::keyClicks(host.dbEdit(edit), QString(60, u'7'));
        QCOMPARE(host.dbEdit(edit)->text().size(), width);
        QCOMPARE(host.table->fieldValue(field), QString(width, u'7'));
    }

    void groupListWritesGroup() {
        AppFolder folder;
        folder.write(QStringLiteral("group.txt"), "Arbeit\r\nFamilie\r\n");
        insertRecords(folder.data(), {rec("Adler", "", "", "Familie"), rec("Berg", "", "", "Alt")});
        RecordsHost host(folder);
        TDBComboBox* groups = host.fields->DBComboBox1();
        groups->setItems(readTextLines(folder.dataFile(QStringLiteral("group.txt"))));
        QVERIFY(!groups->isEditable());
        QCOMPARE(groups->currentText(), QStringLiteral("Familie"));
        QTest::keyClick(groups, Qt::Key_Up);
        QCOMPARE(host.table->state(), AddressTable::State::Edit);
        QCOMPARE(host.table->fieldValue(fGruppe), QStringLiteral("Arbeit"));
        // A stored group that is not in the list shows as no choice.
        QTest::mouseClick(host.gridPanel->button(2), Qt::LeftButton);
        QCOMPARE(host.dbEdit(1)->text(), QStringLiteral("Berg"));
        QCOMPARE(groups->currentIndex(), -1);
        QCOMPARE(storedValuesIn(folder.data(), fGruppe),
                 QStringList({QStringLiteral("Arbeit"), QStringLiteral("Alt")}));
    }

    void navigationButtons() {
        AppFolder folder;
        insertRecords(folder.data(), {rec("Cäsar"), rec("Adler"), rec("Berg")});
        RecordsHost host(folder);
        auto click = [&](int n) {
            QTest::mouseClick(host.gridPanel->button(n), Qt::LeftButton);
            return host.dbEdit(1)->text();
        };
        QCOMPARE(click(4), QStringLiteral("Cäsar"));
        QCOMPARE(click(2), QStringLiteral("Cäsar")); // at the end nothing happens
        QCOMPARE(click(3), QStringLiteral("Berg"));
        QCOMPARE(click(1), QStringLiteral("Adler"));
        QCOMPARE(click(3), QStringLiteral("Adler"));
        QCOMPARE(click(2), QStringLiteral("Berg"));
        // A changed record is saved by moving on, and takes its place in the order.
        QTest::keyClick(host.dbEdit(1), Qt::Key_Home);
        QTest::keyClicks(host.dbEdit(1), QStringLiteral("Z"));
        QCOMPARE(click(1), QStringLiteral("Adler"));
        QCOMPARE(click(4), QStringLiteral("ZBerg"));
    }

    void phoneFieldsReportLeaving() {
        AppFolder folder;
        insertRecords(folder.data(), {rec("Adler")});
        RecordsHost host(folder);
        host.show();
        host.window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&host.window));
        QSignalSpy left(host.dbEdit(8), &TDBEdit::Exit);
        host.dbEdit(8)->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(host.dbEdit(8)->hasFocus());
        host.dbEdit(9)->setFocus(Qt::TabFocusReason);
        QTRY_COMPARE(left.count(), 1);
        // A key filter sees each typed character first.
        QString seen;
        host.dbEdit(8)->setKeyFilter([&](QChar c) {
            seen += c;
            return c.isDigit() || c == u'\b';
        });
        QTest::keyClicks(host.dbEdit(8), QStringLiteral("0+3a0"));
        QCOMPARE(host.dbEdit(8)->text(), QStringLiteral("030"));
        QTest::keyClick(host.dbEdit(8), Qt::Key_Backspace);
        QTest::keyClick(host.dbEdit(8), Qt::Key_Return);
        QTest::keyClick(host.dbEdit(8), Qt::Key_Home);
        QTest::keyClick(host.dbEdit(8), Qt::Key_Delete);
        QCOMPARE(host.dbEdit(8)->text(), QStringLiteral("3"));
        QCOMPARE(seen, QStringLiteral("0+3a0\b\r"));
    }

    void inactiveTableIsReadOnly() {
        AppFolder folder;
        RecordsHost host(folder);
        CaughtErrors errors;
        host.table->close();
        QTest::keyClicks(host.dbEdit(1), QStringLiteral("x"));
        QCOMPARE(host.dbEdit(1)->text(), QString());
        QVERIFY(errors.classes.isEmpty());
        // Commands on a closed table report through their own messages or the handler.
        DialogRecorder dialogs;
        QTest::mouseClick(host.saveButton, Qt::LeftButton);
        QCOMPARE(dialogs.shown.size(), 1);
        QTest::mouseClick(host.gridPanel->button(2), Qt::LeftButton);
        QCOMPARE(errors.classes, QStringList(QStringLiteral("EDatabaseError")));
    }
};

QTEST_MAIN(TestRecords)
#include "tst_records.moc"
