#pragma once
// Waiting in tests with the event loop running. Header only: the shared test
// library stays free of Qt Widgets and Network.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>

// Runs the event loop until done() holds or ms have passed; done()'s last value.
inline bool WaitUntil(const std::function<bool()> &done, int ms = 10000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

inline void Pump(int ms)  // runs the event loop for ms (to see that nothing more arrives)
{
    WaitUntil([] { return false; }, ms);
}
