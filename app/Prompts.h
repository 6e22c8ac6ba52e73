#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace pw::app {

// Every question, message and picker the windows show goes through here, so
// that tests can answer them as a person would without a real dialog
// blocking the run. The defaults are Qt's standard dialogs.
struct Prompts {
    // Yes/No question; true for Yes.
    std::function<bool(QWidget* parent, const QString& question)> ask;
    // A message with an OK button; returns when it was seen.
    std::function<void(QWidget* parent, const QString& text)> tell;
    // An Access file to open; empty when the user cancels.
    std::function<QString(QWidget* parent)> chooseFile;
    // A destination folder; empty when the user cancels.
    std::function<QString(QWidget* parent)> chooseFolder;

    static Prompts& Instance();
    // Back to Qt's dialogs.
    void Reset();
};

inline constexpr const char* kAppTitle = "Pagewright";

}  // namespace pw::app
