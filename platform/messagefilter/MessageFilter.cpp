#include "platform/messagefilter/MessageFilter.h"

#include "platform/dialogs/dialogs.h"

#include <QCoreApplication>
#include <QPointer>

namespace messagefilter {

// Gives the error to the latest catcher; false when there is none.
bool HandOver(std::exception_ptr error);

namespace {

MessageHandler g_handler;
ErrorCatcher* g_catcher = nullptr;

class Filter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!g_handler) return false;
        bool handled = false;
        // The handler may replace itself while it runs.
        MessageHandler handler = g_handler;
        dialogs::Guard([&] {
            try {
                handler(watched, event, handled);
            } catch (...) {
                if (!HandOver(std::current_exception())) throw;
            }
        });
        return handled;
    }
};

QPointer<Filter> g_filter;

}  // namespace

bool HandOver(std::exception_ptr error) {
    if (!g_catcher) return false;
    g_catcher->take_(std::move(error));
    return true;
}

ErrorCatcher::ErrorCatcher(Take take) : take_(std::move(take)), outer_(g_catcher) { g_catcher = this; }
ErrorCatcher::~ErrorCatcher() { g_catcher = outer_; }

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
