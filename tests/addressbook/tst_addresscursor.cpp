#include "StoreTestUtil.h"

#include "addressbook/AddressTable.h"
#include "addressbook/DatabaseError.h"

#include <QAbstractItemModelTester>
#include <QAbstractTableModel>
#include <QSignalSpy>
#include <QTest>

using namespace kalvendo;
using kalvendo::test::person;
using kalvendo::test::TableFolder;
using kalvendo::test::verifyFiles;
using Opt = AddressTable::LocateOption;

namespace {

// A grid model that follows the cursor only through its signals; checked by
// Qt's model tester and compared with the cursor's rows.
class ShadowModel : public QAbstractTableModel {
public:
    explicit ShadowModel(AddressTable* t) : m_t(t) {
        rebuild();
        connect(t, &AddressTable::orderAboutToBeReset, this, [this] { beginResetModel(); });
        connect(t, &AddressTable::orderReset, this, [this] {
            rebuild();
            endResetModel();
        });
        connect(t, &AddressTable::rowAboutToBeInserted, this,
                [this](int r) { beginInsertRows({}, r, r); });
        connect(t, &AddressTable::rowInserted, this, [this](int r) {
            m_names.insert(r, m_t->value(r, fName));
            endInsertRows();
        });
        connect(t, &AddressTable::rowAboutToBeRemoved, this,
                [this](int r) { beginRemoveRows({}, r, r); });
        connect(t, &AddressTable::rowRemoved, this, [this](int r) {
            m_names.removeAt(r);
            endRemoveRows();
        });
        connect(t, &AddressTable::rowAboutToBeMoved, this, [this](int from, int to) {
            QVERIFY(beginMoveRows({}, from, from, {}, to > from ? to + 1 : to));
        });
        connect(t, &AddressTable::rowMoved, this, [this](int from, int to) {
            m_names.move(from, to);
            endMoveRows();
        });
        connect(t, &AddressTable::rowChanged, this, [this](int r) {
            m_names[r] = m_t->value(r, fName);
            Q_EMIT dataChanged(index(r, 0), index(r, 0));
        });
    }
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_names.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : 1;
    }
    QVariant data(const QModelIndex& i, int role) const override {
        return role == Qt::DisplayRole ? QVariant(m_names.at(i.row())) : QVariant();
    }
    const QStringList& names() const { return m_names; }

private:
    void rebuild() {
        m_names.clear();
        for (int r = 0; r < m_t->rowCount(); ++r)
            m_names << m_t->value(r, fName);
    }
    AddressTable* m_t;
    QStringList m_names;
};

QStringList rows(const AddressTable& t, int field = fName) {
    QStringList out;
    for (int r = 0; r < t.rowCount(); ++r)
        out << t.value(r, field);
    return out;
}

// Names in navigation order, from first() to eof().
QStringList walk(AddressTable& t, int field = fName) {
    QStringList out;
    t.first();
    while (!t.eof()) {
        out << t.fieldValue(field);
        t.next();
    }
    return out;
}

void openOn(AddressTable& t, const TableFolder& folder) {
    t.connectFolder(folder.path());
    t.open();
}

void addPosted(AddressTable& t, const Record& r) {
    t.insert();
    for (int i = 0; i < kFieldCount; ++i)
        t.setFieldValue(i, r[i]);
    t.post();
}

// Runs a named table operation; shared by the tables of cases below.
void runOp(AddressTable& t, const QString& op) {
    if (op == u"first")
        t.first();
    else if (op == u"last")
        t.last();
    else if (op == u"next")
        t.next();
    else if (op == u"prior")
        t.prior();
    else if (op == u"locate")
        t.locate(QStringLiteral("Name"), QStringLiteral("Abel"));
    else if (op == u"moveToRow")
        t.moveToRow(2);
    else if (op == u"setIndexName")
        t.setIndexName(QStringLiteral("VORNAME"));
    else if (op == u"refresh")
        t.refresh();
    else if (op == u"setFiltered")
        t.setFiltered(true);
    else if (op == u"insert")
        t.insert();
    else if (op == u"edit")
        t.edit();
    else if (op == u"post")
        t.post();
    else if (op == u"delete")
        t.deleteRecord();
    else if (op == u"recordCount")
        t.recordCount();
    else if (op == u"fieldValue")
        t.fieldValue(0);
    else if (op == u"setFieldValue")
        t.setFieldValue(0, QStringLiteral("x"));
    else
        QFAIL("unknown operation");
}

bool contains(const std::map<qint64, Record>& records, const QString& name) {
    for (const auto& [id, r] : records) {
        if (r[fName] == name)
            return true;
    }
    return false;
}

} // namespace

class TstAddressCursor : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void emptyTable();
    void closedTableRefusesOperations_data();
    void closedTableRefusesOperations();
    void insertedRecordsFollowNameOrder();
    void walkEnds();
    void fieldsByPositionAndName();
    void valuesAreCutToWidth_data();
    void valuesAreCutToWidth();
    void settingFieldWhileBrowsingFails();
    void movingWhileEditing_data();
    void movingWhileEditing();
    void deleteMovesToNeighbour();
    void filterRestrictsViewNotCount();
    void badFilterKeepsPreviousFilter();
    void locate_data();
    void locate();
    void indexSwitchKeepsCurrent();
    void signalsFollowWritesWithoutReset();
    void settingsSurviveCloseAndOpen();
    void refreshRereadsTable();
    void appendedBatchJoinsOrder();
    void gridValues();
};

