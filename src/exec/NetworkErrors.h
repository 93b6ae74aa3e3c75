#pragma once

#include <QString>

class QNetworkReply;

// Small helpers shared by the installer's network steps.
namespace NetworkErrors {

// The HTTP status of the final answer, or 0 when no answer arrived.
int httpStatus(const QNetworkReply* reply);
// The system's description of an error as one sentence ending in a full stop.
QString sentence(const QString& description);

} // namespace NetworkErrors
