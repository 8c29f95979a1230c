// The address grid: model over the cursor, header clicks, column widths,
// following the current record, in-place editing, hints and links.

#include "RecordsHost.h"

#include "common/IniFile.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QRandomGenerator>
#include <QToolTip>

using namespace kalvendo;
using namespace kalvendo::test;

namespace {

std::vector<Record> towns() {
    return {rec("Adler", "Anna", "Zwickau", "Familie"), rec("Berg", "Bernd", "Aachen", "Arbeit"),
            rec("Christ", "Clara", "München", "Familie"), rec("Dorn", "Dora", "Bonn", "Verein")};
}

QStringList column(const QAbstractItemModel* m, int c) {
    QStringList out;
    for (int r = 0; r < m->rowCount(); ++r)
        out << m->index(r, c).data().toString();
    return out;
}

QList<int> underlined(const QAbstractItemModel* m) {
    QList<int> out;
    for (int c = 0; c < m->columnCount(); ++c)
        if (m->headerData(c, Qt::Horizontal, Qt::FontRole).value<QFont>().underline())
            out << c;
    return out;
}

void clickHeader(TDBAdvGrid* grid, int c) {
    QHeaderView* h = grid->horizontalHeader();
    QTest::mouseClick(
        h->viewport(), Qt::LeftButton, {},
        QPoint(h->sectionViewportPosition(c) + h->sectionSize(c) / 2, h->height() / 2));
}

QStringList names(std::initializer_list<const char*> list) {
    QStringList out;
    for (const char* n : list)
        out << QString::fromUtf8(n);
    return out;
}

} // namespace

class TestGrid : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void modelFollowsEveryChange() {
        AppFolder folder;
        insertRecords(folder.data(), towns());
        RecordsHost host(folder);
        QAbstractItemModelTester tester(host.grid->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        AddressTable* t = host.table;
        t->insert();
        t->setFieldValue(fName, QStringLiteral("Bach"));
        t->post();
        QCOMPARE(column(host.grid->model(), 1), names({"Adler", "Bach", "Berg", "Christ", "Dorn"}));
        t->first();
        t->edit();
        t->setFieldValue(fName, QStringLiteral("Zeh")); // moves to the end
        t->post();
        QCOMPARE(host.grid->currentIndex().row(), 4);
        t->deleteRecord();
        t->setIndexName(QStringLiteral("WOHNORT"));
        t->setFilter(QStringLiteral("Gruppe = [Familie]"));
        t->setFiltered(true);
        QCOMPARE(host.grid->model()->rowCount(), 1);
        t->setFiltered(false);
        t->refresh();
        QCOMPARE(column(host.grid->model(), 6), names({"", "Aachen", "Bonn", "München"}));
        t->close();
        QCOMPARE(host.grid->model()->rowCount(), 0);
    }