void TstAddressCursor::emptyTable() {
    TableFolder folder;
    AddressTable t;
    openOn(t, folder);
    QCOMPARE(t.state(), AddressTable::State::Browse);
    QCOMPARE(t.recordCount(), 0);
    QCOMPARE(t.rowCount(), 0);
    QCOMPARE(t.currentRow(), -1);
    QVERIFY(t.eof());
    QVERIFY(t.bof());
    QCOMPARE(t.fieldCount(), 17);
    for (int i = 0; i < t.fieldCount(); ++i)
        QCOMPARE(t.fieldValue(i), QString());
    t.first();
    t.next();
    t.prior();
    t.last();
    QVERIFY(t.eof());
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, t.deleteRecord());
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, t.post());
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, t.edit());
    QVERIFY(!t.locate(QStringLiteral("Name"), QString(), Opt::Partial));
    QCOMPARE(t.state(), AddressTable::State::Browse);
    QCOMPARE(t.recordCount(), 0);

    t.insert();
    QCOMPARE(t.state(), AddressTable::State::Insert);
    t.cancel();
    QCOMPARE(t.state(), AddressTable::State::Browse);
    QCOMPARE(t.recordCount(), 0);
}

void TstAddressCursor::closedTableRefusesOperations_data() {
    QTest::addColumn<QString>("op");
    for (const char* op :
         {"first", "last", "next", "prior", "locate", "moveToRow", "refresh", "insert", "edit",
          "post", "delete", "recordCount", "fieldValue", "setFieldValue"})
        QTest::newRow(op) << QString::fromLatin1(op);
}

void TstAddressCursor::closedTableRefusesOperations() {
    QFETCH(QString, op);
    TableFolder folder;
    folder.add({person(QStringLiteral("Abel"))});
    AddressTable t;
    t.connectFolder(folder.path());
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, runOp(t, op));
    t.open();
    t.close();
    QVERIFY(!t.isActive());
    QCOMPARE(t.state(), AddressTable::State::Inactive);
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, runOp(t, op));
    QVERIFY(t.eof());
    QCOMPARE(t.rowCount(), 0);
    QCOMPARE(t.value(0, fName), QString());

    AddressTable unconnected;
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, unconnected.open());
}

void TstAddressCursor::insertedRecordsFollowNameOrder() {
    TableFolder folder;
    AddressTable t;
    openOn(t, folder);
    const std::vector<std::pair<QString, QString>> inserted = {
        {QStringLiteral("Zander"), {}},
        {QStringLiteral("Müller"), {}},
        {QStringLiteral("Abel"), {}},
        {QStringLiteral("Ärger"), {}},
        {QStringLiteral("Schmidt"), QStringLiteral("Erster")},
        {QStringLiteral("Mueller"), {}},
        {QStringLiteral("müller"), {}},
        {QStringLiteral("Bauer"), {}},
        {QStringLiteral("Schmidt"), QStringLiteral("Zweiter")},
        {QString(), QStringLiteral("ohne Namen")},
    };
    for (const auto& [name, vorname] : inserted) {
        t.insert();
        t.setFieldByName(QStringLiteral("Name"), name);
        t.setFieldByName(QStringLiteral("Vorname"), vorname);
        t.post();
        // The posted record stays current, at its place in the order.
        QCOMPARE(t.state(), AddressTable::State::Browse);
        QCOMPARE(t.fieldValue(fName), name);
        QCOMPARE(t.fieldValue(fVorname), vorname);
        QCOMPARE(t.value(t.currentRow(), fVorname), vorname);
    }
    QCOMPARE(t.recordCount(), qint64(inserted.size()));
    // German order: umlauts with their base letters, lower case before upper
    // case, equal names in the order they were added.
    const QStringList expected = {QString(),
                                  QStringLiteral("Abel"),
                                  QStringLiteral("Ärger"),
                                  QStringLiteral("Bauer"),
                                  QStringLiteral("Mueller"),
                                  QStringLiteral("müller"),
                                  QStringLiteral("Müller"),
                                  QStringLiteral("Schmidt"),
                                  QStringLiteral("Schmidt"),
                                  QStringLiteral("Zander")};
    QCOMPARE(walk(t), expected);
    QCOMPARE(rows(t), expected);
    QCOMPARE(rows(t, fVorname).mid(7, 2),
             (QStringList{QStringLiteral("Erster"), QStringLiteral("Zweiter")}));

    // The same order again from the files.
    AddressTable reopened;
    openOn(reopened, folder);
    QCOMPARE(walk(reopened), expected);
    QVERIFY(!reopened.indexRebuilt());
    const QString problem = verifyFiles(folder.path());
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void TstAddressCursor::walkEnds() {
    TableFolder folder;
    folder.add({person(QStringLiteral("Abel")), person(QStringLiteral("Meier")),
                person(QStringLiteral("Zander"))});
    AddressTable t;
    openOn(t, folder);
    QCOMPARE(t.fieldValue(fName), QStringLiteral("Abel"));
    QVERIFY(!t.eof());
    t.prior();
    QVERIFY(t.bof());
    QCOMPARE(t.fieldValue(fName), QStringLiteral("Abel"));
    t.next();
    QVERIFY(!t.bof());
    QCOMPARE(t.fieldValue(fName), QStringLiteral("Meier"));
    t.last();
    QVERIFY(!t.eof());
    QCOMPARE(t.currentRow(), 2);
    t.next();
    QVERIFY(t.eof());
    QCOMPARE(t.fieldValue(fName), QStringLiteral("Zander"));
    t.prior();
    QVERIFY(!t.eof());
    QCOMPARE(t.fieldValue(fName), QStringLiteral("Meier"));
}

void TstAddressCursor::fieldsByPositionAndName() {
    TableFolder folder;
    AddressTable t;
    openOn(t, folder);
    t.append();
    for (int i = 0; i < 17; ++i)
        t.setFieldValue(i, QStringLiteral("v%1").arg(i));
    t.post();

    AddressTable reopened;
    openOn(reopened, folder);
    for (int i = 0; i < 17; ++i) {
        QCOMPARE(reopened.fieldValue(i), QStringLiteral("v%1").arg(i));
        QCOMPARE(reopened.fieldByName(fieldName(i)), QStringLiteral("v%1").arg(i));
        QCOMPARE(reopened.fieldByName(fieldName(i).toUpper()), QStringLiteral("v%1").arg(i));
    }
    QCOMPARE(reopened.fieldByName(QStringLiteral("nr.")), QStringLiteral("v3"));
    QCOMPARE(reopened.fieldByName(QStringLiteral("TSUCHE")), QStringLiteral("v15"));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, reopened.fieldByName(QStringLiteral("Nr")));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, reopened.fieldByName(QStringLiteral("Strasse ")));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, reopened.fieldValue(-1));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, reopened.fieldValue(17));
    reopened.edit();
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, reopened.setFieldValue(17, QString()));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError,
                             reopened.setFieldByName(QStringLiteral("Ort"), QString()));
    reopened.setFieldByName(QStringLiteral("hSuche"), QStringLiteral("neu"));
    QCOMPARE(reopened.fieldValue(16), QStringLiteral("neu"));
}

