#pragma once

#include <QAccessibleWidget>

class QComboBox;

namespace vb {

// A combo box read out by its accessible name, with its text as its value.
// The toolkit's own interface names a combo box by its current text on this
// platform, so twenty lists that all read "*" or a window's nine medication
// lists could not be told apart.
class NamedComboAccessible : public QAccessibleWidget
{
public:
    explicit NamedComboAccessible(QComboBox *combo);

    QComboBox *comboBox() const;

    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;
    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;

    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;

private:
    QList<QWidget *> parts() const;
};

} // namespace vb
