// The one way the window runs work off its own thread: the work runs on a thread of its own, and
// what it tells comes back as queued calls, in the order it told them, on the thread that owns
// the task. Finished is the last of them.
#pragma once

#include <QObject>
#include <functional>
#include <thread>

class TBackgroundTask : public QObject {
  Q_OBJECT

 public:
  explicit TBackgroundTask(QObject* parent = nullptr) : QObject(parent) {}
  // Waits for the work: whoever stops it must have asked it to stop first.
  ~TBackgroundTask() override { Wait(); }
  TBackgroundTask(const TBackgroundTask&) = delete;
  TBackgroundTask& operator=(const TBackgroundTask&) = delete;

  // Starts work on a new thread; a task runs one work at a time. Throws std::system_error when no
  // thread can be made.
  void Start(std::function<void()> work);
  // Hands a call to the owner's thread; safe to call from the work. Calls still queued when the
  // task is destroyed are dropped.
  void Post(std::function<void()> call);
  // Waits until the work has returned (Finished may still be queued).
  void Wait();
  // From Start until Finished has been delivered.
  bool IsRunning() const { return Running; }

 signals:
  void Finished();

 private:
  std::thread Worker;
  bool Running = false;  // read and written on the owner's thread only
};
