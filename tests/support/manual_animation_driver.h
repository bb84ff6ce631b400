#pragma once

// Animation time driven by hand: a test installs one driver (Qt keeps the first
// one installed for the whole program) and lets time pass with Run, so seconds
// of a movie's animations take a moment and give the same frames on every run.

#include <QAnimationDriver>
#include <QCoreApplication>

class ManualAnimationDriver : public QAnimationDriver {
public:
    qint64 elapsed() const override { return m_elapsed; }

    // Lets `ms` of animation time pass in steps of one frame.
    void Run(int ms)
    {
        for (int done = 0; done < ms; done += 16) {
            m_elapsed += 16;
            advance();
            QCoreApplication::processEvents();
        }
    }

private:
    qint64 m_elapsed = 0;
};
