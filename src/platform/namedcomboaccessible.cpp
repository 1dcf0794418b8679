#include "platform/namedcomboaccessible.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>

namespace vb {

NamedComboAccessible::NamedComboAccessible(QComboBox *combo)
    : QAccessibleWidget(combo, QAccessible::ComboBox)
{}

QComboBox *NamedComboAccessible::comboBox() const
{
    return static_cast<QComboBox *>(widget());
}

QString NamedComboAccessible::text(QAccessible::Text t) const
{
    const QComboBox *combo = comboBox();
    const QString value = combo->isEditable() && combo->lineEdit() ? combo->lineEdit()->text() : combo->currentText();
    if (t == QAccessible::Value)
        return value;
    if (t == QAccessible::Name)
        return combo->accessibleName().isEmpty() ? value : combo->accessibleName();
    return QAccessibleWidget::text(t);
}

QAccessible::State NamedComboAccessible::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    s.expandable = true;
    s.expanded = comboBox()->view() && comboBox()->view()->isVisible();
    s.editable = comboBox()->isEditable();
    return s;
}

// The list that drops down, and the line being typed in when there is one.
QList<QWidget *> NamedComboAccessible::parts() const
{
    QList<QWidget *> result;
    if (comboBox()->view())
        result << comboBox()->view();
    if (comboBox()->isEditable() && comboBox()->lineEdit())
        result << comboBox()->lineEdit();
    return result;
}

int NamedComboAccessible::childCount() const
{
    return int(parts().size());
}

QAccessibleInterface *NamedComboAccessible::child(int index) const
{
    const QList<QWidget *> p = parts();
    return index >= 0 && index < p.size() ? QAccessible::queryAccessibleInterface(p.at(index)) : nullptr;
}

int NamedComboAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    return child ? int(parts().indexOf(qobject_cast<QWidget *>(child->object()))) : -1;
}

QStringList NamedComboAccessible::actionNames() const
{
    return QStringList{showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
}

void NamedComboAccessible::doAction(const QString &actionName)
{
    if (actionName == showMenuAction() || actionName == pressAction()) {
        if (comboBox()->view() && comboBox()->view()->isVisible())
            comboBox()->hidePopup();
        else
            comboBox()->showPopup();
        return;
    }
    QAccessibleWidget::doAction(actionName);
}

} // namespace vb
