#pragma once

#include "Sheet.h"

class AISettings;
class QComboBox;
class QProgressBar;
class SymbolLabel;

// The settings window: which AI answers (with the OpenRouter sign-in and the look for Ollama), the
// downloaded ffmpeg tools, and what leaves the computer. It only shows the settings and the state and
// calls their operations.
class SettingsView : public Sheet
{
    Q_OBJECT

public:
    explicit SettingsView(AppState* state, QWidget* parent = nullptr);

private:
    // Each fills the box of its titled group.
    void fillAIGroup(QWidget* box);
    QWidget* openRouterSection();
    QWidget* ollamaSection();
    void fillToolsGroup(QWidget* box);
    void fillPrivacyGroup(QWidget* box);

    void refreshProvider();
    void refreshOpenRouter();
    void refreshOllama();
    void refreshTools();

    AISettings& m_settings;
    QComboBox* m_provider = nullptr;
    QWidget* m_openRouter = nullptr;
    QWidget* m_ollama = nullptr;
    QLabel* m_apple = nullptr;
    QLabel* m_lastModel = nullptr;

    SymbolLabel* m_signedIn = nullptr;
    QPushButton* m_signOut = nullptr;
    QPushButton* m_signIn = nullptr;
    QLabel* m_notice = nullptr;
    QLabel* m_freeModels = nullptr;

    QWidget* m_modelPicker = nullptr;
    QComboBox* m_model = nullptr;
    QLabel* m_ollamaNotice = nullptr;
    QLabel* m_savedModel = nullptr;

    QLabel* m_toolsStatus = nullptr;
    QWidget* m_progressRow = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_installText = nullptr;
    QWidget* m_toolsRow = nullptr;
    QPushButton* m_download = nullptr;
    QPushButton* m_remove = nullptr;
    QLabel* m_toolsMessage = nullptr;
};