    // Random edits, moves, orders and filters: after each step the grid shows
    // exactly the stored records the filter lets through, in the cursor's
    // order, with the current record under the cursor.
    void randomOperationsKeepGridConsistent() {
        AppFolder folder;
        insertRecords(folder.data(), towns());
        RecordsHost host(folder);
        host.show();
        AddressTable* t = host.table;
        QAbstractItemModel* m = host.grid->model();
        QAbstractItemModelTester tester(m, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QRandomGenerator rng(4711);
        const QStringList groups = {QStringLiteral("Familie"), QStringLiteral("Arbeit")};
        const QStringList sortable = {QStringLiteral("NAME"), QStringLiteral("WOHNORT"),
                                      QStringLiteral("GRUPPE")};
        auto randomText = [&]() -> QString {
            static const char* parts[] = {"Au", "Bö", "ce", "Dä", "eß", "Fo", "gu", ""};
            return QString::fromUtf8(parts[rng.bounded(8)]) +
                   QString::fromUtf8(parts[rng.bounded(8)]);
        };
        for (int step = 0; step < 300; ++step) {
            const int op = int(rng.bounded(9));
            switch (op) {
            case 0:
                t->insert();
                t->setFieldValue(fName, randomText());
                t->setFieldValue(fGruppe, groups[rng.bounded(2)]);
                t->post();
                break;
            case 1:
                if (t->currentRow() >= 0) {
                    t->edit();
                    t->setFieldValue(rng.bounded(2) ? fName : fWohnort, randomText());
                    if (rng.bounded(4) == 0)
                        t->setFieldValue(fGruppe, groups[rng.bounded(2)]);
                    t->post();
                }
                break;
            case 2:
                if (t->currentRow() >= 0 && rng.bounded(2))
                    t->deleteRecord();
                break;
            case 3:
                if (t->rowCount() > 0)
                    t->moveToRow(int(rng.bounded(t->rowCount())));
                break;
            case 4:
                t->setIndexName(sortable[rng.bounded(3)]);
                break;
            case 5:
                t->setFilter(QStringLiteral("Gruppe = [") + groups[rng.bounded(2)] + u']');
                t->setFiltered(rng.bounded(2) == 0);
                break;
            case 6:
                t->refresh();
                break;
            case 7:
                t->locate(QStringLiteral("Name"), randomText().left(2),
                          AddressTable::CaseInsensitive | AddressTable::Partial);
                break;
            default:
                rng.bounded(2) ? t->next() : t->prior();
            }
            QStringList expected;
            const QStringList storedNames = storedValuesIn(folder.data(), fName);
            const QStringList storedGroups = storedValuesIn(folder.data(), fGruppe);
            for (int i = 0; i < storedNames.size(); ++i)
                if (!t->isFiltered() ||
                    t->filter() == QStringLiteral("Gruppe = [") + storedGroups[i] + u']')
                    expected << storedNames[i];
            QStringList shown = column(m, 1);
            QCOMPARE(m->rowCount(), t->rowCount());
            expected.sort();
            QStringList sortedShown = shown;
            sortedShown.sort();
            QCOMPARE(sortedShown, expected);
            for (int r = 0; r < m->rowCount(); ++r)
                QCOMPARE(shown[r], t->value(r, fName));
            QCOMPARE(host.grid->currentIndex().isValid() ? host.grid->currentIndex().row() : -1,
                     t->currentRow());
            if (t->currentRow() >= 0)
                QCOMPARE(host.dbEdit(1)->text(), shown[t->currentRow()]);
        }
    }

    void layoutAndHeaders() {
        AppFolder folder;
        RecordsHost host(folder);
        TDBAdvGrid* g = host.grid;
        QCOMPARE(g->objectName(), QStringLiteral("DBAdvGrid1"));
        QCOMPARE(g->model()->columnCount(), 16);
        QCOMPARE(g->columnWidth(0), 20);
        for (int c = 1; c < 16; ++c)
            QCOMPARE(g->columnWidth(c), 64);
        QCOMPARE(g->verticalHeader()->defaultSectionSize(), 22);
        QCOMPARE(g->horizontalHeader()->height(), 22);
        QCOMPARE(underlined(g->model()), QList<int>({1}));
        g->setUserFieldHeader(QStringLiteral("Geb.:Ort:"));
        auto header = [&](int c) { return g->model()->headerData(c, Qt::Horizontal).toString(); };
        QCOMPARE(header(0), QString());
        QCOMPARE(header(1), QStringLiteral("Name"));
        QCOMPARE(header(6), QStringLiteral("Stadt"));
        QCOMPARE(header(11), QStringLiteral("Geb.Ort"));
        QCOMPARE(header(13), QStringLiteral("Internetseite"));
        host.sync.setLanguage(QStringLiteral("English"));
        QCOMPARE(header(1), QStringLiteral("Last name"));
        QCOMPARE(header(2), QStringLiteral("First name"));
        QCOMPARE(header(11), QStringLiteral("Geb.Ort"));
        // Before any language is chosen the engine gives empty headers.
        TMultilanguage silent(nullptr);
        g->ReadHeaders(silent);
        QCOMPARE(header(1), QString());
        QCOMPARE(header(11), QStringLiteral("Geb.Ort"));
    }

    void sortableHeaders() {
        AppFolder folder;
        insertRecords(folder.data(), towns());
        RecordsHost host(folder);
        host.show();
        QAbstractItemModel* m = host.grid->model();
        QTest::mouseClick(host.gridPanel->button(2), Qt::LeftButton); // Berg is current
        clickHeader(host.grid, 6);                                    // "Stadt"
        QCOMPARE(host.table->indexName(), QStringLiteral("WOHNORT"));
        QCOMPARE(column(m, 6), names({"Aachen", "Bonn", "München", "Zwickau"}));
        QCOMPARE(underlined(m), QList<int>({6}));
        QCOMPARE(host.dbEdit(1)->text(), QStringLiteral("Berg")); // still current
        QCOMPARE(host.grid->currentIndex().row(), 0);
        clickHeader(host.grid, 1);
        QCOMPARE(column(m, 1), names({"Adler", "Berg", "Christ", "Dorn"}));
        QCOMPARE(underlined(m), QList<int>({1}));
        QCOMPARE(host.dbEdit(1)->text(), QStringLiteral("Berg"));
    }

    void otherHeadersDoNothing_data() {
        QTest::addColumn<int>("col");
        for (int c : {0, 4, 7, 8, 9, 10, 12, 13, 14})
            QTest::newRow(qPrintable(QString::number(c))) << c;
    }
    void otherHeadersDoNothing() {
        QFETCH(int, col);
        AppFolder folder;
        insertRecords(folder.data(), towns());
        RecordsHost host(folder);
        host.show();
        clickHeader(host.grid, col);
        QCOMPARE(host.table->indexName(), QStringLiteral("NAME"));
        QCOMPARE(underlined(host.grid->model()), QList<int>({1}));
        QCOMPARE(host.dbEdit(1)->text(), QStringLiteral("Adler"));
    }

    void dataCellClickMakesRowCurrent() {
        AppFolder folder;
        insertRecords(folder.data(), towns());
        RecordsHost host(folder);
        host.show();
        TDBAdvGrid* g = host.grid;
        QTest::keyClicks(host.dbEdit(7), QStringLiteral("DE")); // Adler is being changed
        const QRect cell = g->visualRect(g->model()->index(2, 1));
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(host.dbEdit(1)->text(), QStringLiteral("Christ"));
        QCOMPARE(storedValuesIn(folder.data(), fLand).first(),
                 QStringLiteral("DE")); // saved by the move
        QCOMPARE(host.table->indexName(), QStringLiteral("NAME"));
        // The keyboard moves the record too.
        QTest::keyClick(g, Qt::Key_Down);
        QCOMPARE(host.dbEdit(1)->text(), QStringLiteral("Dorn"));
        // And the grid follows the table.
        QTest::mouseClick(host.gridPanel->button(1), Qt::LeftButton);
        QCOMPARE(g->currentIndex().row(), 0);
    }

    void headerClickSavesChangedRecordFirst() {
        AppFolder folder;
        insertRecords(folder.data(), towns());
        RecordsHost host(folder);
        host.show();
        QTest::keyClick(host.dbEdit(6), Qt::Key_End);
        QTest::keyClicks(host.dbEdit(6), QStringLiteral("-Ost"));
        clickHeader(host.grid, 6);
        QCOMPARE(host.table->state(), AddressTable::State::Browse);
        QVERIFY(storedValuesIn(folder.data(), fWohnort).contains(QStringLiteral("Zwickau-Ost")));
        QCOMPARE(host.dbEdit(1)->text(), QStringLiteral("Adler"));
        QCOMPARE(host.grid->currentIndex().row(), 3);
    }

    void inPlaceEditGoesToTable() {
        AppFolder folder;
        insertRecords(folder.data(), towns());
        RecordsHost host(folder);
        host.show();
        TDBAdvGrid* g = host.grid;
        const QModelIndex cell = g->model()->index(1, 6);
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(cell).center());
        QCOMPARE(host.dbEdit(1)->text(), QStringLiteral("Berg"));
        g->edit(cell);
        auto* editor = g->findChild<QLineEdit*>();
        QVERIFY(editor);
        QCOMPARE(editor->maxLength(), 50);
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("Aalen"));
        // A header click hands the open editor's text to the record before ordering.
        clickHeader(g, 6);
        QCOMPARE(host.dbEdit(6)->text(), QStringLiteral("Aalen"));
        QCOMPARE(column(g->model(), 6), names({"Aalen", "Bonn", "München", "Zwickau"}));
        QVERIFY(storedValuesIn(folder.data(), fWohnort).contains(QStringLiteral("Aalen")));
    }

    void columnWidthsPersist() {
        AppFolder folder;
        const QString ini = folder.dataFile(QStringLiteral("col.ini"));
        {
            RecordsHost host(folder);
            host.grid->setColumnWidth(0, 33);
            host.grid->setColumnWidth(6, 150);
            host.grid->saveColumnWidths(ini);
        }
        QCOMPARE(IniFile(ini).readInteger(QStringLiteral("all"), QStringLiteral("Col6"), 0), 150);
        {
            RecordsHost host(folder);
            host.grid->loadColumnWidths(ini);
            QCOMPARE(host.grid->columnWidth(0), 33);
            QCOMPARE(host.grid->columnWidth(6), 150);
            QCOMPARE(host.grid->columnWidth(7), 64);
        }
        // Absent keys and unusable values keep the design widths.
        folder.write(QStringLiteral("col.ini"),
                     "[all]\r\nCol1=abc\r\nCol2=-5\r\nCol3=0\r\nCol4=90\r\n");
        {
            RecordsHost host(folder);
            host.grid->loadColumnWidths(ini);
            QCOMPARE(host.grid->columnWidth(0), 20);
            for (int c : {1, 2, 3, 5})
                QCOMPARE(host.grid->columnWidth(c), 64);
            QCOMPARE(host.grid->columnWidth(4), 90);
        }
        QVERIFY(QFile::remove(ini));
        {
            RecordsHost host(folder);
            host.grid->loadColumnWidths(ini);
            QCOMPARE(host.grid->columnWidth(0), 20);
            QCOMPARE(host.grid->columnWidth(6), 64);
        }
    }

    void hintForTextThatDoesNotFit() {
        AppFolder folder;
        Record r = rec("Kurz");
        r[fStrasse] = QStringLiteral("Hauptstraße am langen Ende der Stadt");
        insertRecords(folder.data(), {r});
        RecordsHost host(folder);
        const QAbstractItemModel* m = host.grid->model();
        QCOMPARE(host.grid->cellHint(m->index(0, 3)), r[fStrasse]);
        QCOMPARE(host.grid->cellHint(m->index(0, 1)), QString());
        // Hovering shows the hint as a tool tip.
        host.show();
        const QPoint at = host.grid->visualRect(m->index(0, 3)).center();
        QHelpEvent help(QEvent::ToolTip, at, host.grid->viewport()->mapToGlobal(at));
        QApplication::sendEvent(host.grid->viewport(), &help);
        QTRY_COMPARE(QToolTip::text(), r[fStrasse]);
        host.grid->setColumnWidth(3, 600);
        QCOMPARE(host.grid->cellHint(m->index(0, 3)), QString());
    }

    void linkTexts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("link");
        QTest::newRow("web") << QStringLiteral("http://example.org/a?b=c") << true;
        QTest::newRow("www") << QStringLiteral("www.example.org") << true;
        QTest::newRow("mail") << QStringLiteral("anna@example.org") << true;
        QTest::newRow("mailto") << QStringLiteral("mailto:anna@example.org") << true;
        QTest::newRow("name") << QStringLiteral("Anna Adler") << false;
        QTest::newRow("at without domain") << QStringLiteral("a@b") << false;
        QTest::newRow("blank inside") << QStringLiteral("www.a b.de") << false;
        QTest::newRow("empty") << QString() << false;
    }
    void linkTexts() {
        QFETCH(QString, text);
        QFETCH(bool, link);
        QCOMPARE(AddressGridDelegate::looksLikeLink(text), link);
    }

    void linksDrawnBlueAndUnderlined() {
        struct Probe : AddressGridDelegate {
            using AddressGridDelegate::AddressGridDelegate;
            using AddressGridDelegate::initStyleOption;
        };
        AppFolder folder;
        Record r = rec("Adler");
        r[fEmail] = QStringLiteral("anna@example.org");
        r[fHomepage] = QStringLiteral("www.example.org");
        insertRecords(folder.data(), {r});
        RecordsHost host(folder);
        Probe probe;
        for (int c : {1, 12, 13}) {
            QStyleOptionViewItem o;
            probe.initStyleOption(&o, host.grid->model()->index(0, c));
            const bool link = c != 1;
            QCOMPARE(o.font.underline(), link);
            QCOMPARE(o.palette.color(QPalette::Text) == QColor(0, 0, 255), link);
        }
        // Still editable like any cell.
        QVERIFY(host.grid->model()->flags(host.grid->model()->index(0, 12)) & Qt::ItemIsEditable);
    }
};

QTEST_MAIN(TestGrid)
#include "tst_grid.moc"
