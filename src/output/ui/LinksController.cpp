#include "output/ui/LinksController.h"

#include "addressbook/Fields.h"
#include "addressbook/ui/FieldsPanel.h"
#include "common/FileDialogs.h"
#include "common/IniFile.h"
#include "common/Launcher.h"
#include "common/MessageDialog.h"
#include "common/SaveFile.h"
#include "lang/Multilanguage.h"
#include "output/links/Links.h"
#include "output/mobile/RapiConnection.h"
#include "output/vcard/ContactExport.h"
#include "output/vcard/VCardWriter.h"
#include "settings/Preferences.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <QWidget>

namespace kalvendo {

namespace {

void openWebAddress(const MainWindowContext& ctx, const WebAddress& address) {
    if (!address.ok()) {
        messageDlg(ctx.text("msginetrefused"), DialogKind::Warning, DialogButtons::Ok);
        return;
    }
    openExternal(address.url);
}

} // namespace

LinksController::LinksController(const MainWindowContext& ctx, QObject* parent)
    : QObject(parent), m_ctx(ctx) {}

LinksController::~LinksController() = default;

void LinksController::SpeedButton2Click() {
    const QUrl url = mailUrl(m_ctx.fields->shownRecord()[fEmail]);
    if (url.isEmpty()) {
        messageDlg(m_ctx.text("msgnomail"), DialogKind::Warning, DialogButtons::Ok);
        return;
    }
    openExternal(url);
}

void LinksController::SpeedButton3Click() {
    const WebAddress address = webAddress(m_ctx.fields->shownRecord()[fHomepage]);
    if (address.refusal == WebRefusal::Empty) {
        messageDlg(m_ctx.text("msgnoinet"), DialogKind::Warning, DialogButtons::Ok);
        return;
    }
    openWebAddress(m_ctx, address);
}

void LinksController::SpeedButton4Click() {
    const Record r = m_ctx.fields->shownRecord();
    const IniFile ab(m_ctx.paths().preferences());
    const MapQuery query{r[fStrasse], r[fNr], r[fPLZ], r[fWohnort],
                         m_ctx.lng ? m_ctx.lng->Language() : QString()};
    openWebAddress(m_ctx, mapAddress(readPref(ab, prefs::map::url), query));
}

void LinksController::OutlookExport1Click() {
    const Record record = m_ctx.fields->shownRecord();
    m_ctx.setCaption(contactExportRunningCaption());
    if (!m_exportFolder || !m_exportFolder->isValid()) {
        m_exportFolder = std::make_unique<QTemporaryDir>(
            QDir::tempPath() + QStringLiteral("/kalvendo-contact-XXXXXX"));
        if (!m_exportFolder->isValid())
            throw EWriteError(m_exportFolder->errorString());
    }
    const QString file = writeContactCard(record, m_exportFolder->path());
    if (!openExternal(QUrl::fromLocalFile(file))) {
        messageDlg(m_ctx.text("outlookerror"), DialogKind::Error, DialogButtons::Ok);
        return;
    }
    m_ctx.setCaption(contactExportDoneCaption(record));
}

void LinksController::AlsvCardspeichern1Click() {
    const Record record = m_ctx.fields->shownRecord();
    QString caption;
    if (const QAction* entry =
            m_ctx.window->findChild<QAction*>(QStringLiteral("AlsvCardspeichern1")))
        caption = entry->text().remove(u'&').remove(u'…');
    QString path =
        chooseSaveFile(m_ctx.window, caption, QDir::home().filePath(contactFileName(record)),
                       QStringLiteral("vCard (*.vcf)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".vcf");
    VCardFileWriter writer(path);
    writer.add(record);
    writer.commit();
}

void LinksController::WindowsMobile1Click() {
    auto rapi = std::make_unique<RapiConnection>();
    if (!rapi->connect(5000))
        return; // no library or no device: nothing to say
    m_rapi = std::move(rapi);
    messageDlg(QStringLiteral("oki"), DialogKind::Information, DialogButtons::Ok);
}

} // namespace kalvendo
