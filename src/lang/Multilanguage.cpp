#include "lang/Multilanguage.h"

#include "lang/PropertyRegistry.h"
#include "lang/Script.h"

#include <QScopedValueRollback>

#include <algorithm>

namespace kalvendo {

namespace {

// Qt offers no ordered walk over the components of all windows, so engines and syncs
// register themselves here in creation order. User-interface thread only.
QList<TMultilanguage*>& engineList() {
    static QList<TMultilanguage*> list;
    return list;
}

QList<TMultilanguageSync*>& syncList() {
    static QList<TMultilanguageSync*> list;
    return list;
}

} // namespace

TMultilanguage::TMultilanguage(QObject* owner, const QString& name)
    : QObject(owner), m_root(owner), m_registry(&PropertyRegistry::standard()) {
    setObjectName(name);
    engineList().append(this);
}

TMultilanguage::~TMultilanguage() {
    engineList().removeAll(this);
}

QList<TMultilanguage*> TMultilanguage::engines() {
    return engineList();
}

void TMultilanguage::setRegistry(const PropertyRegistry* registry) {
    m_registry = registry ? registry : &PropertyRegistry::standard();
}

void TMultilanguage::setScript(const QStringList& script) {
    m_script = script;
    if (m_loaded)
        translateGuarded();
}

QString TMultilanguage::Language() const {
    if (TMultilanguageSync* sync = TMultilanguageSync::current())
        return sync->Language();
    return m_ownLanguage;
}

void TMultilanguage::setLanguage(const QString& language) {
    m_ownLanguage = language;
    if (TMultilanguageSync* sync = TMultilanguageSync::current())
        sync->setLanguage(language);
    else if (m_loaded)
        translateGuarded();
}

void TMultilanguage::Loaded() {
    m_loaded = true;
    translateGuarded();
}

// A handler of OnTranslate that changes the language again would otherwise recurse without
// end; the change is applied once the running translation has finished.
void TMultilanguage::translateGuarded() {
    if (m_translating) {
        m_retranslate = true;
        return;
    }
    // Reset however the scope is left, also by an exception.
    const QScopedValueRollback guard(m_translating, true);
    do {
        m_retranslate = false;
        const QString applied = Language();
        Translate();
        if (Language() == applied)
            m_retranslate = false;
    } while (m_retranslate);
}

void TMultilanguage::Translate() {
    m_selected = selectLanguageLines(m_script, Language());
    if (QObject* target = m_root.data()) {
        const QStringList lines = m_selected;
        for (const QString& line : lines) {
            const ScriptEntry entry = parseScriptLine(line);
            if (!entry.key.isEmpty())
                m_registry->apply(target, entry.key, entry.value);
        }
    }
    Q_EMIT OnTranslate(this);
}

QString TMultilanguage::GetString(const QString& key) const {
    return lookUpString(m_selected, key);
}

TMultilanguageSync::TMultilanguageSync(QObject* owner, const QString& name) : QObject(owner) {
    setObjectName(name);
    syncList().append(this);
}

TMultilanguageSync::~TMultilanguageSync() {
    syncList().removeAll(this);
}

TMultilanguageSync* TMultilanguageSync::current() {
    const QList<TMultilanguageSync*>& list = syncList();
    return list.isEmpty() ? nullptr : list.first();
}

void TMultilanguageSync::setLanguage(const QString& language) {
    m_language = language;
    if (m_walking) {
        // Asked from inside a translation: the running walk picks the new name up when done.
        m_rewalk = true;
        return;
    }
    const QScopedValueRollback guard(m_walking, true);
    do {
        m_rewalk = false;
        const QString applied = m_language;
        QList<QPointer<TMultilanguage>> engines;
        for (TMultilanguage* engine : engineList())
            engines.append(engine);
        for (const QPointer<TMultilanguage>& engine : engines) {
            if (engine && engine->isLoaded())
                engine->translateGuarded();
        }
        if (m_language == applied)
            m_rewalk = false;
    } while (m_rewalk);
}

void TMultilanguageSync::ListLanguages(const QStringList& script, QStringList& list) {
    kalvendo::ListLanguages(script, list);
}

} // namespace kalvendo
