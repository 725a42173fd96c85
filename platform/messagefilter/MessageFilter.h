#pragma once
// The application's message filter: one handler that sees every event the
// application's event loops deliver on the user-interface thread, before
// its receiver does. Setting `handled` consumes the event. A component that
// installs its own handler keeps the previous one and calls it in turn.

#include <QEvent>
#include <QObject>
#include <functional>

namespace messagefilter {

using MessageHandler = std::function<void(QObject* receiver, QEvent* event, bool& handled)>;

// The handler now installed; empty when there is none.
MessageHandler OnMessage();
// Installs the handler (an empty one removes it). An error that escapes the
// handler goes to the application's default error box.
void SetOnMessage(MessageHandler handler);

}  // namespace messagefilter
