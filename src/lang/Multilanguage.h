#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

namespace kalvendo {

class PropertyRegistry;
class TMultilanguageSync;

// The language engine of one window. Owned by the window (its QObject parent), which is also
// the root its script's keys are resolved against unless setRoot() names another.
//
// A window builds its widgets, assigns Script and then calls Loaded(): from then on the
// engine translates the window whenever Script or the language changes. Before Loaded()
// nothing is applied and every named string reads empty.
class TMultilanguage : public QObject {
    Q_OBJECT
    Q_PROPERTY(QStringList Script READ Script WRITE setScript)
    Q_PROPERTY(QString Language READ Language WRITE setLanguage)
public:
    explicit TMultilanguage(QObject* owner = nullptr, const QString& name = QString());
    ~TMultilanguage() override;

    QStringList Script() const { return m_script; }
    void setScript(const QStringList& script);

    // The sync's language when a TMultilanguageSync exists, else the engine's own.
    QString Language() const;
    // Stores the engine's own language; with a sync, switches the whole program through it,
    // else translates this engine only.
    void setLanguage(const QString& language);
    QString ownLanguage() const { return m_ownLanguage; }

    QObject* root() const { return m_root; }
    void setRoot(QObject* root) { m_root = root; }

    // The window has built its widgets: translate now and on every later change.
    void Loaded();
    bool isLoaded() const { return m_loaded; }

    // Selects the current language's lines and applies them to the root, then emits
    // OnTranslate. Throws EListError (see PropertyRegistry) and stops at that line.
    void Translate();

    // The value of the first selected line whose key equals key (case-sensitive).
    QString GetString(const QString& key) const;
    QStringList selectedLines() const { return m_selected; }

    // The registry keys are resolved with; PropertyRegistry::standard() unless set.
    void setRegistry(const PropertyRegistry* registry);

    // Every engine of the program, in creation order.
    static QList<TMultilanguage*> engines();

Q_SIGNALS:
    void OnTranslate(kalvendo::TMultilanguage* sender);

private:
    friend class TMultilanguageSync;
    void translateGuarded();

    QStringList m_script;
    QString m_ownLanguage;
    QStringList m_selected;
    QPointer<QObject> m_root;
    const PropertyRegistry* m_registry;
    bool m_loaded = false;
    bool m_translating = false;
    bool m_retranslate = false;
};

// Makes every engine of the program share one language. One in the program, owned by the
// settings dialog; while it exists, its Language is every engine's current language.
class TMultilanguageSync : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Language READ Language WRITE setLanguage)
public:
    explicit TMultilanguageSync(QObject* owner = nullptr, const QString& name = QString());
    ~TMultilanguageSync() override;

    QString Language() const { return m_language; }
    // Stores the language and translates every loaded engine in creation order. An error
    // stops the walk: the engines not yet reached keep their texts.
    void setLanguage(const QString& language);

    // The sync in effect: the first one created that still exists, or none.
    static TMultilanguageSync* current();

    static void ListLanguages(const QStringList& script, QStringList& list);

private:
    QString m_language;
    bool m_walking = false;
    bool m_rewalk = false;
};

} // namespace kalvendo