void TstAddressCursor::valuesAreCutToWidth_data() {
    QTest::addColumn<int>("pos");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("stored");
    for (int i = 0; i < kFieldCount; ++i) {
        const int w = fieldWidth(i);
        QTest::addRow("%s too long", fieldDef(i).name)
            << i << QString(w + 3, u'ä') << QString(w, u'ä');
        QTest::addRow("%s exactly wide", fieldDef(i).name)
            << i << QString(w, u'x') << QString(w, u'x');
    }
    const QString smiley = QString::fromUtf8("\xF0\x9F\x98\x80"); // one character, two units
    QTest::newRow("pair not split at the cut")
        << int(fNr) << QStringLiteral("1234567") + smiley << QStringLiteral("1234567");
    QTest::newRow("pair inside the width")
        << int(fNr) << QStringLiteral("12") + smiley << QStringLiteral("12") + smiley;
    QTest::newRow("lone surrogate replaced")
        << int(fName) << QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b")
        << QString::fromUtf8(
               QString(QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b")).toUtf8());
}

void TstAddressCursor::valuesAreCutToWidth() {
    QFETCH(int, pos);
    QFETCH(QString, value);
    QFETCH(QString, stored);
    TableFolder folder;
    AddressTable t;
    openOn(t, folder);
    t.insert();
    t.setFieldValue(pos, value);
    QCOMPARE(t.fieldValue(pos), stored);
    t.post();
    QVERIFY(!stored.contains(QChar(0xD800)));

    AddressTable reopened;
    openOn(reopened, folder);
    QCOMPARE(reopened.fieldValue(pos), stored);
    // What was stored is what the index was built from: exact look-up finds it.
    QVERIFY(reopened.locate(fieldName(pos), stored));
}

void TstAddressCursor::settingFieldWhileBrowsingFails() {
    TableFolder folder;
    folder.add({person(QStringLiteral("Abel"))});
    AddressTable t;
    openOn(t, folder);
    try {
        t.setFieldByName(QStringLiteral("Name"), QStringLiteral("Neu"));
        QFAIL("setting a field while browsing must fail");
    } catch (const EDatabaseError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("not in edit or insert mode")),
                 qPrintable(e.message()));
        QCOMPARE(QLatin1String(e.className()), QLatin1String("EDatabaseError"));
    }
    QCOMPARE(t.fieldValue(fName), QStringLiteral("Abel"));
    t.edit();
    t.setFieldByName(QStringLiteral("Name"), QStringLiteral("Neu"));
    QVERIFY(t.isModified());
    t.cancel();
    QCOMPARE(t.fieldValue(fName), QStringLiteral("Abel"));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, t.setFieldValue(fName, QStringLiteral("x")));
}

