#include "components/Vstatus/Vstatus.h"

#include <QChildEvent>
#include <QPointer>
#include <QTimer>

TVStatus::TVStatus(QWidget* owner) : QStatusBar(owner) {}

void TVStatus::childEvent(QChildEvent* event) {
    QStatusBar::childEvent(event);
    if (event->type() != QEvent::ChildAdded || !event->child()->isWidgetType()) return;
    // A child widget of a visible widget stays hidden until shown. A control
    // placed on the bar is shown as the bar is, once its maker is done with
    // it: then a control its maker hid on purpose stays hidden.
    QPointer<QWidget> child = static_cast<QWidget*>(event->child());
    QTimer::singleShot(0, this, [this, child] {
        if (child && child->parentWidget() == this && isVisible() &&
            !child->testAttribute(Qt::WA_WState_ExplicitShowHide))
            child->show();
    });
}
