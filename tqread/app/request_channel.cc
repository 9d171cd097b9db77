#include "tqread/app/request_channel.h"

#include <QDBusMessage>
#include <QMetaObject>

namespace trk::tqread::app {
namespace {

const QString kPath = QStringLiteral("/");
const QString kInterface = QStringLiteral("com.corvane.TRK");
const QString kMember = QStringLiteral("TQFSUPDATE");

}  // namespace

RequestChannel::RequestChannel(QDBusConnection bus, Handler handler, QObject* parent)
    : QObject(parent), bus_(std::move(bus)), handler_(std::move(handler)) {
  // A signal with any other argument list does not match the slot and is ignored.
  listening_ = bus_.isConnected() && bus_.connect(QString(), kPath, kInterface, kMember, this, SLOT(Receive(int)));
}

void RequestChannel::Send(int32_t trigger) {
  bool sent = false;
  if (bus_.isConnected()) {
    QDBusMessage signal = QDBusMessage::createSignal(kPath, kInterface, kMember);
    signal << static_cast<qint32>(trigger);
    sent = bus_.send(signal);
  }
  if (sent && listening_) return;  // it comes back to Receive like anyone else's
  QMetaObject::invokeMethod(this, [this, trigger] { handler_(trigger); }, Qt::QueuedConnection);
}

void RequestChannel::Receive(int trigger) { handler_(trigger); }

}  // namespace trk::tqread::app