void TstAddressCursor::movingWhileEditing_data() {
    QTest::addColumn<QString>("move");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("modify");
    QTest::addColumn<QString>("current");

    // Rows Abel, Meier, Zander with Meier current. Insert sets Name "Neu"
    // (placed after Meier); edit renames Meier to "Zorn" (moves to the end).
    struct Case {
        const char* move;
        const char* insertChanged;
        const char* insertUnchanged;
        const char* editChanged;
        const char* editUnchanged;
    };
    const Case cases[] = {
        {"first", "Abel", "Abel", "Abel", "Abel"},
        {"last", "Zander", "Zander", "Zorn", "Zander"},
        {"next", "Zander", "Zander", "Zorn", "Zander"},
        {"prior", "Meier", "Abel", "Zander", "Abel"},
        {"locate", "Abel", "Abel", "Abel", "Abel"},
        {"moveToRow", "Zander", "Zander", "Zander", "Zander"},
        {"setIndexName", "Neu", "Meier", "Zorn", "Meier"},
        {"refresh", "Neu", "Meier", "Zorn", "Meier"},
        {"setFiltered", "Neu", "Meier", "Zorn", "Meier"},
    };
    for (const Case& c : cases) {
        const QString move = QString::fromLatin1(c.move);
        QTest::addRow("%s, changed insert", c.move)
            << move << QStringLiteral("insert") << true << QString::fromLatin1(c.insertChanged);
        QTest::addRow("%s, unchanged insert", c.move)
            << move << QStringLiteral("insert") << false << QString::fromLatin1(c.insertUnchanged);
        QTest::addRow("%s, changed edit", c.move)
            << move << QStringLiteral("edit") << true << QString::fromLatin1(c.editChanged);
        QTest::addRow("%s, unchanged edit", c.move)
            << move << QStringLiteral("edit") << false << QString::fromLatin1(c.editUnchanged);
    }
}

void TstAddressCursor::movingWhileEditing() {
    QFETCH(QString, move);
    QFETCH(QString, mode);
    QFETCH(bool, modify);
    QFETCH(QString, current);
    TableFolder folder;
    folder.add({person(QStringLiteral("Abel"), QStringLiteral("c")),
                person(QStringLiteral("Meier"), QStringLiteral("a")),
                person(QStringLiteral("Zander"), QStringLiteral("b"))});
    AddressTable t;
    openOn(t, folder);
    t.setFilter(QString()); // setFiltered(true) then shows everything
    t.next();
    QCOMPARE(t.fieldValue(fName), QStringLiteral("Meier"));

    const bool inserting = mode == u"insert";
    const QString newName = inserting ? QStringLiteral("Neu") : QStringLiteral("Zorn");
    runOp(t, mode);
    if (modify)
        t.setFieldValue(fName, newName);
    runOp(t, move);

    QCOMPARE(t.state(), AddressTable::State::Browse);
    QCOMPARE(t.fieldValue(fName), current);
    QCOMPARE(t.recordCount(), inserting && modify ? 4 : 3);
    std::map<qint64, Record> stored;
    const QString problem = verifyFiles(folder.path(), &stored);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QCOMPARE(contains(stored, newName), modify);
    QCOMPARE(contains(stored, QStringLiteral("Meier")), inserting || !modify);
}

void TstAddressCursor::deleteMovesToNeighbour() {
    TableFolder folder;
    folder.add({person(QStringLiteral("Abel")), person(QStringLiteral("Meier")),
                person(QStringLiteral("Zander"))});
    AddressTable t;
    openOn(t, folder);
    t.next();
    t.deleteRecord();
    QCOMPARE(t.fieldValue(fName), QStringLiteral("Zander"));
    QCOMPARE(t.recordCount(), 2);
    t.deleteRecord(); // the last row: the previous one becomes current
    QCOMPARE(t.fieldValue(fName), QStringLiteral("Abel"));
    QCOMPARE(t.currentRow(), 0);

    // Deleting while editing drops the change with the record.
    t.edit();
    t.setFieldValue(fName, QStringLiteral("Geändert"));
    t.deleteRecord();
    QCOMPARE(t.state(), AddressTable::State::Browse);
    QCOMPARE(t.recordCount(), 0);
    QVERIFY(t.eof());
    QCOMPARE(t.fieldValue(fName), QString());
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, t.deleteRecord());

    // A record being inserted is not stored: deleting it just drops it.
    t.insert();
    t.setFieldValue(fName, QStringLiteral("Neu"));
    t.deleteRecord();
    QCOMPARE(t.state(), AddressTable::State::Browse);
    QCOMPARE(t.recordCount(), 0);
    const QString problem = verifyFiles(folder.path());
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void TstAddressCursor::filterRestrictsViewNotCount() {
    TableFolder folder;
    folder.add({person(QStringLiteral("Abel"), {}, QStringLiteral("Familie")),
                person(QStringLiteral("Bauer"), {}, QStringLiteral("Freunde")),
                person(QStringLiteral("Christ"), {}, QStringLiteral("Familie")),
                person(QStringLiteral("Dorn"), {}, QStringLiteral("Familie ")),
                person(QStringLiteral("Ernst"), {}, QStringLiteral("familie")),
                person(QStringLiteral("Fuchs"), {}, QString())});
    AddressTable t;
    openOn(t, folder);
    t.next();
    QCOMPARE(t.fieldValue(fName), QStringLiteral("Bauer"));

    t.setFilter(QStringLiteral("Gruppe = [Familie]"));
    QCOMPARE(t.rowCount(), 6); // not switched on yet
    t.setFiltered(true);
    QCOMPARE(t.recordCount(), 6);
    // Whole value, case-sensitive: neither "Familie " nor "familie".
    QCOMPARE(walk(t), (QStringList{QStringLiteral("Abel"), QStringLiteral("Christ")}));
    QCOMPARE(t.rowCount(), 2);
    QVERIFY(t.eof());
    QCOMPARE(t.fieldValue(fName), QStringLiteral("Christ"));

    // The current record stays when the new filter shows it, else the first one.
    t.setFiltered(false);
    QCOMPARE(t.fieldValue(fName), QStringLiteral("Christ"));
    t.setFilter(QStringLiteral("Gruppe = [Freunde]"));
    t.setFiltered(true);
    QCOMPARE(t.fieldValue(fName), QStringLiteral("Bauer"));
    t.setFilter(QStringLiteral("Gruppe = []"));
    QCOMPARE(rows(t), QStringList{QStringLiteral("Fuchs")});

    // A record saved outside the filter is stored but not shown.
    t.setFilter(QStringLiteral("Gruppe = [Familie]"));
    t.insert();
    t.setFieldValue(fName, QStringLiteral("Aaron"));
    t.setFieldValue(fGruppe, QStringLiteral("Freunde"));
    t.post();
    QCOMPARE(t.recordCount(), 7);
    QCOMPARE(rows(t), (QStringList{QStringLiteral("Abel"), QStringLiteral("Christ")}));
    QCOMPARE(t.state(), AddressTable::State::Browse);
    // A change that takes the current record out of the filter removes its row.
    t.first();
    t.edit();
    t.setFieldValue(fGruppe, QStringLiteral("Freunde"));
    t.post();
    QCOMPARE(rows(t), QStringList{QStringLiteral("Christ")});
    QCOMPARE(t.fieldValue(fName), QStringLiteral("Christ"));
    QCOMPARE(t.recordCount(), 7);

    t.setFiltered(false);
    QCOMPARE(t.rowCount(), 7);
}

