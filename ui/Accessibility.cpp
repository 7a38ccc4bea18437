#include "ui/Accessibility.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QStyle>
#include <QTabWidget>
#include <QWidget>

namespace Accessibility {
namespace {

const char* const kRoleProperty = "accessibleRole";

// A widget whose role was declared: a tab, a tab list or a notice. Buttons
// keep their caption as name, their checked state and their press action.
class DeclaredRole : public QAccessibleWidget {
  public:
    DeclaredRole(QWidget* widget, QAccessible::Role role) : QAccessibleWidget(widget, role) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) {
            if (auto* button = qobject_cast<QAbstractButton*>(widget()))
                return button->text();
            if (auto* label = qobject_cast<QLabel*>(widget()))
                return label->text();
        }
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        if (auto* button = qobject_cast<QAbstractButton*>(widget())) {
            if (role() == QAccessible::PageTab) {
                s.selectable = true;
                s.selected = button->isChecked();
            } else if (button->isCheckable()) {
                s.checkable = true;
                s.checked = button->isChecked();
            }
        }
        return s;
    }

    QStringList actionNames() const override {
        QStringList names = QAccessibleWidget::actionNames();
        if (qobject_cast<QAbstractButton*>(widget()))
            names.prepend(pressAction());
        return names;
    }

    void doAction(const QString& name) override {
        if (name == pressAction()) {
            // Queued: the caller (a screen reader over D-Bus) must not wait
            // for whatever the click opens.
            if (auto* button = qobject_cast<QAbstractButton*>(widget()))
                QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
            return;
        }
        QAccessibleWidget::doAction(name);
    }
};

QAccessibleInterface* declaredRoleFactory(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget)
        return nullptr;
    const QVariant role = widget->property(kRoleProperty);
    if (!role.isValid())
        return nullptr;
    return new DeclaredRole(widget, QAccessible::Role(role.toInt()));
}

// The text of a label as a name: no mnemonic marker, no trailing colon.
QString labelName(QString text) {
    text.remove(QLatin1Char('&'));
    text = text.trimmed();
    while (text.endsWith(QChar(0xff1a)) || text.endsWith(QLatin1Char(':')))
        text.chop(1);
    return text.trimmed();
}

bool hasBuddyLabel(const QWidget* widget, const QList<QLabel*>& labels) {
    for (const QLabel* label : labels)
        if (label->buddy() == widget)
            return true;
    return false;
}

// The title of the group box that holds widget as its only field.
QString groupTitle(const QWidget* widget) {
    for (QWidget* p = widget->parentWidget(); p; p = p->parentWidget()) {
        if (auto* group = qobject_cast<QGroupBox*>(p)) {
            int fields = 0;
            for (QWidget* w : group->findChildren<QWidget*>())
                if (qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w) ||
                    (qobject_cast<QAbstractScrollArea*>(w) && w->parentWidget() == group))
                    ++fields;
            // An editable combo box holds a line edit of its own.
            return fields >= 1 && fields <= 2 ? labelName(group->title()) : QString();
        }
        if (p->isWindow())
            break;
    }
    return {};
}

QString nameFor(QWidget* widget, const QList<QLabel*>& labels) {
    if (hasBuddyLabel(widget, labels))
        return {}; // Qt reads the label itself, and follows its changes
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        const QString caption = labelName(button->text());
        const bool glyphOnly = caption.size() <= 1;
        return glyphOnly ? labelName(button->toolTip()) : QString();
    }
    const bool field = qobject_cast<QLineEdit*>(widget) || qobject_cast<QComboBox*>(widget) ||
                       qobject_cast<QAbstractScrollArea*>(widget);
    if (!field || !(widget->focusPolicy() & Qt::TabFocus))
        return {};
    // The line edit inside a combo box is named with its box.
    if (qobject_cast<QComboBox*>(widget->parentWidget()))
        return {};
    if (!widget->toolTip().isEmpty())
        return labelName(widget->toolTip());
    if (auto* edit = qobject_cast<QLineEdit*>(widget); edit && !edit->placeholderText().isEmpty())
        return labelName(edit->placeholderText());
    return groupTitle(widget);
}

} // namespace

void install() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(declaredRoleFactory);
}

void setRole(QWidget* widget, QAccessible::Role role) {
    widget->setProperty(kRoleProperty, int(role));
}

void nameControls(QWidget* root) {
    install();
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    const QList<QLabel*> labels = root->findChildren<QLabel*>();
    for (QWidget* widget : widgets) {
        auto* area = qobject_cast<QAbstractScrollArea*>(widget);
        if (area && (area->focusPolicy() & Qt::TabFocus) &&
            area->window()->windowType() != Qt::Popup && !area->property("focusFrame").isValid()) {
            area->setProperty("focusFrame", true);
            area->style()->unpolish(area);
            area->style()->polish(area);
        }
        // A page control hands its focus to its tab bar; as a stop of its own
        // it would be a nameless container to a screen reader.
        if (auto* pages = qobject_cast<QTabWidget*>(widget))
            pages->setFocusPolicy(Qt::NoFocus);
        if (!widget->accessibleName().isEmpty())
            continue;
        const QString name = nameFor(widget, labels);
        if (!name.isEmpty())
            widget->setAccessibleName(name);
    }
}

void announce(QWidget* source, const QString& text) {
    // A label's name is its text already, and keeps following it.
    if (!qobject_cast<QLabel*>(source) || !source->accessibleName().isEmpty())
        source->setAccessibleName(text);
    QAccessibleEvent alert(source, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

} // namespace Accessibility
