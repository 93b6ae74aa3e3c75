#include "AppleOnDevice.h"

using namespace Qt::StringLiterals;

QString AppleOnDevice::modelLabel()
{
    return u"Apple on-device"_s;
}

bool AppleOnDevice::isAvailable()
{
    return false;
}

bool AppleOnDevice::isSupportedSystem()
{
    return false;
}

AppleOnDevice::AppleOnDevice(const QString& /*system*/, const QString& /*user*/, QObject* parent)
    : AnswerJob(parent)
{
    m_report.setSingleShot(true);
    connect(&m_report, &QTimer::timeout, this,
            [this] { finish(AIError{u"Apple's on-device model is not available on this computer."_s}); });
}

void AppleOnDevice::start()
{
    Q_ASSERT(m_step == Step::idle);
    m_step = Step::asking;
    // Reported on the next turn of the event loop, like every other provider's answer.
    m_report.start(0);
}

void AppleOnDevice::cancel()
{
    if (m_step != Step::done) {
        m_report.stop();
        finish(AIError::cancellation());
    }
}

void AppleOnDevice::finish(const AnswerOutcome& outcome)
{
    m_step = Step::done;
    emit finished(outcome);
}
