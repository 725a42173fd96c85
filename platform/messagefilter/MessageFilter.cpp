#include "messagefilter/MessageFilter.h"

#include "dialogs/dialogs.h"

#include <QCoreApplication>
#include <QPointer>

namespace messagefilter {
namespace {

MessageHandler g_handler;

class Filter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!g_handler) return false;
        bool handled = false;
        // The handler may replace itself while it runs.
        MessageHandler handler = g_handler;
        dialogs::Guard([&] { handler(watched, event, handled); });
        return handled;
    }
};

QPointer<Filter> g_filter;

}  // namespace

MessageHandler OnMessage() { return g_handler; }

void SetOnMessage(MessageHandler handler) {
    g_handler = std::move(handler);
    QCoreApplication* app = QCoreApplication::instance();
    if (g_handler && !g_filter && app) {
        g_filter = new Filter(app);
        app->installEventFilter(g_filter);
    } else if (!g_handler && g_filter) {
        delete g_filter.data();
    }
}

}  // namespace messagefilter
