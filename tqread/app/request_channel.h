// "TQFSUPDATE" on the session bus: the signal /, com.corvane.TRK.TQFSUPDATE
// with one int32, the trigger of the run asked for. Every arriving signal, the
// program's own included, is handed to the request handler.
//
// Without a session bus (or when the signal cannot be sent or heard back) a
// request of the program itself is posted to its own event queue instead, so
// the start-up and operator runs still happen. Requests are always handled
// later from the event loop, never inside Send().
#pragma once

#include <QDBusConnection>
#include <QObject>

#include <cstdint>
#include <functional>

namespace trk::tqread::app {

class RequestChannel final : public QObject {
  Q_OBJECT

 public:
  using Handler = std::function<void(int32_t trigger)>;

  RequestChannel(QDBusConnection bus, Handler handler, QObject* parent = nullptr);

  void Send(int32_t trigger);
  // Whether signals of other programs can reach this one.
  bool listening() const { return listening_; }

 private slots:
  void Receive(int trigger);

 private:
  QDBusConnection bus_;
  Handler handler_;
  bool listening_ = false;
};

}  // namespace trk::tqread::app