void TstAddressCursor::badFilterKeepsPreviousFilter() {
    TableFolder folder;
    folder.add({person(QStringLiteral("Abel"), {}, QStringLiteral("A")),
                person(QStringLiteral("Bauer"), {}, QStringLiteral("B"))});
    AddressTable t;
    openOn(t, folder);
    t.setFilter(QStringLiteral("Gruppe = [A]"));
    t.setFiltered(true);
    for (const QString& bad : {QStringLiteral("Gruppe = [A]B]"), QStringLiteral("Gruppe = [A"),
                               QStringLiteral("Ort = [A]")}) {
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, t.setFilter(bad));
        QCOMPARE(t.filter(), QStringLiteral("Gruppe = [A]"));
        QCOMPARE(rows(t), QStringList{QStringLiteral("Abel")});
    }
}

void TstAddressCursor::locate_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("options");
    QTest::addColumn<QString>("index");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("name"); // found record; empty: not found
    QTest::addColumn<QString>("vorname");

    const int ciPartial = Opt::CaseInsensitive | Opt::Partial;
    const QString none;
    auto row = [&](const char* tag, const char* field, const QString& text, int options,
                   const char* index, const char* group, const QString& name, const char* vorname) {
        QTest::newRow(tag) << QString::fromLatin1(field) << text << options
                           << QString::fromLatin1(index) << QString::fromUtf8(group) << name
                           << QString::fromUtf8(vorname);
    };
    const QString mueller = QStringLiteral("Müller");
    row("partial, other case", "Name", QStringLiteral("mül"), ciPartial, "NAME", "", mueller,
        "Anna");
    row("partial, capital umlaut", "Name", QStringLiteral("MÜL"), ciPartial, "NAME", "", mueller,
        "Anna");
    row("field name in other case", "name", QStringLiteral("öz"), ciPartial, "NAME", "",
        QStringLiteral("Özdemir"), "Ali");
    row("middle part", "Name", QStringLiteral("üller"), ciPartial, "NAME", "", none, "");
    row("partial, case-sensitive", "Name", QStringLiteral("Mül"), Opt::Partial, "NAME", "", mueller,
        "Anna");
    row("partial, case-sensitive miss", "Name", QStringLiteral("mül"), Opt::Partial, "NAME", "",
        none, "");
    row("whole value, no case", "Name", QStringLiteral("MÜLLER"), Opt::CaseInsensitive, "NAME", "",
        mueller, "Anna");
    row("whole value, no case, prefix only", "Name", QStringLiteral("müll"), Opt::CaseInsensitive,
        "NAME", "", none, "");
    row("case folding, final sigma", "Name", QStringLiteral("ΣΊΣΥΦΟΣ"), Opt::CaseInsensitive,
        "NAME", "", QStringLiteral("Σίσυφος"), "");
    row("exact", "Name", mueller, 0, "NAME", "", mueller, "Anna");
    row("exact, other case", "Name", QStringLiteral("müller"), 0, "NAME", "", none, "");
    row("exact, equal sort key but other text", "Name", QStringLiteral("über"), 0, "NAME", "", none,
        "");
    row("wildcards are text", "Name", QStringLiteral("100%"), Opt::Partial, "NAME", "",
        QStringLiteral("100%_sicher"), "");
    row("percent matches nothing else", "Name", QStringLiteral("%"), ciPartial, "NAME", "", none,
        "");
    row("quote and SQL", "Name", QStringLiteral("'; DROP TABLE adressen; --"), 0, "NAME", "", none,
        "");
    row("quote and SQL, partial", "Name", QStringLiteral("x' OR '1'='1"), ciPartial, "NAME", "",
        none, "");
    row("long text", "Name", QString(5000, u'M'), ciPartial, "NAME", "", none, "");
    row("prepared number: first in name order", "tsuche", QStringLiteral("0301234"), 0, "NAME", "",
        QStringLiteral("Mueller"), "Hans");
    row("prepared number: first in first-name order", "tsuche", QStringLiteral("0301234"), 0,
        "VORNAME", "", mueller, "Anna");
    row("prepared number within the filter", "tsuche", QStringLiteral("0301234"), 0, "NAME", "B",
        mueller, "Anna");
    row("prepared number is whole", "tsuche", QStringLiteral("030123"), 0, "NAME", "", none, "");
    row("mobile number", "hsuche", QStringLiteral("0171555"), 0, "NAME", "",
        QStringLiteral("Schmidt"), "Zoe");
    row("equal names: earlier record", "Name", QStringLiteral("Schmidt"), 0, "NAME", "",
        QStringLiteral("Schmidt"), "Zoe");
    row("equal names: first-name order", "Name", QStringLiteral("Schmidt"), 0, "VORNAME", "",
        QStringLiteral("Schmidt"), "Anton");
    row("unindexed field, exact", "Mobil", QStringLiteral("0171 555"), 0, "NAME", "",
        QStringLiteral("Schmidt"), "Zoe");
    row("only in another group", "Name", QStringLiteral("Özdemir"), 0, "NAME", "B", none, "");
    row("only in another group, partial", "Name", QStringLiteral("öz"), ciPartial, "NAME", "B",
        none, "");
}

