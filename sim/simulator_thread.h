#pragma once

#include <QString>
#include <QThread>
#include <functional>

#include "sim/simulator_options.h"

class DeviceSimulator;

// A DeviceSimulator running in a QThread of its own, so that a blocking client (a test, a
// benchmark) can talk to it from the calling thread.
class SimulatorThread {
  public:
    explicit SimulatorThread(SimulatorOptions options = {});
    ~SimulatorThread();  // stops the simulator and joins its thread
    SimulatorThread(const SimulatorThread&) = delete;
    SimulatorThread& operator=(const SimulatorThread&) = delete;

    // Starts the thread and the simulator in it; returns once it listens (true) or failed
    // (false, reason in *error). A second call returns the first one's result.
    bool start(QString* error = nullptr);

    // The ports the simulator listens on; 0 before a successful start.
    quint16 shortPort() const { return shortPort_; }
    quint16 longPort() const { return longPort_; }
    // With TLS: the device key's fingerprint ("sha256//..."); empty otherwise.
    const QByteArray& fingerprint() const { return fingerprint_; }

    // Runs fn with the simulator in the simulator's thread and returns when it is done.
    // Does nothing before a successful start.
    void invoke(const std::function<void(DeviceSimulator&)>& fn);

  private:
    SimulatorOptions options_;
    QThread thread_;
    QObject* context_ = nullptr;            // lives in thread_
    DeviceSimulator* simulator_ = nullptr;  // lives in thread_
    quint16 shortPort_ = 0;
    quint16 longPort_ = 0;
    QByteArray fingerprint_;
    bool started_ = false;
    bool ok_ = false;
};
