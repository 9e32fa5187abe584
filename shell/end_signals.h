// SIGTERM, SIGHUP and SIGINT, as a Qt signal: the system (a logout, kill, Ctrl+C in the terminal
// that started the window) asks the program to end. Their handlers only write a byte to a socket,
// which the event loop then reads.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

class TEndSignals : public QObject {
  Q_OBJECT

 public:
  // Catches the three signals from now on; one object at a time.
  explicit TEndSignals(QObject* parent = nullptr);
  // Gives the signals back their default action.
  ~TEndSignals() override;

 signals:
  void EndRequested();

 private:
  void ReadSignal();

  std::unique_ptr<QSocketNotifier> notifier_;
};