void TstAddressCursor::locate() {
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(int, options);
    QFETCH(QString, index);
    QFETCH(QString, group);
    QFETCH(QString, name);
    QFETCH(QString, vorname);

    auto rec = [](const char* n, const char* v, const char* g, const char* ts = "",
                  const char* mobil = "", const char* hs = "") {
        Record r = person(QString::fromUtf8(n), QString::fromUtf8(v), QString::fromUtf8(g));
        r[fTsuche] = QString::fromUtf8(ts);
        r[fMobil] = QString::fromUtf8(mobil);
        r[fHsuche] = QString::fromUtf8(hs);
        return r;
    };
    TableFolder folder;
    folder.add({rec("Aachen", "Erster", "A"), rec("Müller", "Anna", "B", "0301234"),
                rec("Mueller", "Hans", "A", "0301234"), rec("Özdemir", "Ali", "A"),
                rec("Σίσυφος", "", "A"),
                rec("u\xCC\x88"
                    "ber",
                    "", "A"), // decomposed ü
                rec("100%_sicher", "", "A"), rec("Schmidt", "Zoe", "A", "", "0171 555", "0171555"),
                rec("Schmidt", "Anton", "A")});
    AddressTable t;
    openOn(t, folder);
    t.setIndexName(index);
    if (!group.isEmpty()) {
        t.setFilter(QStringLiteral("Gruppe = [%1]").arg(group));
        t.setFiltered(true);
    }
    t.last();
    const int rowBefore = t.currentRow();
    const QString nameBefore = t.fieldValue(fName);

    const bool found = t.locate(field, text, AddressTable::LocateOptions(options));
    QCOMPARE(found, !name.isEmpty());
    if (found) {
        QCOMPARE(t.fieldValue(fName), name);
        QCOMPARE(t.fieldValue(fVorname), vorname);
        QCOMPARE(t.value(t.currentRow(), fName), name);
        QVERIFY(!t.eof());
    } else {
        QCOMPARE(t.currentRow(), rowBefore);
        QCOMPARE(t.fieldValue(fName), nameBefore);
    }
    QCOMPARE(t.recordCount(), 9);
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, t.locate(QStringLiteral("Stadt"), text));
}

void TstAddressCursor::indexSwitchKeepsCurrent() {
    TableFolder folder;
    folder.add({person(QStringLiteral("Abel"), {}, {}, QStringLiteral("Köln")),
                person(QStringLiteral("Meier"), {}, {}, QStringLiteral("Berlin")),
                person(QStringLiteral("Zander"), {}, {}, QStringLiteral("Aachen"))});
    AddressTable t;
    openOn(t, folder);
    QCOMPARE(t.indexName(), QStringLiteral("NAME"));
    t.next();
    t.setIndexName(QStringLiteral("wohnort"));
    QCOMPARE(t.indexName(), QStringLiteral("WOHNORT"));
    QCOMPARE(t.fieldValue(fName), QStringLiteral("Meier"));
    QCOMPARE(t.currentRow(), 1);
    QCOMPARE(rows(t, fWohnort), (QStringList{QStringLiteral("Aachen"), QStringLiteral("Berlin"),
                                             QStringLiteral("Köln")}));

    QVERIFY_THROWS_EXCEPTION(EDatabaseError, t.setIndexName(QStringLiteral("STADT")));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, t.setIndexName(QString()));
    QCOMPARE(t.indexName(), QStringLiteral("WOHNORT"));
    QCOMPARE(t.fieldValue(fName), QStringLiteral("Meier"));

    // A change is saved before the order changes; the changed record stays current.
    t.edit();
    t.setFieldValue(fName, QStringLiteral("Aal"));
    t.setIndexName(QStringLiteral("NAME"));
    QCOMPARE(t.state(), AddressTable::State::Browse);
    QCOMPARE(t.fieldValue(fName), QStringLiteral("Aal"));
    QCOMPARE(t.currentRow(), 0);
    QCOMPARE(rows(t), (QStringList{QStringLiteral("Aal"), QStringLiteral("Abel"),
                                   QStringLiteral("Zander")}));

    for (int k = 0; k < kIndexCount; ++k) {
        t.setIndexName(indexName(k));
        QCOMPARE(t.fieldValue(fName), QStringLiteral("Aal"));
        QCOMPARE(t.rowCount(), 3);
    }
}

