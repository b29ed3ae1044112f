#pragma once

// Deletes an object once the main thread's event loop is back at the top:
// for objects whose code is still on the stack (a routine running in a
// nested event loop of their own).

#include <QCoreApplication>
#include <QMetaObject>
#include <memory>

template <typename T>
void DeleteWhenIdle(std::unique_ptr<T> Object) {
  if (!QCoreApplication::instance()) return;  // Object goes now
  auto holder = std::make_shared<std::unique_ptr<T>>(std::move(Object));
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [holder] { holder->reset(); }, Qt::QueuedConnection);
}
