#include "app/Program.h"

#include "addressbook/ui/FieldsPanel.h"
#include "app/Help.h"
#include "app/TForm1.h"
#include "app/Windows.h"
#include "capi/CapiInfo.h"
#include "common/AppPaths.h"
#include "common/CommandGuard.h"
#include "common/TextFile.h"
#include "settings/Preferences.h"
#include "settings/ui/SettingsHost.h"

#include <QAction>
#include <QComboBox>
#include <QPointer>
#include <QToolButton>

namespace kalvendo {

KalvendoApplication::KalvendoApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(productName());
    setApplicationDisplayName(productName());
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
    IsdnStatus isdnStatus() const override {
        TCapiInfo* info = m_form1.capiInfo();
        if (info == nullptr || info->Error != 0)
            return {false, info ? info->ErrorString : QString()};
        return {true, info->VersionText()};
    }
    void reloadGroupList() override {
        m_form1.fieldsPanel()->setGroups(readTextLines(m_form1.paths().groups()));
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
    w.form3 = std::make_unique<TForm3>(w.form1->paths().preferences(), w.form1.get());
    w.form5 = std::make_unique<TForm5>(w.form1->engine(), w.form1.get());
    w.form6 = std::make_unique<TForm6>(w.form1.get());

    w.form1->setSecondaryWindows({w.form2.get(), w.form3.get(), w.form5.get()});
    return w;
}

} // namespace kalvendo
