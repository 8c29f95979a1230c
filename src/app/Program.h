#pragma once

#include <QApplication>

#include <memory>

namespace kalvendo {

class TForm1;
class TForm2;
class TForm3;
class TForm5;
class TForm6;
class SettingsHost;

// The application object: an error escaping any event handler is handed to the
// application-wide handler here instead of crossing Qt's event loop.
class KalvendoApplication : public QApplication {
    Q_OBJECT
public:
    KalvendoApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// The windows created once, in their fixed order (the print preview is made
// for each run instead).
struct ProgramWindows {
    std::unique_ptr<TForm1> form1;
    // What the settings dialog reaches in the main window; outlives the dialog.
    std::unique_ptr<SettingsHost> settingsHost;
    std::unique_ptr<TForm2> form2;
    std::unique_ptr<TForm3> form3;
    std::unique_ptr<TForm5> form5;
    std::unique_ptr<TForm6> form6;

    ProgramWindows();
    ~ProgramWindows();
    ProgramWindows(ProgramWindows&&) noexcept;
};

// Creates the windows in their order and wires the main window's commands that
// show a later window (settings, about box).
ProgramWindows createWindows(const QString& exeDir, const QString& appDirArg);

} // namespace kalvendo
