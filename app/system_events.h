#pragma once
// Events the system sends the running program: SIGTERM and SIGINT (end the
// way the tray's "exit" does) and logind's PrepareForSleep (suspend, resume).

#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace q731 {

class SystemEvents final : public QObject {
    Q_OBJECT

public:
    // Must run before any thread starts: the two signals are blocked in every
    // thread and read from a signalfd on the UI thread instead.
    static void BlockTerminationSignals();

    SystemEvents(std::function<void()> onTerminate, std::function<void(bool sleeping)> onSleep);
    ~SystemEvents() override;

    // False when there is no system bus (a container, a minimal session):
    // suspend and resume are then simply not seen.
    bool WatchSleep();

public slots:
    void prepareForSleep(bool sleeping);

private:
    void ReadSignal();

    std::function<void()> onTerminate_;
    std::function<void(bool)> onSleep_;
    int signalFd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace q731
