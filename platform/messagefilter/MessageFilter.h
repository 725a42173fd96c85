#pragma once
// The application's message filter: one handler that sees every event the
// application's event loops deliver on the user-interface thread, before
// its receiver does. Setting `handled` consumes the event. A component that
// installs its own handler keeps the previous one and calls it in turn.

#include <QEvent>
#include <QObject>
#include <exception>
#include <functional>

namespace messagefilter {

using MessageHandler = std::function<void(QObject* receiver, QEvent* event, bool& handled)>;

// The handler now installed; empty when there is none.
MessageHandler OnMessage();
// Installs the handler (an empty one removes it). An error that escapes the
// handler goes to the application's default error box.
void SetOnMessage(MessageHandler handler);

// While it lives, an error that escapes the handler is handed to `take`
// (the latest one made) instead of going to the default error box: a
// caller waiting for what the handler does learns that it failed.
class ErrorCatcher {
public:
    using Take = std::function<void(std::exception_ptr error)>;
    explicit ErrorCatcher(Take take);
    ~ErrorCatcher();
    ErrorCatcher(const ErrorCatcher&) = delete;
    ErrorCatcher& operator=(const ErrorCatcher&) = delete;

private:
    Take take_;
    ErrorCatcher* outer_;
    friend bool HandOver(std::exception_ptr error);
};

}  // namespace messagefilter
