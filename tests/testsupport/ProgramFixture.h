#pragma once

// The whole program on an application folder: the windows created as main()
// creates them, the main window shown, closed again at the end.

#include "addressbook/AddressTable.h"
#include "addressbook/ui/DBControls.h"
#include "app/Program.h"
#include "app/TForm1.h"
#include "testsupport/AppFolder.h"

#include <QTest>

#include <optional>

namespace kalvendo::test {

class ProgramFixture {
public:
    explicit ProgramFixture(const AppFolder& folder, bool waitForExposure = true)
        : m_folder(folder) {
        windows.emplace(createWindows(QString(), folder.path()));
        main = windows->form1.get();
        main->show();
        if (waitForExposure)
            QVERIFY(QTest::qWaitForWindowExposed(main));
    }
    ~ProgramFixture() {
        if (main)
            main->close();
    }
    ProgramFixture(const ProgramFixture&) = delete;
    ProgramFixture& operator=(const ProgramFixture&) = delete;

    // DBEdit<n> of the main window, by its designer name.
    TDBEdit* edit(int n) const {
        return main->findChild<TDBEdit*>(QStringLiteral("DBEdit%1").arg(n));
    }
    // The current record's stored value, read by a second cursor.
    QString stored(int field) const {
        AddressTable t;
        t.connectFolder(m_folder.data());
        t.open();
        return t.fieldValue(field);
    }

    std::optional<ProgramWindows> windows;
    TForm1* main = nullptr;

private:
    const AppFolder& m_folder;
};

} // namespace kalvendo::test
