// Exits with a port open while the worker is busy. Prints "clean exit" only
// if the worker had finished its job once every service was gone: the
// facade's destructor waited for the worker thread.

#include "link/communication.h"
#include "link/serial_port.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

enum Job { NotStarted, Running, Finished };
std::atomic<int> workerJob{NotStarted};

// Constructed before main, so destroyed after the services' owners.
struct ExitCheck {
    ~ExitCheck()
    {
        if (workerJob.load() != Finished) {
            std::fputs("the worker was still running at exit\n", stderr);
            ::_exit(3);
        }
        std::puts("clean exit");
    }
} exitCheck;

class BusyJob : public QObject {
    Q_OBJECT
public slots:
    void run()
    {
        workerJob = Running;
        QThread::msleep(300);
        workerJob = Finished;
    }
};

// Left alive at exit, like the process leaves it; deleted only after the
// services' owners have stopped the worker, so the leak check sees nothing.
std::unique_ptr<QObject> lateJob;

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    auto *job = new BusyJob;
    lateJob.reset(job);
    Communication *link = Communication::getInstance();
    job->moveToThread(SerialPort::getInstance()->thread());
    if (argc < 2 || !link->open(QString::fromLocal8Bit(argv[1])))
        return 4;
    // Let received bytes reach the worker, so its receive timer may be running.
    QTimer::singleShot(30, &app, &QCoreApplication::quit);
    app.exec();

    QMetaObject::invokeMethod(job, "run", Qt::QueuedConnection);
    while (workerJob.load() == NotStarted)
        QThread::msleep(1);
    return link->isOpen() ? 0 : 5;
}

#include "link_exit_helper.moc"
