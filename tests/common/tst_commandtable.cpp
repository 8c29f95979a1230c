#include "common/CommandGuard.h"
#include "common/CommandTable.h"
#include "common/Exception.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QToolButton>

using namespace kalvendo;

namespace {
struct Handlers : QObject {
    QStringList ran;
    void save() { ran << QStringLiteral("save"); }
    void fail() { throw EInOutError(QStringLiteral("kaputt")); }
};
} // namespace

class TestCommandTable : public QObject {
    Q_OBJECT

    struct Frame {
        QMainWindow window;
        QAction* withButton;
        QAction* alone;
        QToolButton* button;
        QToolButton* speed;
        Frame() {
            QMenu* menu = window.menuBar()->addMenu(QStringLiteral("Datei"));
            withButton = menu->addAction(QStringLiteral("Speichern"));
            withButton->setObjectName(QStringLiteral("Save1"));
            alone = menu->addAction(QStringLiteral("Packen"));
            alone->setObjectName(QStringLiteral("Pack1"));
            button = new QToolButton(&window);
            button->setObjectName(QStringLiteral("ToolButton3"));
            speed = new QToolButton(&window);
            speed->setObjectName(QStringLiteral("SpeedButton1"));
            for (QAction* a : {withButton, alone})
                a->setEnabled(false);
            for (QToolButton* b : {button, speed})
                b->setEnabled(false);
            CommandTable::attachButton(withButton, button);
        }
    };

private Q_SLOTS:
    void bindingConnectsTheButtonAndEnablesBoth() {
        Frame f;
        Handlers h;
        CommandTable table(&f.window);
        table.bind("Save1", &h, &Handlers::save);
        QVERIFY(f.withButton->isEnabled());
        QVERIFY(f.button->isEnabled());
        QVERIFY(!f.alone->isEnabled());
        f.button->click();
        f.withButton->trigger(); // the entry clicks its button: runs once more, not twice
        QCOMPARE(h.ran, QStringList({QStringLiteral("save"), QStringLiteral("save")}));
        QCOMPARE(table.bound(), QStringList(QStringLiteral("Save1")));
    }

    void entryWithoutButtonAndPlainButton() {
        Frame f;
        Handlers h;
        CommandTable table(&f.window);
        table.bind("Pack1", &h, &Handlers::save);
        table.bind("SpeedButton1", &h, [&h]() { h.ran << QStringLiteral("speed"); });
        QVERIFY(f.alone->isEnabled());
        QVERIFY(f.speed->isEnabled());
        QVERIFY(!f.button->isEnabled());
        f.alone->trigger();
        f.speed->click();
        QCOMPARE(h.ran, QStringList({QStringLiteral("save"), QStringLiteral("speed")}));
    }

    void handlerErrorsReachTheGuardWithTheButton() {
        Frame f;
        Handlers h;
        QStringList senders;
        setApplicationExceptionHandler(
            [&](QObject* sender, const std::exception&) { senders << sender->objectName(); });
        CommandTable table(&f.window);
        table.bind("Save1", &h, &Handlers::fail);
        f.withButton->trigger();
        setApplicationExceptionHandler({});
        QCOMPARE(senders, QStringList(QStringLiteral("ToolButton3")));
    }

    void unknownNameIsLoggedAndBindsNothing() {
#if !defined(QT_NO_DEBUG) || defined(QT_FORCE_ASSERTS)
        QSKIP("an unknown command name asserts in this build");
#else
        Frame f;
        Handlers h;
        CommandTable table(&f.window);
        QTest::ignoreMessage(QtCriticalMsg,
                             "kalvendo: the command table names Sicher1, which the main "
                             "window does not have");
        table.bind("Sicher1", &h, &Handlers::save);
        QVERIFY(table.bound().isEmpty());
        QVERIFY(!f.withButton->isEnabled());
#endif
    }
};

QTEST_MAIN(TestCommandTable)
#include "tst_commandtable.moc"
