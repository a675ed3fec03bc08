#include "sim/simulator_thread.h"

#include <QMetaObject>

#include "sim/device_simulator.h"

SimulatorThread::SimulatorThread(SimulatorOptions options) : options_(std::move(options)) {}

SimulatorThread::~SimulatorThread() {
    if (context_ != nullptr) {
        QMetaObject::invokeMethod(
            context_,
            [this] {
                delete simulator_;
                simulator_ = nullptr;
            },
            Qt::BlockingQueuedConnection);
    }
    thread_.quit();
    thread_.wait();
    delete context_;
}

bool SimulatorThread::start(QString* error) {
    if (started_)
        return ok_;
    started_ = true;
    thread_.setObjectName(QStringLiteral("device-simulator"));
    thread_.start();
    context_ = new QObject;
    context_->moveToThread(&thread_);
    QString reason;
    QMetaObject::invokeMethod(
        context_,
        [this, &reason] {
            simulator_ = new DeviceSimulator(options_);
            ok_ = simulator_->start(&reason);
            shortPort_ = simulator_->shortPort();
            longPort_ = simulator_->longPort();
            fingerprint_ = simulator_->fingerprint();
        },
        Qt::BlockingQueuedConnection);
    if (!ok_ && error != nullptr)
        *error = reason;
    return ok_;
}

void SimulatorThread::invoke(const std::function<void(DeviceSimulator&)>& fn) {
    if (!ok_)
        return;
    QMetaObject::invokeMethod(
        context_, [this, &fn] { fn(*simulator_); }, Qt::BlockingQueuedConnection);
}
