#pragma once

#include "common/AppPaths.h"

#include <QString>

#include <memory>

class QWidget;

namespace kalvendo {

class AddressTable;
class TFieldsPanel;
class TMultilanguage;
class TStatusBar;

// The panels of the main window's status bar.
enum class StatusPanel { Caption = 0, RecordCount = 1, Notice = 2 };

// What the main window shares with every controller: the frame, the address
// table, the language engine, the status panels, the window caption, the
// application's paths and the fields panel. A controller gets this once and
// keeps its own widgets to itself; it never reaches into another's.
struct MainWindowContext {
    QWidget* window = nullptr; // caption; parent of dialogs
    AddressTable* table = nullptr;
    TMultilanguage* lng = nullptr;
    TStatusBar* status = nullptr;
    TFieldsPanel* fields = nullptr;
    // Known from the second start-up step on, so read at each use.
    std::shared_ptr<const AppPaths> appPaths;

    const AppPaths& paths() const { return *appPaths; }
    // A named string of the main window's script in the current language.
    QString text(const char* key) const;
    void showStatus(StatusPanel panel, const QString& text) const;
    void setCaption(const QString& caption) const;
    // Restores a minimised window and brings it to the front.
    void bringToFront() const;
};

} // namespace kalvendo
