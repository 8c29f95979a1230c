#pragma once

#include <QString>

class QComboBox;

namespace kalvendo {

// Whether ISDN can be used, with the text the dialog shows for it: the
// driver's version line, or why the driver cannot be used.
struct IsdnStatus {
    bool available = false;
    QString text;
};

// What the settings dialog needs from the main window, which owns the shared
// state of the run.
class SettingsHost {
public:
    virtual ~SettingsHost();

    // The application folder, ending in '/'.
    virtual QString applicationPath() const = 0;
    // The main window's search-field choice; its position survives a language
    // switch. May be null.
    virtual QComboBox* searchFieldList() const = 0;
    // Reloads the record's group-field list from daten/group.txt (called after
    // the dialog has saved it).
    virtual void reloadGroupList() = 0;
    // Asked once, when the dialog is created.
    virtual IsdnStatus isdnStatus() const = 0;
    // Where adslocal.cfg lies: the executable's folder unless overridden.
    virtual QString executableFolder() const;
};

} // namespace kalvendo
