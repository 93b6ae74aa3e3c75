#pragma once

#include <QString>
#include <QUrl>

// Where the two AI services are and how long each kind of request may take. Tests point the addresses at
// local servers and shorten the time-outs.
struct AIEndpoints
{
    QUrl openRouterBase;
    QUrl openRouterWebBase; // the web site, for the browser sign-in page
    QUrl ollamaBase;
    int modelListTimeoutMs = 30'000;
    int chatTimeoutMs = 90'000;
    int ollamaChatTimeoutMs = 240'000;
    int ollamaTagsTimeoutMs = 3'000;

    // OpenRouter at the address chosen at build time unless TRELLICK_OPENROUTER_URL replaces it (its web
    // site at the same address unless TRELLICK_OPENROUTER_WEB_URL says otherwise); Ollama
    // where OLLAMA_HOST says, as Ollama's own clients read it, else at 127.0.0.1:11434.
    static AIEndpoints fromEnvironment();
    // An OLLAMA_HOST value as an address; an empty value gives 127.0.0.1:11434, an unusable one an invalid URL.
    static QUrl ollamaBaseFrom(const QString& ollamaHost);
    // `path` below `base` (keeping a path prefix of the base); invalid unless the base is an http(s) address.
    static QUrl join(const QUrl& base, const QString& path);
};
