#pragma once

#include <QString>
#include <memory>

#include "sim/simulator_options.h"

class CDorvik_LurvaneDlg;
class SimulatorThread;

// The simulated device of a demo run ("tessaly --demo"): a device simulator on a thread of
// its own, listening on free loopback ports, so that the window can be tried without a
// camera. Everything the window does against it is what it does against a real device.
class DemoDevice {
  public:
    // Options that make a pleasant demo: two events a second, 20 per subscription, face
    // matches and intrusion events in turn, pictures of 640 x 360 pixels.
    static SimulatorOptions DemoOptions();

    explicit DemoDevice(SimulatorOptions options = DemoOptions());
    // Stops the simulator and waits for its thread.
    ~DemoDevice();
    DemoDevice(const DemoDevice&) = delete;
    DemoDevice& operator=(const DemoDevice&) = delete;

    // Starts the simulator on 127.0.0.1. False, with the reason in *error when given, when no
    // port can be had; a second call returns the first one's result.
    bool Start(QString* error = nullptr);

    // The ports listened on; 0 before a successful start.
    quint16 ShortPort() const;
    quint16 LongPort() const;

    // The credentials the device accepts.
    const QString& User() const { return m_options.user; }
    const QString& Password() const { return m_options.password; }

    // Writes "127.0.0.1", both ports and the credentials into the window's connection fields,
    // as typing them would (an open long connection closes). With TLS it also ticks the TLS
    // box and trusts the device's key for the window's run (nothing stored). Does nothing
    // before a successful start.
    void FillWindow(CDorvik_LurvaneDlg& window) const;

  private:
    SimulatorOptions m_options;
    std::unique_ptr<SimulatorThread> m_thread;
    bool m_bStarted = false;
};
