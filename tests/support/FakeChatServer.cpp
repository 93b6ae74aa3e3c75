#include "FakeChatServer.h"

#include <QJsonArray>

using namespace Qt::StringLiterals;

FakeChatServer::FakeChatServer(const QByteArray& chatPath, Answer answer)
    : m_chatPath(chatPath)
    , m_answer(std::move(answer))
{
    m_server.route(chatPath, [this](const LocalHttpServer::Request& request) {
        return m_chat ? m_chat(request.json()) : Reply::text("no chat answer set up", 500);
    });
}

void FakeChatServer::answerInTurn(const QStringList& answers)
{
    auto next = std::make_shared<qsizetype>(0);
    m_chat = [answers, next, answer = m_answer](const QJsonObject& body) {
        return answer(body.value(u"model"_s).toString(), answers.at(std::min((*next)++, answers.size() - 1)));
    };
}

QList<QJsonObject> FakeChatServer::chatBodies() const
{
    QList<QJsonObject> bodies;
    for (const LocalHttpServer::Request& request : chatRequests()) {
        bodies.append(request.json());
    }
    return bodies;
}

QString FakeChatServer::userMessage(const QJsonObject& body)
{
    return body.value(u"messages"_s).toArray().at(1).toObject().value(u"content"_s).toString();
}

QString FakeChatServer::systemMessage(const QJsonObject& body)
{
    return body.value(u"messages"_s).toArray().at(0).toObject().value(u"content"_s).toString();
}
