#include "app/system_events.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <QDBusConnection>

#include "platform/log.h"

namespace q731 {

namespace {
sigset_t TerminationSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    return set;
}
}  // namespace

void SystemEvents::BlockTerminationSignals() {
    const sigset_t set = TerminationSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

SystemEvents::SystemEvents(std::function<void()> onTerminate,
                           std::function<void(bool sleeping)> onSleep)
    : onTerminate_(std::move(onTerminate)), onSleep_(std::move(onSleep)) {
    const sigset_t set = TerminationSignals();
    signalFd_ = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (signalFd_ < 0) {
        LogWarning("no signalfd: SIGTERM and SIGINT end the program without clean-up");
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(signalFd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { ReadSignal(); });
}

SystemEvents::~SystemEvents() {
    notifier_.reset();
    if (signalFd_ >= 0) ::close(signalFd_);
}

void SystemEvents::ReadSignal() {
    signalfd_siginfo info{};
    bool got = false;
    while (::read(signalFd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
        got = true;
    if (got && onTerminate_) onTerminate_();
}

bool SystemEvents::WatchSleep() {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) return false;
    return bus.connect("org.freedesktop.login1", "/org/freedesktop/login1",
                       "org.freedesktop.login1.Manager", "PrepareForSleep", this,
                       SLOT(prepareForSleep(bool)));
}

void SystemEvents::prepareForSleep(bool sleeping) {
    if (onSleep_) onSleep_(sleeping);
}

}  // namespace q731
