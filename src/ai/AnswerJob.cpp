#include "AnswerJob.h"

AnswerJob::AnswerJob(QObject* parent)
    : QObject(parent)
{
}
