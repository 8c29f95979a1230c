#include "common/AppPaths.h"

namespace kalvendo {

AppPaths::AppPaths(QString root) : m_root(std::move(root)) {
    if (!m_root.isEmpty() && !m_root.endsWith(u'/'))
        m_root += u'/';
}

QString AppPaths::dataFolder() const {
    return m_root + QStringLiteral("daten");
}

QString AppPaths::dataFile(const QString& name) const {
    return m_root + QStringLiteral("daten/") + name;
}

QString AppPaths::preferences() const {
    return dataFile(QStringLiteral("ab.ini"));
}

QString AppPaths::columnWidths() const {
    return dataFile(QStringLiteral("col.ini"));
}

QString AppPaths::groups() const {
    return dataFile(QStringLiteral("group.txt"));
}

QString AppPaths::errorLog() const {
    return dataFile(QStringLiteral("log.txt"));
}

QString AppPaths::reportProject() const {
    return dataFile(QStringLiteral("velmora.rav"));
}

QString AppPaths::defaultCallLogFolder() const {
    return dataFolder();
}

QString AppPaths::templateFile(const QString& name) const {
    return m_root + QStringLiteral("vorlagen/") + name;
}

QString AppPaths::wordTemplate() const {
    return templateFile(QStringLiteral("vorlagew.docx"));
}

QString AppPaths::writerTemplate() const {
    return templateFile(QStringLiteral("vorlageoo.ott"));
}

QString AppPaths::helpFile(const QString& name) const {
    return m_root + QStringLiteral("help/") + name;
}

QString AppPaths::helpIndex() const {
    return helpFile(QStringLiteral("index.html"));
}

QString AppPaths::callLog(const QString& folder) {
    return folder + QStringLiteral("/isdnlog.txt");
}

QStringList AppPaths::shippedFolders() {
    return {QStringLiteral("daten"), QStringLiteral("vorlagen"), QStringLiteral("help")};
}

} // namespace kalvendo
