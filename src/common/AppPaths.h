#pragma once

#include <QString>
#include <QStringList>

namespace kalvendo {

// The program's name as windows and the application object show it.
inline QString productName() {
    return QStringLiteral("Kalvendo 2009");
}

// Every file and folder below the application folder, built in this one place.
// Names are relative with '/', so they read the same on every platform.
class AppPaths {
public:
    AppPaths() = default;
    // root: the application folder; a missing final '/' is added.
    explicit AppPaths(QString root);

    // Ends in '/' (empty before the folder is known).
    const QString& root() const { return m_root; }

    // daten, without the final '/': the folder the address table lives in.
    QString dataFolder() const;
    QString dataFile(const QString& name) const; // daten/<name>
    QString preferences() const;                 // daten/ab.ini
    QString columnWidths() const;                // daten/col.ini
    QString groups() const;                      // daten/group.txt
    QString errorLog() const;                    // daten/log.txt
    QString reportProject() const;               // daten/velmora.rav
    // The call log's folder when the settings name none: daten.
    QString defaultCallLogFolder() const;

    QString templateFile(const QString& name) const; // vorlagen/<name>
    QString wordTemplate() const;                    // vorlagen/vorlagew.docx
    QString writerTemplate() const;                  // vorlagen/vorlageoo.ott

    QString helpFile(const QString& name) const; // help/<name>
    QString helpIndex() const;                   // help/index.html

    // The call log in the folder the settings name (used as stored: a final
    // separator only doubles, which the file system ignores).
    static QString callLog(const QString& folder); // <folder>/isdnlog.txt

    // The folders an installation ships and a new application folder is seeded with.
    static QStringList shippedFolders();

private:
    QString m_root;
};

} // namespace kalvendo
