#pragma once

#include "common/Exception.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <functional>

namespace kalvendo {

// An index beyond the end of a collection (a status bar's panels, a grid's columns).

// Resolves script keys such as "Label1.Caption", "StatusBar1.Panels[0].Text",
// "DBAdvGrid1.Columns[3].Header", "ComboBox1.Items" or "Caption" against a window's object
// tree, ignoring case, and sets the named property through a table of adapters
// (class -> property name -> setter). Windows with their own kinds of controls add adapters
// for them instead of changing the resolver.
class PropertyRegistry {
public:
    // A setter returns false when the object cannot take the value; the line is then skipped.
    using Setter = std::function<bool(QObject* object, const QString& value)>;
    using Counter = std::function<int(QObject* owner)>;
    using ItemSetter = std::function<bool(QObject* owner, int index, const QString& value)>;

    // The program's registry, with the adapters for Qt's widgets, QAction and TStatusBar.
    static PropertyRegistry& standard();

    // An adapter applies to objects of the class and of every class derived from it; the
    // most derived class that has one wins.
    void addProperty(const QMetaObject* cls, const QString& name, Setter setter);
    void addCollection(const QMetaObject* cls, const QString& name, Counter counter);
    void addItemProperty(const QMetaObject* cls, const QString& collection, const QString& name,
                         ItemSetter setter);

    // Applies one script entry to root. Returns whether a property was set; lines that name
    // no object, no property or an unsuitable one give false. Throws EListError for an index
    // beyond the end of a collection.
    bool apply(QObject* root, const QString& key, const QString& value) const;

private:
    struct Collection {
        Counter count;
        QHash<QString, ItemSetter> itemSetters; // by case-folded property name
    };
    const Setter* findSetter(const QObject* object, const QString& name) const;
    const Collection* findCollection(const QObject* object, const QString& name) const;

    QHash<QString, Setter> m_setters;         // by "class\nproperty" (property case-folded)
    QHash<QString, Collection> m_collections; // by "class\ncollection"
};

// The object named name (ignoring case) among owner's descendants: direct children first,
// then the whole subtree depth-first. Separate windows below owner are other windows' business
// and are not searched.
QObject* findComponent(const QObject* owner, QStringView name);

// Sets the standard adapters into registry (used by standard(); exposed for tests that build
// their own registry on top).
void addStandardAdapters(PropertyRegistry& registry);

} // namespace kalvendo
