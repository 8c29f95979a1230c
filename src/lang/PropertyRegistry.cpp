#include "lang/PropertyRegistry.h"

#include "common/StatusBar.h"
#include "common/TextFile.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QSignalBlocker>
#include <QWidget>

namespace kalvendo {

namespace {

QString adapterKey(const char* className, const QString& name) {
    return QString::fromLatin1(className) + u'\n' + name.toCaseFolded();
}

// Script line breaks are CR LF; Qt's widgets want a bare LF.
QString displayText(const QString& value) {
    QString text = value;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

bool isSeparateWindow(const QObject* object) {
    const auto* widget = qobject_cast<const QWidget*>(object);
    if (!widget)
        return false;
    const Qt::WindowType type = widget->windowType();
    return type == Qt::Window || type == Qt::Dialog;
}

QObject* findInSubtree(const QObject* owner, QStringView name) {
    for (QObject* child : owner->children()) {
        if (isSeparateWindow(child))
            continue;
        if (child->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return child;
        if (QObject* found = findInSubtree(child, name))
            return found;
    }
    return nullptr;
}

// "Panels[0]" -> name "Panels", index text "0"; no brackets -> null index text.
void splitIndexed(const QString& segment, QString& name, QString& indexText) {
    const qsizetype open = segment.indexOf(u'[');
    if (open < 0) {
        name = segment;
        indexText = QString();
        return;
    }
    name = segment.left(open);
    const qsizetype close = segment.indexOf(u']', open);
    indexText = close < 0 ? segment.mid(open + 1) : segment.mid(open + 1, close - open - 1);
}

template <typename T, typename F> PropertyRegistry::Setter forClass(F f) {
    return [f](QObject* object, const QString& value) {
        T* typed = qobject_cast<T*>(object);
        return typed ? f(typed, value) : false;
    };
}

} // namespace

QObject* findComponent(const QObject* owner, QStringView name) {
    if (!owner || name.isEmpty())
        return nullptr;
    for (QObject* child : owner->children()) {
        if (!isSeparateWindow(child) && child->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return child;
    }
    return findInSubtree(owner, name);
}

void PropertyRegistry::addProperty(const QMetaObject* cls, const QString& name, Setter setter) {
    m_setters.insert(adapterKey(cls->className(), name), std::move(setter));
}

void PropertyRegistry::addCollection(const QMetaObject* cls, const QString& name, Counter counter) {
    m_collections[adapterKey(cls->className(), name)].count = std::move(counter);
}

void PropertyRegistry::addItemProperty(const QMetaObject* cls, const QString& collection,
                                       const QString& name, ItemSetter setter) {
    m_collections[adapterKey(cls->className(), collection)].itemSetters.insert(name.toCaseFolded(),
                                                                               std::move(setter));
}

const PropertyRegistry::Setter* PropertyRegistry::findSetter(const QObject* object,
                                                             const QString& name) const {
    for (const QMetaObject* m = object->metaObject(); m; m = m->superClass()) {
        auto it = m_setters.constFind(adapterKey(m->className(), name));
        if (it != m_setters.constEnd())
            return &it.value();
    }
    return nullptr;
}

const PropertyRegistry::Collection* PropertyRegistry::findCollection(const QObject* object,
                                                                     const QString& name) const {
    for (const QMetaObject* m = object->metaObject(); m; m = m->superClass()) {
        auto it = m_collections.constFind(adapterKey(m->className(), name));
        if (it != m_collections.constEnd() && it->count)
            return &it.value();
    }
    return nullptr;
}

bool PropertyRegistry::apply(QObject* root, const QString& key, const QString& value) const {
    if (!root || key.isEmpty())
        return false;
    const qsizetype dot = key.lastIndexOf(u'.');
    const QString property = dot < 0 ? key : key.mid(dot + 1);
    const QStringList segments =
        dot <= 0 ? QStringList() : key.left(dot).split(u'.', Qt::KeepEmptyParts);

    // The current object: a component, or an item (index >= 0) or the whole of a collection.
    QObject* object = root;
    const Collection* collection = nullptr;
    int index = -1;

    qsizetype i = 0;
    for (; i < segments.size(); ++i) {
        QObject* found = findComponent(object, segments.at(i));
        if (!found)
            break;
        object = found;
    }
    for (; i < segments.size(); ++i) {
        if (collection)
            return false; // items and collections carry no object-valued properties here
        QString name;
        QString indexText;
        splitIndexed(segments.at(i), name, indexText);
        collection = findCollection(object, name);
        if (!collection)
            return false;
        bool isNumber = false;
        const int wanted = indexText.isNull() ? -1 : indexText.toInt(&isNumber);
        if (!isNumber)
            return false; // the collection itself has none of the properties scripts set
        if (wanted < 0 || wanted >= collection->count(object))
            throw EListError(
                QStringLiteral("Listenindex überschreitet das Maximum (%1)").arg(wanted));
        index = wanted;
    }

    if (collection) {
        auto it = collection->itemSetters.constFind(property.toCaseFolded());
        return it != collection->itemSetters.constEnd() && it.value()(object, index, value);
    }
    const Setter* setter = findSetter(object, property);
    return setter && (*setter)(object, value);
}

void addStandardAdapters(PropertyRegistry& r) {
    const QString caption = QStringLiteral("Caption");
    const QString hint = QStringLiteral("Hint");

    // A widget's Caption is its title when it is a window; other widgets have none.
    r.addProperty(&QWidget::staticMetaObject, caption,
                  forClass<QWidget>([](QWidget* w, const QString& v) {
                      if (!w->isWindow())
                          return false;
                      w->setWindowTitle(displayText(v));
                      return true;
                  }));
    r.addProperty(&QLabel::staticMetaObject, caption,
                  forClass<QLabel>([](QLabel* w, const QString& v) {
                      w->setText(displayText(v));
                      return true;
                  }));
    r.addProperty(&QAbstractButton::staticMetaObject, caption,
                  forClass<QAbstractButton>([](QAbstractButton* w, const QString& v) {
                      w->setText(displayText(v));
                      return true;
                  }));
    r.addProperty(&QGroupBox::staticMetaObject, caption,
                  forClass<QGroupBox>([](QGroupBox* w, const QString& v) {
                      w->setTitle(displayText(v));
                      return true;
                  }));
    r.addProperty(&QMenu::staticMetaObject, caption,
                  forClass<QMenu>([](QMenu* w, const QString& v) {
                      w->setTitle(displayText(v));
                      return true;
                  }));
    r.addProperty(&QAction::staticMetaObject, caption,
                  forClass<QAction>([](QAction* a, const QString& v) {
                      a->setText(displayText(v));
                      return true;
                  }));

    r.addProperty(&QWidget::staticMetaObject, hint,
                  forClass<QWidget>([](QWidget* w, const QString& v) {
                      w->setToolTip(displayText(v));
                      return true;
                  }));
    r.addProperty(&QAction::staticMetaObject, hint,
                  forClass<QAction>([](QAction* a, const QString& v) {
                      a->setToolTip(displayText(v));
                      return true;
                  }));

    r.addProperty(&QLineEdit::staticMetaObject, QStringLiteral("Text"),
                  forClass<QLineEdit>([](QLineEdit* w, const QString& v) {
                      w->setText(v);
                      return true;
                  }));

    // Replacing the items drops the selection, without the change signals a user's choice
    // would send.
    r.addProperty(&QComboBox::staticMetaObject, QStringLiteral("Items"),
                  forClass<QComboBox>([](QComboBox* w, const QString& v) {
                      const QSignalBlocker blocker(w);
                      w->clear();
                      w->addItems(splitLines(v));
                      w->setCurrentIndex(-1);
                      return true;
                  }));
    r.addProperty(&QListWidget::staticMetaObject, QStringLiteral("Items"),
                  forClass<QListWidget>([](QListWidget* w, const QString& v) {
                      const QSignalBlocker blocker(w);
                      w->clear();
                      w->addItems(splitLines(v));
                      w->setCurrentRow(-1);
                      return true;
                  }));

    const QString columns = QStringLiteral("Columns");
    r.addCollection(&QAbstractItemView::staticMetaObject, columns, [](QObject* o) {
        auto* view = qobject_cast<QAbstractItemView*>(o);
        return view && view->model() ? view->model()->columnCount() : 0;
    });
    r.addItemProperty(&QAbstractItemView::staticMetaObject, columns, QStringLiteral("Header"),
                      [](QObject* o, int column, const QString& v) {
                          auto* view = qobject_cast<QAbstractItemView*>(o);
                          if (!view || !view->model())
                              return false;
                          view->model()->setHeaderData(column, Qt::Horizontal, displayText(v));
                          return true;
                      });

    const QString panels = QStringLiteral("Panels");
    r.addCollection(&TStatusBar::staticMetaObject, panels, [](QObject* o) {
        auto* bar = qobject_cast<TStatusBar*>(o);
        return bar ? bar->panelCount() : 0;
    });
    r.addItemProperty(&TStatusBar::staticMetaObject, panels, QStringLiteral("Text"),
                      [](QObject* o, int panel, const QString& v) {
                          auto* bar = qobject_cast<TStatusBar*>(o);
                          if (!bar)
                              return false;
                          bar->setPanelText(panel, displayText(v));
                          return true;
                      });
}

PropertyRegistry& PropertyRegistry::standard() {
    static PropertyRegistry registry = [] {
        PropertyRegistry r;
        addStandardAdapters(r);
        return r;
    }();
    return registry;
}

} // namespace kalvendo
