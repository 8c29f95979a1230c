#include "app/Program.h"

#include "addressbook/ui/FieldsPanel.h"
#include "app/Help.h"
#include "app/TForm1.h"
#include "app/Windows.h"
#include "common/CommandGuard.h"
#include "common/TextFile.h"
#include "settings/Preferences.h"
#include "settings/SettingsHost.h"

#include <QAction>
#include <QComboBox>
#include <QPointer>
#include <QToolButton>

namespace kalvendo {

KalvendoApplication::KalvendoApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Kalvendo 2009"));
    setApplicationDisplayName(QStringLiteral("Kalvendo 2009"));
    setOrganizationName(QStringLiteral("Kalvendo"));
}

bool KalvendoApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        handleUncaught(receiver, e);
    }
    return false;
}

namespace {

// The settings dialog's view of the main window.
class MainWindowSettingsHost : public SettingsHost {
public:
    explicit MainWindowSettingsHost(TForm1& form1) : m_form1(form1) {}

    QString applicationPath() const override { return m_form1.applicationPath(); }
    QComboBox* searchFieldList() const override { return m_form1.searchFieldList(); }
    TCapiInfo* capiInfo() const override { return m_form1.capiInfo(); }
    void reloadGroupList() override {
        m_form1.fieldsPanel()->setGroups(readTextLines(groupFilePath(applicationPath())));
    }

private:
    TForm1& m_form1;
};

} // namespace

ProgramWindows::ProgramWindows() = default;
ProgramWindows::~ProgramWindows() = default;
ProgramWindows::ProgramWindows(ProgramWindows&&) noexcept = default;

ProgramWindows createWindows(const QString& exeDir, const QString& appDirArg) {
    ProgramWindows w;
    w.form1 = std::make_unique<TForm1>(TForm1::Options{exeDir, appDirArg});
    w.settingsHost = std::make_unique<MainWindowSettingsHost>(*w.form1);
    w.form2 = std::make_unique<TForm2>(*w.settingsHost, w.form1.get());
    w.form3 = std::make_unique<TForm3>(preferencesPath(w.form1->applicationPath()), w.form1.get());
    w.form4 = std::make_unique<TForm4>(w.form1.get());
    w.form5 = std::make_unique<TForm5>(w.form1->engine(), w.form1.get());
    w.form6 = std::make_unique<TForm6>(w.form1.get());

    // The settings button (and its menu entry) and the about box only show
    // their windows, which exist from here on.
    TForm1* form1 = w.form1.get();
    TForm2* form2 = w.form2.get();
    TForm5* form5 = w.form5.get();
    if (QToolButton* settings = form1->toolButton(QStringLiteral("ToolButton10"))) {
        connectCommand(settings, &QToolButton::clicked, form2, [form2]() {
            form2->show();
            form2->raise();
            form2->activateWindow();
        });
        form1->setCommandAvailable(QStringLiteral("Einstellungen1"), true);
    }
    TForm3* form3 = w.form3.get();
    if (QToolButton* search = form1->toolButton(QStringLiteral("ToolButton8"))) {
        connectCommand(search, &QToolButton::clicked, form3, [form3]() {
            form3->show();
            form3->raise();
            form3->activateWindow();
        });
        form1->setCommandAvailable(QStringLiteral("SucheimInternet1"), true);
    }
    if (QAction* info = form1->action(QStringLiteral("Info1"))) {
        connectCommand(info, &QAction::triggered, form5, [form5]() { showAboutBox(form5); });
        form1->setCommandAvailable(QStringLiteral("Info1"), true);
    }
    return w;
}

} // namespace kalvendo