void TstAddressCursor::signalsFollowWritesWithoutReset() {
    TableFolder folder;
    // Enough rows for several cache blocks, so that moved rows cross them.
    std::vector<Record> middle;
    for (int i = 0; i < 300; ++i)
        middle.push_back(
            person(QStringLiteral("Mitte %1").arg(i, 3, 10, QChar(u'0')), {}, QStringLiteral("G")));
    folder.add(middle);
    AddressTable t;
    openOn(t, folder);
    ShadowModel model(&t);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy resets(&t, &AddressTable::orderReset);
    QSignalSpy moves(&t, &AddressTable::rowMoved);
    Collation collation;

    auto check = [&](const QString& current) {
        const QStringList actual = rows(t);
        QCOMPARE(model.names(), actual);
        for (int r = 1; r < actual.size(); ++r)
            QVERIFY(collation.sortKey(actual[r - 1]) <= collation.sortKey(actual[r]));
        QCOMPARE(t.fieldValue(fName), current);
        QCOMPARE(t.value(t.currentRow(), fName), current);
    };

    const QStringList names = {QStringLiteral("Keller"), QStringLiteral("Abel"),
                               QStringLiteral("Zander"), QStringLiteral("Meier"),
                               QStringLiteral("Berg"),   QStringLiteral("Xaver"),
                               QStringLiteral("Meier"),  QStringLiteral("Öhler")};
    for (const QString& n : names) {
        addPosted(t, person(n, {}, QStringLiteral("G")));
        check(n);
    }
    QCOMPARE(resets.size(), 0);

    auto rename = [&](const QString& from, const QString& to) {
        QVERIFY(t.locate(QStringLiteral("Name"), from));
        t.edit();
        t.setFieldValue(fName, to);
        t.post();
        check(to);
    };
    rename(QStringLiteral("Abel"), QStringLiteral("Zorn"));      // to the end
    rename(QStringLiteral("Zorn"), QStringLiteral("Aaron"));     // to the start
    rename(QStringLiteral("Keller"), QStringLiteral("Kellner")); // stays in place
    rename(QStringLiteral("Berg"), QStringLiteral("Lang"));      // into the middle
    QVERIFY(moves.size() >= 3);
    t.edit();
    t.setFieldValue(fLand, QStringLiteral("DE")); // another field: the row only changes
    t.post();
    check(QStringLiteral("Lang"));

    t.first();
    t.deleteRecord();
    check(QStringLiteral("Kellner"));
    t.last();
    t.deleteRecord();
    check(QStringLiteral("Xaver"));
    QVERIFY(t.locate(QStringLiteral("Name"), QStringLiteral("Meier")));
    t.deleteRecord();
    check(QStringLiteral("Meier"));
    QCOMPARE(resets.size(), 0);

    // Under a filter: records leaving it are removed rows.
    t.setFilter(QStringLiteral("Gruppe = [G]"));
    t.setFiltered(true);
    QCOMPARE(resets.size(), 1);
    t.edit();
    t.setFieldValue(fGruppe, QStringLiteral("H"));
    t.post();
    check(QStringLiteral("Mitte 000"));
    addPosted(t, person(QStringLiteral("Adam"), {}, QStringLiteral("H")));
    check(QStringLiteral("Mitte 000"));
    QCOMPARE(resets.size(), 1);
    t.refresh();
    check(QStringLiteral("Mitte 000"));
    QCOMPARE(t.rowCount(), 304);
    QCOMPARE(t.recordCount(), 306);
}

void TstAddressCursor::settingsSurviveCloseAndOpen() {
    TableFolder folder;
    folder.add({person(QStringLiteral("Abel"), QStringLiteral("Zora"), QStringLiteral("A")),
                person(QStringLiteral("Bauer"), QStringLiteral("Anna"), QStringLiteral("B")),
                person(QStringLiteral("Christ"), QStringLiteral("Berta"), QStringLiteral("A"))});
    AddressTable t;
    t.setIndexName(QStringLiteral("VORNAME")); // settings may be made before opening
    t.setFilter(QStringLiteral("Gruppe = [A]"));
    t.setFiltered(true);
    openOn(t, folder);
    QCOMPARE(rows(t), (QStringList{QStringLiteral("Christ"), QStringLiteral("Abel")}));
    t.edit();
    t.setFieldValue(fName, QStringLiteral("Verworfen"));
    t.close();
    QVERIFY(!t.isActive());
    QCOMPARE(t.indexName(), QStringLiteral("VORNAME"));
    t.open();
    QVERIFY(t.isFiltered());
    QCOMPARE(t.filter(), QStringLiteral("Gruppe = [A]"));
    QCOMPARE(rows(t), (QStringList{QStringLiteral("Christ"), QStringLiteral("Abel")}));
    QCOMPARE(t.fieldValue(fName), QStringLiteral("Christ"));
    QCOMPARE(t.recordCount(), 3);

    t.disconnectFolder();
    QVERIFY(!t.isActive());
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, t.open());
    QVERIFY_THROWS_EXCEPTION(EDatabaseError,
                             t.connectFolder(folder.path() + QStringLiteral("/fehlt")));
}

