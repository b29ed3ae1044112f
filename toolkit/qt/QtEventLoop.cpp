#include "toolkit/qt/QtEventLoop.h"

#include <QAbstractEventDispatcher>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

namespace {

class TNotifierWatch : public TLoopWatch {
 public:
  TNotifierWatch(TNativeHandle Handle, std::function<void()> OnSignalled)
      : FNotifier(static_cast<qintptr>(Handle), QSocketNotifier::Read) {
    QObject::connect(&FNotifier, &QSocketNotifier::activated, std::move(OnSignalled));
  }

 private:
  QSocketNotifier FNotifier;
};

}  // namespace

TQtEventLoop::TQtEventLoop() {
  SetMainLoop(this);
}

TQtEventLoop::~TQtEventLoop() {
  SetMainLoop(nullptr);
}

std::unique_ptr<TLoopWatch> TQtEventLoop::Watch(TNativeHandle Handle,
                                                std::function<void()> OnSignalled) {
  return std::make_unique<TNotifierWatch>(Handle, std::move(OnSignalled));
}

bool TQtEventLoop::RunUntil(const std::function<bool()>& Done, int Milliseconds) {
  if (Done()) return true;
  QEventLoop loop;
  const auto check = QObject::connect(QAbstractEventDispatcher::instance(),
                                      &QAbstractEventDispatcher::aboutToBlock, &loop, [&] {
                                        if (Done()) loop.quit();
                                      });
  QTimer::singleShot(Milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
  QObject::disconnect(check);
  return Done();
}
