// A worker thread whose results return through the owner's event queue.
#include "background_task.h"

#include <QMetaObject>

void TBackgroundTask::Start(std::function<void()> work) {
  Wait();  // the thread of an earlier work that has returned
  Running = true;
  try {
    Worker = std::thread([this, work = std::move(work)] {
      work();
      Post([this] {
        Running = false;
        emit Finished();
      });
    });
  } catch (...) {
    Running = false;
    throw;
  }
}

void TBackgroundTask::Post(std::function<void()> call) {
  QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

void TBackgroundTask::Wait() {
  if (Worker.joinable()) Worker.join();
}