void TstAddressCursor::refreshRereadsTable() {
    TableFolder folder;
    folder.add({person(QStringLiteral("Meier"))});
    AddressTable t;
    openOn(t, folder);
    folder.add({person(QStringLiteral("Abel"))}); // written by another connection
    QCOMPARE(t.rowCount(), 1);
    t.refresh();
    QCOMPARE(t.recordCount(), 2);
    QCOMPARE(rows(t), (QStringList{QStringLiteral("Abel"), QStringLiteral("Meier")}));
    QCOMPARE(t.fieldValue(fName), QStringLiteral("Meier"));
}

void TstAddressCursor::appendedBatchJoinsOrder() {
    TableFolder folder;
    std::vector<Record> first;
    for (int i = 0; i < 200; ++i)
        first.push_back(person(QStringLiteral("Alt %1").arg(i, 3, 10, QChar(u'0')), {},
                               QString::fromLatin1(i % 2 ? "A" : "B")));
    folder.add(first);
    AddressTable t;
    t.setFilter(QStringLiteral("Gruppe = [A]"));
    t.setFiltered(true);
    openOn(t, folder);
    ShadowModel model(&t);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    t.moveToRow(10);
    const QString current = t.fieldValue(fName);
    // A pending change is saved first, as before any other move.
    t.edit();
    t.setFieldValue(fLand, QStringLiteral("DE"));

    std::vector<Record> batch;
    const QStringList names = {QStringLiteral("Zander"), QStringLiteral("Abel"),
                               QStringLiteral("Alt 051"), QStringLiteral("Öhler"),
                               QString(60, u'x')};
    for (const QString& n : names) {
        batch.push_back(person(n, {}, QStringLiteral("A")));
        batch.push_back(person(n + QStringLiteral(" B"), {}, QStringLiteral("B")));
    }
    batch.push_back(person(QStringLiteral("Lang"), {}, QString(60, u'A'))); // cut: not in A
    t.appendRecords(batch);

    QCOMPARE(t.state(), AddressTable::State::Browse);
    QCOMPARE(t.recordCount(), 211);
    QCOMPARE(t.fieldValue(fName), current);
    QCOMPARE(t.fieldValue(fLand), QStringLiteral("DE"));
    const QStringList merged = rows(t);
    QCOMPARE(model.names(), merged);
    QCOMPARE(merged.size(), 105);
    QVERIFY(merged.contains(QString(50, u'x')));
    t.refresh(); // the order as the index file holds it
    QCOMPARE(rows(t), merged);
    QCOMPARE(t.fieldValue(fName), current);
    QCOMPARE(verifyFiles(folder.path()), QString());

    // On an empty view the last shown record stored becomes current, as after a post.
    TableFolder empty;
    AddressTable e;
    openOn(e, empty);
    e.appendRecords(
        std::vector<Record>{person(QStringLiteral("Berg")), person(QStringLiteral("Abel"))});
    QCOMPARE(rows(e), (QStringList{QStringLiteral("Abel"), QStringLiteral("Berg")}));
    QCOMPARE(e.fieldValue(fName), QStringLiteral("Abel"));
    QVERIFY(!e.eof());
}

void TstAddressCursor::gridValues() {
    TableFolder folder;
    std::vector<Record> records;
    for (int i = 0; i < 300; ++i)
        records.push_back(person(QStringLiteral("N%1").arg((i * 7919) % 300, 3, 10, QChar(u'0')),
                                 QStringLiteral("V%1").arg(i)));
    folder.add(records);
    AddressTable t;
    openOn(t, folder);
    QCOMPARE(t.rowCount(), 300);
    // Rows in any order (as a scrolling grid asks for them) agree with the walk.
    const QStringList walked = walk(t, fVorname);
    for (int r : {299, 0, 150, 64, 63, 128, 200, 1})
        QCOMPARE(t.value(r, fVorname), walked[r]);
    QCOMPARE(rows(t, fVorname), walked);
    QCOMPARE(t.value(-1, fName), QString());
    QCOMPARE(t.value(300, fName), QString());
    QCOMPARE(t.value(0, 17), QString());

    t.moveToRow(150);
    QCOMPARE(t.currentRow(), 150);
    QCOMPARE(t.fieldValue(fVorname), walked[150]);
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, t.moveToRow(300));
    // The row being edited shows the edit buffer.
    t.edit();
    t.setFieldValue(fVorname, QStringLiteral("im Gange"));
    QCOMPARE(t.value(150, fVorname), QStringLiteral("im Gange"));
    t.cancel();
    QCOMPARE(t.value(150, fVorname), walked[150]);
}

QTEST_GUILESS_MAIN(TstAddressCursor)
#include "tst_addresscursor.moc"
