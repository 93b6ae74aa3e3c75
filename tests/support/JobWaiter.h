#pragma once

#include <QObject>
#include <QString>
#include <QTest>
#include <optional>

// Starts a job (an object with start() and one `finished` signal) and spins the event loop until it
// finishes or `timeoutMs` passes; an absent result means the job never finished.
template <typename Outcome, typename Job>
std::optional<Outcome> runJob(Job& job, int timeoutMs = 15'000)
{
    std::optional<Outcome> outcome;
    int count = 0;
    const QMetaObject::Connection connection = QObject::connect(&job, &Job::finished, &job, [&](const Outcome& o) {
        outcome = o;
        ++count;
    });
    job.start();
    (void)QTest::qWaitFor([&] { return outcome.has_value(); }, timeoutMs);
    // A second report would be a fault: the flow must end exactly once.
    QTest::qWait(20);
    QObject::disconnect(connection);
    if (count > 1) {
        qWarning("the job finished %d times", count);
        return std::nullopt;
    }
    return outcome;
}

// The sentence of a job's failure, or a marker when it did not fail (or never finished).
template <typename Outcome>
QString errorOf(const std::optional<Outcome>& outcome)
{
    return outcome && !outcome->ok() ? outcome->error().message : QStringLiteral("(no error)");
}
