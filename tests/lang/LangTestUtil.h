#pragma once

#include "common/StatusBar.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QStringList>

// Every text the language engine can set in a window, one "name.what=value" line each, so
// that two states of a window can be compared as a whole.
inline QStringList snapshotTexts(QObject* root) {
    QStringList out;
    QList<QObject*> objects{root};
    objects += root->findChildren<QObject*>();
    for (QObject* o : objects) {
        const QString n = o->objectName();
        if (n.isEmpty())
            continue;
        auto add = [&](const char* what, const QString& v) {
            out << n + u'.' + QString::fromLatin1(what) + u'=' + v;
        };
        if (auto* w = qobject_cast<QWidget*>(o)) {
            if (w->isWindow())
                add("windowTitle", w->windowTitle());
            add("tip", w->toolTip());
        }
        if (auto* a = qobject_cast<QAction*>(o)) {
            add("text", a->text());
            add("tip", a->toolTip());
        }
        if (auto* l = qobject_cast<QLabel*>(o))
            add("text", l->text());
        if (auto* b = qobject_cast<QAbstractButton*>(o))
            add("text", b->text());
        if (auto* g = qobject_cast<QGroupBox*>(o))
            add("title", g->title());
        if (auto* m = qobject_cast<QMenu*>(o))
            add("title", m->title());
        if (auto* c = qobject_cast<QComboBox*>(o)) {
            QStringList items;
            for (int i = 0; i < c->count(); ++i)
                items << c->itemText(i);
            add("items", items.join(u'|'));
            add("index", QString::number(c->currentIndex()));
        }
        if (auto* v = qobject_cast<QAbstractItemView*>(o); v && v->model()) {
            for (int i = 0; i < v->model()->columnCount(); ++i)
                add("header", v->model()->headerData(i, Qt::Horizontal).toString());
        }
        if (auto* s = qobject_cast<kalvendo::TStatusBar*>(o)) {
            for (int i = 0; i < s->panelCount(); ++i)
                add("panel", s->panelText(i));
        }
    }
    return out;
}
