#pragma once

#include "addressbook/ui/MainWindowContext.h"

#include <QObject>
#include <QTemporaryDir>

#include <memory>

namespace kalvendo {

class RapiConnection;

// The main window's buttons and entries that hand the shown address to other
// programs: mail, web page and map beside the fields, the contact export, the
// vCard file and the Windows Mobile probe. Each reads the edit fields' current
// texts, unsaved edits included.
class LinksController : public QObject {
    Q_OBJECT
public:
    explicit LinksController(const MainWindowContext& ctx, QObject* parent = nullptr);
    ~LinksController() override;

    void SpeedButton2Click(); // mail
    void SpeedButton3Click(); // web page
    void SpeedButton4Click(); // map
    void OutlookExport1Click();
    void AlsvCardspeichern1Click();
    void WindowsMobile1Click();

private:
    MainWindowContext m_ctx;
    // The exported contacts stay until the program ends: the contacts program
    // may read them long after it was handed the file.
    std::unique_ptr<QTemporaryDir> m_exportFolder;
    std::unique_ptr<RapiConnection> m_rapi;
};

} // namespace kalvendo
